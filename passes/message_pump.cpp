#include "passes/message_pump.h"

#include "platform/win32.h"

bool PumpMessages(const int32_t* previewState) {
    if (!previewState || *previewState == PreviewIdle) return false;
    MSG message;
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
        // The handlers just dispatched may have moved the state.
        const int32_t state = *previewState;
        if (state == PreviewStop || state == PreviewRestart || state == PreviewRezoom) return true;
    }
    return false;
}
