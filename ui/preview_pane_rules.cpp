#include "ui/preview_pane_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "interface/result_codes.h"
#include "pipeline/message_pump.h"
#include "pipeline/preview_render.h"
#include "platform/win32.h"
#include "ui/dialog_ids.h"
#include "ui/preview_scheduling.h"

namespace {

int16_t ToInt16(double value) {
    return int16_t(std::trunc(std::clamp(value, double(INT16_MIN), double(INT16_MAX))));
}

}  // namespace

void FormatZoomLabel(int16_t zoomLevel, char label[8]) {
    const double percent = 100.0 / ZoomFactor(zoomLevel);
    std::snprintf(label, 8, "%d%%", int(std::floor(percent + 0.5)));
}

void PanPreview(FilterGlobals* globals, int32_t dx, int32_t dy) {
    const FilterRecord* record = globals->filterRecord;
    const double f = ZoomFactor(globals->zoomLevel);
    const double ew = f * (globals->previewFrame.right - globals->previewFrame.left);
    const double eh = f * (globals->previewFrame.bottom - globals->previewFrame.top);
    const int16_t halfW = ToInt16(ew / 2), halfH = ToInt16(eh / 2);
    const int16_t maxH = ToInt16(record->imageSize.h - ew / 2), maxV = ToInt16(record->imageSize.v - eh / 2);
    if (eh > record->imageSize.v) {
        globals->viewCenterV = double(record->imageSize.v / 2);
    } else {
        globals->viewCenterV -= dy * f;
        if (globals->viewCenterV < halfH) globals->viewCenterV = halfH;
        if (globals->viewCenterV > maxV) globals->viewCenterV = maxV;
    }
    if (ew > record->imageSize.h) {
        globals->viewCenterH = double(record->imageSize.h / 2);
    } else {
        globals->viewCenterH -= dx * f;
        if (globals->viewCenterH < halfW) globals->viewCenterH = halfW;
        if (globals->viewCenterH > maxH) globals->viewCenterH = maxH;
    }
}

bool OnZoomButton(ParameterDialogState* dialog, int buttonId) {
    FilterGlobals* globals = dialog->globals;
    if (buttonId == kZoomInButton) {
        --globals->zoomLevel;
    } else if (globals->zoomLevel < INT16_MAX) {
        ++globals->zoomLevel;
    }
    if (globals->zoomLevel < -10) {
        globals->zoomLevel = -10;
        return true;
    }
    static char label[8];
    FormatZoomLabel(globals->zoomLevel, label);
    dialog->controls->SetItemText(kZoomLabel, label);
    if (PreviewState == PreviewBusy) {
        PreviewState = PreviewRezoom;
        return false;
    }
    UpdatePreview(dialog, false);
    UpdatePreview(dialog, true);
    return true;
}

void OnPanePress(PreviewPaneState* pane, ParameterDialogState*, int16_t x, int16_t y) {
    if (PreviewState == PreviewBusy) PreviewState = PreviewStop;
    pane->dragAnchorX = x;
    pane->dragAnchorY = y;
    pane->dragging = true;
}

void OnPaneDrag(PreviewPaneState* pane, ParameterDialogState* dialog, int16_t x, int16_t y) {
    if (!pane->dragging) return;
    PanPreview(dialog->globals, x - pane->dragAnchorX, y - pane->dragAnchorY);
    pane->dragAnchorY = y;
    pane->dragAnchorX = x;
    if (PreviewState == PreviewBusy) {
        // A filtered render is suspended under this step: rendering here would
        // reuse its buffers and let it finish on a view the user has left. Stop
        // it, and show the new view once it has unwound.
        PreviewState = PreviewStop;
        dialog->controls->PostToDialog(WM_PREVIEW_PLAIN, 0, 0);
        return;
    }
    UpdatePreview(dialog, false);
}

void OnPaneRelease(PreviewPaneState* pane, ParameterDialogState* dialog) {
    pane->dragging = false;
    if (PreviewState == PreviewIdle)
        dialog->controls->PostToDialog(WM_PREVIEW_FILTERED, 0, 0);
    else if (PreviewState == PreviewBusy)
        PreviewState = PreviewRestart;
}

void PaintPreview(const FilterGlobals* globals, int32_t dstRow, int32_t dstColumn, void* deviceContext) {
    const FilterRecord* record = globals->filterRecord;
    if (!record->displayPixels || !globals->previewPixels) return;
    const int32_t n = record->planes + (globals->hasTransparency ? 1 : 0);
    const int32_t width = globals->previewFrame.right - globals->previewFrame.left;
    const int32_t height = globals->previewFrame.bottom - globals->previewFrame.top;

    PSPixelMap map{};
    map.version = 1;
    map.bounds = VRect{0, 0, height, width};
    map.imageMode = record->imageMode == plugInModeGray16  ? plugInModeGrayScale
                    : record->imageMode == plugInModeRGB48 ? plugInModeRGBColor
                                                           : record->imageMode;
    map.rowBytes = n * width;
    map.colBytes = n;
    map.planeBytes = 1;
    map.baseAddr = globals->previewPixels;
    PSPixelMask mask{};
    if (record->isFloating) {
        mask = PSPixelMask{nullptr, globals->previewMask, width, 1, kSimplePSMask};
        map.masks = &mask;
    } else if (record->inLayerPlanes != 0 && record->inTransparencyMask != 0) {
        mask = PSPixelMask{nullptr, globals->previewPixels + n - 1, n * width, n, kSimplePSMask};
        map.masks = &mask;
    }
    const VRect source = map.bounds;
    record->displayPixels(&map, &source, dstRow, dstColumn, deviceContext);
}
