#include "ui/preview_scheduling.h"

#include "passes/message_pump.h"
#include "passes/preview_render.h"
#include "platform/win32.h"

void RequestPreview(ParameterDialogState* dialog) {
    int32_t& state = dialog->preview.state;
    if (state == PreviewIdle)
        dialog->controls->PostToDialog(WM_PREVIEW_FILTERED, 0, 0);
    else if (state == PreviewBusy)
        state = PreviewRestart;
}

void UpdatePreview(ParameterDialogState* dialog, bool filtered) {
    int32_t& state = dialog->preview.state;
    state = PreviewBusy;
    RenderPreview(dialog->globals, filtered, &dialog->preview);
    dialog->controls->InvalidatePane();
    if (state == PreviewRestart) {
        dialog->controls->PostToDialog(WM_PREVIEW_FILTERED, 0, 0);
    } else if (state == PreviewRezoom) {
        dialog->controls->PostToDialog(WM_PREVIEW_PLAIN, 0, 0);
        dialog->controls->PostToDialog(WM_PREVIEW_FILTERED, 0, 0);
    }
    state = PreviewIdle;
}

void OnPreviewRequest(ParameterDialogState* dialog, unsigned message) {
    MSG queued;
    while (PeekMessageA(&queued, nullptr, message, message, PM_REMOVE)) {
    }
    UpdatePreview(dialog, message == WM_PREVIEW_FILTERED);
}
