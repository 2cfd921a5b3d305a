// The FilterParameters block in the host's parameters handle.
#pragma once

#include "core/filter_parameters.h"
#include "interface/filter_record.h"

// The block behind the record's parameters handle, or null when the handle or
// its master pointer is missing, or the host reports a handle shorter than
// the block (reading or writing it would run past the host's memory).
// The plug-in's own handles are sized by the plug-in, never by the host.
FilterParameters* ParameterBlock(const FilterRecord* record);

// True when the parameters handle is known to be shorter than the 26-byte
// block: an own handle by its block, a host's handle by the host's getSizeProc.
bool ParameterHandleTooShort(const FilterRecord* record);

// Makes a 26-byte handle with the plug-in's own allocator, holding the
// defaults; null when it cannot be made.
Handle NewDefaultParameterBlock();

// Copies the block into *parameters; false (and nothing copied) without one.
bool CopyParameterBlock(const FilterRecord* record, FilterParameters* parameters);
