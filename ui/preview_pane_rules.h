// The preview pane's behaviour: dragging to pan, the zoom buttons and their
// label, and painting through the host's displayPixels.
#pragma once

#include <cstdint>

#include "ui/dialog_state.h"

// "%d%%" of 100 / zoom factor, rounded halves up: 100% at level 1, 1200% at -10.
void FormatZoomLabel(int16_t zoomLevel, char label[8]);

// Moves the view centre against a drag of (dx, dy) pane pixels, keeping the
// view on the image; a view larger than the image stays centred on it.
void PanPreview(FilterGlobals* globals, int32_t dx, int32_t dy);

// The zoom buttons (WM_COMMAND from 1002 or 1003 with BN_CLICKED); returns the
// dialog procedure's answer.
bool OnZoomButton(ParameterDialogState* dialog, int buttonId);

// Mouse on the pane, in pane client coordinates.
void OnPanePress(ParameterDialogState* dialog, int16_t x, int16_t y);
void OnPaneDrag(ParameterDialogState* dialog, int16_t x, int16_t y);
void OnPaneRelease(ParameterDialogState* dialog);

// Draws the preview image through the host's displayPixels at the pane's
// client origin; does nothing when the host offers no displayPixels.
void PaintPreview(const FilterGlobals* globals, int32_t dstRow, int32_t dstColumn, void* deviceContext);
