#include <gtest/gtest.h>

#include <cstring>

#include "host_services/handle_services.h"
#include "tests/emulated_system/platform_testing.h"

namespace {

struct FailureGuard {
    ~FailureGuard() { PlatformFailGlobalAllocAfter(-1); }
};

}  // namespace

TEST(OwnHandles, HoldAPointerAndTheTagInPointerSizePlusFourBytes) {
    const size_t before = PlatformLiveGlobalBlocks();
    Handle handle = NewOwnHandle(26);
    ASSERT_NE(handle, nullptr);
    ASSERT_NE(*handle, nullptr);
    EXPECT_EQ(GlobalSize(GlobalHandle(handle)), sizeof(void*) + 4);
    uint32_t tag;
    std::memcpy(&tag, reinterpret_cast<char*>(handle) + sizeof(void*), 4);
    EXPECT_EQ(tag, 0x464F544Fu);
    EXPECT_EQ(GlobalSize(GlobalHandle(*handle)), 26u);
    for (int i = 0; i < 26; ++i) EXPECT_EQ((*handle)[i], 0) << "the block starts zero-filled";
    EXPECT_EQ(PlatformLiveGlobalBlocks(), before + 2);
    DisposeOwnHandle(handle);
    EXPECT_EQ(PlatformLiveGlobalBlocks(), before);
}

TEST(OwnHandles, AFailedAllocationGivesNullAndLeavesNothingBehind) {
    FailureGuard guard;
    const size_t before = PlatformLiveGlobalBlocks();
    PlatformFailGlobalAllocAfter(0);
    EXPECT_EQ(NewOwnHandle(16), nullptr);
    PlatformFailGlobalAllocAfter(1);  // the record succeeds, the block fails
    EXPECT_EQ(NewOwnHandle(16), nullptr);
    EXPECT_EQ(PlatformLiveGlobalBlocks(), before);
    EXPECT_EQ(NewOwnHandle(-1), nullptr);
}

namespace {
int gNewCalls = 0;
Handle PI_CALL CountingNew(int32_t size) {
    ++gNewCalls;
    return NewOwnHandle(size);
}
void PI_CALL PlainDispose(Handle handle) { DisposeOwnHandle(handle); }
int32_t PI_CALL PlainSize(Handle) { return 0; }
OSErr PI_CALL PlainSetSize(Handle, int32_t) { return 0; }
Ptr PI_CALL PlainLock(Handle handle, Boolean) { return *handle; }
void PI_CALL PlainUnlock(Handle) {}

HandleProcs CompleteProcs() {
    HandleProcs procs{};
    procs.handleProcsVersion = 1;
    procs.numHandleProcs = 8;
    procs.newProc = CountingNew;
    procs.disposeProc = PlainDispose;
    procs.getSizeProc = PlainSize;
    procs.setSizeProc = PlainSetSize;
    procs.lockProc = PlainLock;
    procs.unlockProc = PlainUnlock;
    return procs;
}
}  // namespace

TEST(HostHandleProcs, AreUsedOnlyWhenCompleteAndOfVersionOne) {
    FilterRecord record{};
    EXPECT_FALSE(HostHandleProcsUsable(&record));
    EXPECT_FALSE(HostHandleProcsUsable(nullptr));
    HandleProcs procs = CompleteProcs();
    record.handleProcs = &procs;
    EXPECT_TRUE(HostHandleProcsUsable(&record));

    gNewCalls = 0;
    Handle handle = NewPIHandle(&record, 8);
    EXPECT_EQ(gNewCalls, 1);
    DisposePIHandle(&record, handle);

    auto unusable = [&](void (*spoil)(HandleProcs&)) {
        HandleProcs spoiled = CompleteProcs();
        spoil(spoiled);
        record.handleProcs = &spoiled;
        return !HostHandleProcsUsable(&record);
    };
    EXPECT_TRUE(unusable([](HandleProcs& p) { p.handleProcsVersion = 2; }));
    EXPECT_TRUE(unusable([](HandleProcs& p) { p.numHandleProcs = 6; }));
    EXPECT_TRUE(unusable([](HandleProcs& p) { p.newProc = nullptr; }));
    EXPECT_TRUE(unusable([](HandleProcs& p) { p.disposeProc = nullptr; }));
    EXPECT_TRUE(unusable([](HandleProcs& p) { p.getSizeProc = nullptr; }));
    EXPECT_TRUE(unusable([](HandleProcs& p) { p.setSizeProc = nullptr; }));
    EXPECT_TRUE(unusable([](HandleProcs& p) { p.lockProc = nullptr; }));
    EXPECT_TRUE(unusable([](HandleProcs& p) { p.unlockProc = nullptr; }));

    // Unusable procs fall back to the plug-in's own handles and never call the host.
    HandleProcs spoiled = CompleteProcs();
    spoiled.handleProcsVersion = 0;
    record.handleProcs = &spoiled;
    gNewCalls = 0;
    const size_t before = PlatformLiveGlobalBlocks();
    handle = NewPIHandle(&record, 8);
    EXPECT_EQ(gNewCalls, 0);
    EXPECT_EQ(LockPIHandle(&record, handle, true), *handle);
    EXPECT_TRUE(DisposePIHandle(&record, handle)) << "the plug-in frees its own handle itself";
    EXPECT_EQ(PlatformLiveGlobalBlocks(), before);
}
