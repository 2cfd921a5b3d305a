// Reading and writing the thirteen parameters through the host's scripting
// descriptors, so that actions record and replay the filter.
#pragma once

#include "host_services/filter_globals.h"

// True when the host offers descriptor procs of the expected versions with
// the complete read table.
bool DescriptorsAvailable(const PIDescriptorParameters* descriptors);

// Reads whatever parameters the host's descriptor holds into the block, and
// sets showDialog from the host's play mode. Does nothing without descriptors.
void ReadScriptParameters(FilterGlobals* globals);

// Hands all thirteen parameters to the host for recording.
void WriteScriptParameters(FilterGlobals* globals);
