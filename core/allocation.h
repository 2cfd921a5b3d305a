// The renderer's and the plug-in's own heap blocks. Every C-style allocation
// goes through these: whole planes are asked for in huge pages, and the tests
// link their own versions in place of these, which fail on request, to see
// the plug-in answer memFullErr instead of crashing.
#pragma once

#include <cstddef>

void* AllocateBytes(size_t bytes);                    // as malloc
void* AllocateZeroedBytes(size_t count, size_t size);  // as calloc
void* ResizeBytes(void* block, size_t bytes);          // as realloc
void FreeBytes(void* block);                           // as free
