#include "core/allocation.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {
#if defined(__linux__)
// Blocks of 8 MB and more (whole planes of an image) are asked for in huge
// pages where the system hands them out on request: each first touch of a
// 4 KB page costs a fault, and a 12-megapixel plane has twelve thousand.
constexpr size_t kHugePageBytes = size_t(2) << 20;

void* AllocateLarge(size_t bytes) {
    void* block = nullptr;
    if (posix_memalign(&block, kHugePageBytes, bytes) != 0) return nullptr;
    madvise(block, bytes, MADV_HUGEPAGE);  // a hint: refused or unsupported, the block still works
    return block;
}
#endif

}  // namespace

void* AllocateBytes(size_t bytes) {
#if defined(__linux__)
    if (bytes >= 4 * kHugePageBytes) return AllocateLarge(bytes);
#endif
    return std::malloc(bytes);
}
void* AllocateZeroedBytes(size_t count, size_t size) { return std::calloc(count, size); }
void* ResizeBytes(void* block, size_t bytes) { return std::realloc(block, bytes); }
void FreeBytes(void* block) { std::free(block); }
