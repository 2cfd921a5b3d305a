// The FilterParameters block in the host's parameters handle.
#pragma once

#include "core/filter_parameters.h"
#include "interface/filter_record.h"

// The block behind the record's parameters handle, or null when the handle or
// its master pointer is missing, or the host reports a handle shorter than
// the block (reading or writing it would run past the host's memory).
FilterParameters* ParameterBlock(const FilterRecord* record);

// True when the host's handle procs report a parameters handle shorter than
// the 26-byte block.
bool ParameterHandleTooShort(const FilterRecord* record);

// Makes a 26-byte handle with the plug-in's own allocator, holding the
// defaults; null when it cannot be made.
Handle NewDefaultParameterBlock();

// Copies the block into *parameters; false (and nothing copied) without one.
bool CopyParameterBlock(const FilterRecord* record, FilterParameters* parameters);
