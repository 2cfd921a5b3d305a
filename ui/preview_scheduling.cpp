#include "ui/preview_scheduling.h"

#include "pipeline/message_pump.h"
#include "pipeline/preview_render.h"
#include "platform/win32.h"

void RequestPreview(ParameterDialogState* dialog) {
    if (PreviewState == PreviewIdle)
        dialog->controls->PostToDialog(WM_PREVIEW_FILTERED, 0, 0);
    else if (PreviewState == PreviewBusy)
        PreviewState = PreviewRestart;
}

void UpdatePreview(ParameterDialogState* dialog, bool filtered) {
    PreviewState = PreviewBusy;
    RenderPreview(dialog->globals, filtered);
    dialog->controls->InvalidatePane();
    if (PreviewState == PreviewRestart) {
        dialog->controls->PostToDialog(WM_PREVIEW_FILTERED, 0, 0);
    } else if (PreviewState == PreviewRezoom) {
        dialog->controls->PostToDialog(WM_PREVIEW_PLAIN, 0, 0);
        dialog->controls->PostToDialog(WM_PREVIEW_FILTERED, 0, 0);
    }
    PreviewState = PreviewIdle;
}

void OnPreviewRequest(ParameterDialogState* dialog, unsigned message) {
    MSG queued;
    while (PeekMessageA(&queued, nullptr, message, message, PM_REMOVE)) {
    }
    UpdatePreview(dialog, message == WM_PREVIEW_FILTERED);
}
