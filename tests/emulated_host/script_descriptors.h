// The runner's scripting descriptors: a key/value store of integer and
// enumerated values behind the interface's read and write descriptor procs.
// A descriptor travels as a host handle holding its entries.
#pragma once

#include <vector>

#include "interface/descriptor_procs.h"
#include "tests/emulated_host/filter_host.h"

struct FilterHost::Descriptors {
    PIDescriptorParameters parameters{};
    ReadDescriptorProcs readProcs{};
    WriteDescriptorProcs writeProcs{};
};

// Fills the proc tables and parameters record.
void InitDescriptors(FilterHost::Descriptors* descriptors);

// Entries <-> the bytes of a descriptor handle.
std::vector<ScriptValue> DecodeDescriptor(const char* bytes, int32_t size);
std::vector<char> EncodeDescriptor(const std::vector<ScriptValue>& values);

// The host whose callbacks are being answered (set while a selector runs).
FilterHost* ActiveHost();
void SetActiveHost(FilterHost* host);
