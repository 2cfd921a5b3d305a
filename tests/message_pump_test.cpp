#include <gtest/gtest.h>

#include <vector>

#include "passes/message_pump.h"
#include "tests/emulated_system/platform_testing.h"

namespace {

std::vector<UINT> gHandled;
int32_t gState = PreviewIdle;

LRESULT Dialog(HWND, UINT message, WPARAM, LPARAM) {
    gHandled.push_back(message);
    if (message == WM_COMMAND) gState = PreviewStop;
    return 0;
}

struct PumpBench {
    HWND dialog;
    PumpBench() {
        PlatformClearMessageQueue();
        gHandled.clear();
        dialog = PlatformCreateWindow(Dialog);
    }
    ~PumpBench() {
        gState = PreviewIdle;
        PlatformClearMessageQueue();
        PlatformDestroyWindow(dialog);
    }
};

}  // namespace

TEST(PumpMessages, DoesNothingOutsideAPreviewRender) {
    PumpBench bench;
    PostMessageA(bench.dialog, WM_PAINT, 0, 0);
    PostMessageA(bench.dialog, WM_COMMAND, 1, 0);
    EXPECT_FALSE(PumpMessages(&gState));
    EXPECT_FALSE(PumpMessages(nullptr)) << "outside a preview there is no state word";
    EXPECT_EQ(PlatformQueuedMessageCount(), 2u);
    EXPECT_TRUE(gHandled.empty());
}

TEST(PumpMessages, DispatchesInOrderAndStopsAfterTheMessageThatAsksForIt) {
    PumpBench bench;
    gState = PreviewBusy;
    PostMessageA(bench.dialog, WM_PAINT, 0, 0);
    PostMessageA(bench.dialog, WM_COMMAND, 1, 0);
    PostMessageA(bench.dialog, WM_PAINT, 0, 0);
    EXPECT_TRUE(PumpMessages(&gState));
    EXPECT_EQ(gHandled, (std::vector<UINT>{WM_PAINT, WM_COMMAND}));
    EXPECT_EQ(PlatformQueuedMessageCount(), 1u) << "the rest waits for the dialog's loop";

    gState = PreviewBusy;
    gHandled.clear();
    EXPECT_FALSE(PumpMessages(&gState)) << "an emptied queue lets the render go on";
    EXPECT_EQ(gHandled, (std::vector<UINT>{WM_PAINT}));
}

TEST(PumpMessages, ACloseDropsPendingPreviewRequestsAndIsPostedAgain) {
    PumpBench bench;
    gState = PreviewBusy;
    PostMessageA(bench.dialog, WM_CLOSE, 5, 6);
    PostMessageA(bench.dialog, WM_PREVIEW_FILTERED, 0, 0);
    PostMessageA(bench.dialog, WM_PREVIEW_PLAIN, 0, 0);
    EXPECT_TRUE(PumpMessages(&gState));
    EXPECT_TRUE(gHandled.empty()) << "nothing was dispatched";
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, WM_CLOSE);
    EXPECT_EQ(message.hwnd, bench.dialog);
    EXPECT_EQ(message.wParam, 5u);
    EXPECT_EQ(message.lParam, 6);
    EXPECT_EQ(PlatformQueuedMessageCount(), 0u);
}
