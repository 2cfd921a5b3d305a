// The heap blocks of core/allocation.h as the tests link them: plain malloc,
// with a check that can make any allocation fail. Being in the test program,
// they take the place of the product's at link time.
#include <atomic>
#include <cstdlib>

#include "core/allocation.h"
#include "tests/emulated_system/platform_testing.h"

namespace {
std::atomic<AllocationFailureCheck> gFailureCheck{nullptr};

bool Fails() {
    const AllocationFailureCheck check = gFailureCheck.load(std::memory_order_relaxed);
    return check && check();
}
}  // namespace

void* AllocateBytes(size_t bytes) { return Fails() ? nullptr : std::malloc(bytes); }
void* AllocateZeroedBytes(size_t count, size_t size) { return Fails() ? nullptr : std::calloc(count, size); }
void* ResizeBytes(void* block, size_t bytes) { return Fails() ? nullptr : std::realloc(block, bytes); }
void FreeBytes(void* block) { std::free(block); }

void SetAllocationFailureCheck(AllocationFailureCheck check) { gFailureCheck.store(check); }
