#include <gtest/gtest.h>

#include <vector>

#include "tests/emulated_system/platform_testing.h"

TEST(PlatformGlobalMemory, CountsLocksAndAcceptsTheBlockAddress) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 32);
    ASSERT_NE(memory, nullptr);
    auto* address = static_cast<unsigned char*>(GlobalLock(memory));
    ASSERT_NE(address, nullptr);
    for (int i = 0; i < 32; ++i) EXPECT_EQ(address[i], 0);
    EXPECT_EQ(GlobalLock(memory), address);
    EXPECT_TRUE(GlobalUnlock(memory)) << "still locked once";
    EXPECT_FALSE(GlobalUnlock(memory)) << "now unlocked";
    EXPECT_EQ(GlobalLock(reinterpret_cast<HGLOBAL>(address)), address);
    EXPECT_EQ(GlobalHandle(address), memory);
    EXPECT_EQ(GlobalSize(memory), 32u);
    EXPECT_EQ(GlobalFree(memory), nullptr);
    EXPECT_EQ(GlobalHandle(address), nullptr);
    EXPECT_EQ(GlobalLock(memory), nullptr);
}

namespace {
std::vector<UINT> gDelivered;
LRESULT Record(HWND, UINT message, WPARAM, LPARAM) {
    gDelivered.push_back(message);
    return 7;
}
}  // namespace

TEST(PlatformMessageQueue, PeeksByWindowAndRangeAndDispatchesToTheProcedure) {
    PlatformClearMessageQueue();
    gDelivered.clear();
    HWND first = PlatformCreateWindow(Record);
    HWND second = PlatformCreateWindow(Record);
    PostMessageA(first, WM_APP + 100, 0, 0);
    PostMessageA(second, WM_CLOSE, 1, 2);
    PostMessageA(first, WM_APP + 101, 0, 0);
    EXPECT_EQ(PlatformQueuedMessageCount(), 3u);

    MSG message;
    EXPECT_TRUE(PeekMessageA(&message, second, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(message.message, WM_CLOSE);
    EXPECT_EQ(PlatformQueuedMessageCount(), 3u);
    EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_APP + 101, WM_APP + 101, PM_REMOVE));
    EXPECT_EQ(message.hwnd, first);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_APP + 101, WM_APP + 101, PM_REMOVE));

    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, WM_APP + 100u);
    EXPECT_EQ(DispatchMessageA(&message), 7);
    EXPECT_EQ(gDelivered, std::vector<UINT>{WM_APP + 100});

    PlatformDestroyWindow(second);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(DispatchMessageA(&message), 0) << "a destroyed window receives nothing";
    EXPECT_FALSE(PostMessageA(second, WM_CLOSE, 0, 0));
    EXPECT_EQ(PlatformQueuedMessageCount(), 0u);
    PlatformDestroyWindow(first);
}
