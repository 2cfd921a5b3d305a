// The plug-in's own heap blocks. Every C-style allocation of the plug-in goes
// through these, so that a test can make any one of them fail and see the
// plug-in answer memFullErr instead of crashing.
#pragma once

#include <cstddef>

void* AllocateBytes(size_t bytes);                    // as malloc
void* AllocateZeroedBytes(size_t count, size_t size);  // as calloc
void* ResizeBytes(void* block, size_t bytes);          // as realloc
void FreeBytes(void* block);                           // as free

// A test seam: when set, it is asked before every allocation above and a true
// answer makes that allocation fail. Never set in a product.
using AllocationFailureCheck = bool (*)();
void SetAllocationFailureCheck(AllocationFailureCheck check);
