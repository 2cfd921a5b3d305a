#include "pipeline/message_pump.h"

#include "platform/win32.h"

int32_t PreviewState = PreviewIdle;

bool PumpMessages() {
    if (PreviewState == PreviewIdle) return false;
    static MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_CLOSE) {
            MSG dropped;
            while (PeekMessageA(&dropped, nullptr, WM_PREVIEW_FILTERED, WM_PREVIEW_PLAIN, PM_REMOVE)) {
            }
            PostMessageA(message.hwnd, WM_CLOSE, message.wParam, message.lParam);
            return true;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
        if (PreviewState == PreviewStop || PreviewState == PreviewRestart || PreviewState == PreviewRezoom)
            return true;
    }
    return false;
}
