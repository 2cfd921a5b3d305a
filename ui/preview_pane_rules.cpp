#include "ui/preview_pane_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "interface/result_codes.h"
#include "passes/message_pump.h"
#include "passes/preview_render.h"
#include "platform/win32.h"
#include "ui/dialog_ids.h"
#include "ui/preview_scheduling.h"

namespace {

int16_t ToInt16(double value) {
    return int16_t(std::trunc(std::clamp(value, double(INT16_MIN), double(INT16_MAX))));
}

// One axis of a pan: the view centre moves against the drag, kept where the
// view stays on the image; a view longer than the image stays centred on it.
double PanAxis(double center, int32_t drag, double zoom, int32_t paneLength, int16_t imageLength) {
    const double view = zoom * paneLength;
    if (view > imageLength) return double(imageLength / 2);
    const int16_t low = ToInt16(view / 2), high = ToInt16(imageLength - view / 2);
    center -= drag * zoom;
    if (center < low) center = low;
    if (center > high) center = high;
    return center;
}

}  // namespace

void FormatZoomLabel(int16_t zoomLevel, char label[8]) {
    const double percent = 100.0 / ZoomFactor(zoomLevel);
    std::snprintf(label, 8, "%d%%", int(std::floor(percent + 0.5)));
}

void PanPreview(FilterGlobals* globals, int32_t dx, int32_t dy) {
    const FilterRecord* record = globals->filterRecord;
    const double f = ZoomFactor(globals->zoomLevel);
    const Rect& frame = globals->previewFrame;
    globals->viewCenterV = PanAxis(globals->viewCenterV, dy, f, frame.bottom - frame.top, record->imageSize.v);
    globals->viewCenterH = PanAxis(globals->viewCenterH, dx, f, frame.right - frame.left, record->imageSize.h);
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
    char label[8];
    FormatZoomLabel(globals->zoomLevel, label);
    dialog->controls->SetItemText(kZoomLabel, label);
    if (dialog->preview.state == PreviewBusy) {
        dialog->preview.state = PreviewRezoom;
        return false;
    }
    UpdatePreview(dialog, false);
    UpdatePreview(dialog, true);
    return true;
}

void OnPanePress(ParameterDialogState* dialog, int16_t x, int16_t y) {
    PreviewPaneState& pane = dialog->pane;
    if (dialog->preview.state == PreviewBusy) dialog->preview.state = PreviewStop;
    pane.dragAnchorX = x;
    pane.dragAnchorY = y;
    pane.dragging = true;
}

void OnPaneDrag(ParameterDialogState* dialog, int16_t x, int16_t y) {
    PreviewPaneState& pane = dialog->pane;
    if (!pane.dragging) return;
    PanPreview(dialog->globals, x - pane.dragAnchorX, y - pane.dragAnchorY);
    pane.dragAnchorY = y;
    pane.dragAnchorX = x;
    if (dialog->preview.state == PreviewBusy) {
        // A filtered render is suspended under this step: rendering here would
        // reuse its buffers and let it finish on a view the user has left. Stop
        // it, and show the new view once it has unwound.
        dialog->preview.state = PreviewStop;
        dialog->controls->PostToDialog(WM_PREVIEW_PLAIN, 0, 0);
        return;
    }
    UpdatePreview(dialog, false);
}

void OnPaneRelease(ParameterDialogState* dialog) {
    dialog->pane.dragging = false;
    RequestPreview(dialog);
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
