#include <gtest/gtest.h>

#include <vector>

#include "pipeline/message_pump.h"
#include "platform/platform_testing.h"

namespace {

std::vector<UINT> gHandled;

LRESULT Dialog(HWND, UINT message, WPARAM, LPARAM) {
    gHandled.push_back(message);
    if (message == WM_COMMAND) PreviewState = PreviewStop;
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
        PreviewState = PreviewIdle;
        PlatformClearMessageQueue();
        PlatformDestroyWindow(dialog);
    }
};

}  // namespace

TEST(PumpMessages, DoesNothingOutsideAPreviewRender) {
    PumpBench bench;
    PostMessageA(bench.dialog, WM_PAINT, 0, 0);
    PostMessageA(bench.dialog, WM_COMMAND, 1, 0);
    EXPECT_FALSE(PumpMessages());
    EXPECT_EQ(PlatformQueuedMessageCount(), 2u);
    EXPECT_TRUE(gHandled.empty());
}

TEST(PumpMessages, DispatchesInOrderAndStopsAfterTheMessageThatAsksForIt) {
    PumpBench bench;
    PreviewState = PreviewBusy;
    PostMessageA(bench.dialog, WM_PAINT, 0, 0);
    PostMessageA(bench.dialog, WM_COMMAND, 1, 0);
    PostMessageA(bench.dialog, WM_PAINT, 0, 0);
    EXPECT_TRUE(PumpMessages());
    EXPECT_EQ(gHandled, (std::vector<UINT>{WM_PAINT, WM_COMMAND}));
    EXPECT_EQ(PlatformQueuedMessageCount(), 1u) << "the rest waits for the dialog's loop";

    PreviewState = PreviewBusy;
    gHandled.clear();
    EXPECT_FALSE(PumpMessages()) << "an emptied queue lets the render go on";
    EXPECT_EQ(gHandled, (std::vector<UINT>{WM_PAINT}));
}

TEST(PumpMessages, ACloseDropsPendingPreviewRequestsAndIsPostedAgain) {
    PumpBench bench;
    PreviewState = PreviewBusy;
    PostMessageA(bench.dialog, WM_CLOSE, 5, 6);
    PostMessageA(bench.dialog, WM_PREVIEW_FILTERED, 0, 0);
    PostMessageA(bench.dialog, WM_PREVIEW_PLAIN, 0, 0);
    EXPECT_TRUE(PumpMessages());
    EXPECT_TRUE(gHandled.empty()) << "nothing was dispatched";
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, WM_CLOSE);
    EXPECT_EQ(message.hwnd, bench.dialog);
    EXPECT_EQ(message.wParam, 5u);
    EXPECT_EQ(message.lParam, 6);
    EXPECT_EQ(PlatformQueuedMessageCount(), 0u);
}
