// Out of memory anywhere in the plug-in: each allocation it makes is made to
// fail in turn, through the standard library's operator new, the plug-in's
// own heap blocks and the platform's global memory. Every run must end with
// noErr or memFullErr, leave the image untouched unless it succeeded, and
// leak nothing (the sanitizer build checks that).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "core/allocation.h"
#include "interface/result_codes.h"
#include "tests/emulated_system/platform_testing.h"
#include "plugin/plugin_main.h"
#include "tests/test_support.h"

namespace {

// Allocations of plug-in code left before one fails; below 0 nothing fails.
// Only allocations made while PluginMain runs count, and none of the host's
// callbacks' (worker threads count too: they must not allocate at all).
std::atomic<long> gAllocationsLeft{-1};
std::atomic<bool> gInsidePlugin{false};
std::atomic<bool> gFailed{false};

bool PluginAllocationFails() {
    if (!gInsidePlugin.load() || gAllocationsLeft.load() < 0 || InForeignCode()) return false;
    if (gAllocationsLeft.fetch_sub(1) != 0) return false;
    gFailed = true;
    return true;
}

void* Allocate(size_t size) {
    if (PluginAllocationFails()) throw std::bad_alloc();
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}

void* AllocateNoThrow(size_t size) noexcept {
    if (PluginAllocationFails()) return nullptr;
    return std::malloc(size ? size : 1);
}

// The plug-in as a host sees it, with the failures armed only while it runs.
void PI_CALL FailingPluginMain(int16_t selector, void* record, intptr_t* data, int16_t* result) {
    gInsidePlugin = true;
    PluginMain(selector, record, data, result);
    gInsidePlugin = false;
}

enum class Failing { Heap, GlobalMemory };

// One whole run with the k-th allocation of the given kind failing; true when
// the run got that far.
bool RunWithFailure(Failing kind, long k, const HostImage& image, const HostImage& filtered, bool script) {
    gFailed = false;
    HostSettings settings;
    settings.offerDescriptors = script;
    TestHost host(image, settings);
    if (script) host.SetScriptValues({ScriptValue{FourCC("Lnty"), typeInteger, 4, 0}});
    if (kind == Failing::Heap) {
        gAllocationsLeft = k;
        SetAllocationFailureCheck(PluginAllocationFails);
    } else {
        PlatformFailGlobalAllocAfter(int(k));
    }
    const RunOutcome outcome = host.Run(&FailingPluginMain, false);
    gAllocationsLeft = -1;
    SetAllocationFailureCheck(nullptr);
    PlatformFailGlobalAllocAfter(-1);

    EXPECT_TRUE(outcome.result == noErr || outcome.result == memFullErr) << "allocation " << k << ": " << outcome.result;
    if (outcome.result == noErr)
        EXPECT_EQ(host.Image().Samples(), filtered.Samples()) << "allocation " << k << ": a success is the whole result";
    else
        EXPECT_EQ(host.Image().Samples(), image.Samples()) << "allocation " << k << ": a failure leaves the image";
    return gFailed.load();
}

HostImage Scene(bool dense) {
    HostImage image = MakeHostImage(48, 36, 8, 3, true);
    for (size_t i = 0; i < image.SampleCount(); ++i) image.SetSample(i, uint16_t((i * 37) % 200));
    for (int32_t r = 0; r < 36; ++r)
        for (int32_t c = 0; c < 48; ++c)
            if (dense || (r * 48 + c) % 97 == 0)
                for (int p = 0; p < 3; ++p) image.Set(r, c, p, dense ? 250 : 255);
    return image;
}

}  // namespace

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return AllocateNoThrow(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return AllocateNoThrow(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }

TEST(OutOfMemory, EveryAllocationOfThePlugInMayFail) {
    for (bool dense : {false, true}) {
        for (bool script : {false, true}) {
            const HostImage image = Scene(dense);
            HostSettings settings;
            settings.offerDescriptors = script;
            TestHost reference(image, settings);
            if (script) reference.SetScriptValues({ScriptValue{FourCC("Lnty"), typeInteger, 4, 0}});
            ASSERT_EQ(reference.Run(Plugin(), false).result, noErr);
            const HostImage filtered = reference.Image();
            ASSERT_NE(filtered.Samples(), image.Samples());

            long heap = 0;
            while (RunWithFailure(Failing::Heap, heap, image, filtered, script) && heap < 5000) ++heap;
            EXPECT_GT(heap, 5) << "the runs reached the plug-in's allocations";
            EXPECT_LT(heap, 5000) << "a run with no failure ends the loop";
            // The globals block and the parameter block's handle and data.
            for (long k = 0; k < 3; ++k) RunWithFailure(Failing::GlobalMemory, k, image, filtered, script);
        }
    }
}
