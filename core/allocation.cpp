#include "core/allocation.h"

#include <atomic>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {
std::atomic<AllocationFailureCheck> gFailureCheck{nullptr};

bool Fails() {
    const AllocationFailureCheck check = gFailureCheck.load(std::memory_order_relaxed);
    return check && check();
}

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
    if (Fails()) return nullptr;
#if defined(__linux__)
    if (bytes >= 4 * kHugePageBytes) return AllocateLarge(bytes);
#endif
    return std::malloc(bytes);
}
void* AllocateZeroedBytes(size_t count, size_t size) { return Fails() ? nullptr : std::calloc(count, size); }
void* ResizeBytes(void* block, size_t bytes) { return Fails() ? nullptr : std::realloc(block, bytes); }
void FreeBytes(void* block) { std::free(block); }

void SetAllocationFailureCheck(AllocationFailureCheck check) { gFailureCheck.store(check); }
