// The preview's display image: the part of the image the pane shows, at the
// chosen zoom around the view centre, as 8-bit samples with a mask.
#pragma once

#include "host_services/filter_globals.h"
#include "passes/message_pump.h"

// The dialog's preview as the pipeline sees it; the dialog owns it.
struct PreviewSession {
    int32_t state = PreviewIdle;  // the preview state word the message pump reads
    bool sourceReady = false;     // the host's buffers hold the whole image (the dialog's request succeeded)
};

// Image pixels per pane pixel: zoomLevel when it is 1 or more, else 1 / (2 - zoomLevel).
double ZoomFactor(int16_t zoomLevel);

// The region of the image the pane shows, in image coordinates. Regions larger
// than the image are centred on it. Computed in 32 bits: far out, the region
// is wider than any 16-bit rectangle can hold.
void PreviewRegion(const FilterGlobals* globals, VRect* region);

// The intersection of two rectangles, each axis emptied on its own; the output
// may be one of the inputs.
void RectIntersection(VRect* out, const VRect* a, const VRect* b);
void RectIntersection(Rect* out, const Rect* a, const Rect* b);

// Whether a buffer the host delivered holds the whole image from its origin:
// the delivered rectangle starts at row and column 0 and reaches the image's
// size, and each row holds the image's width of pixels of pixelBytes bytes.
bool HoldsWholeImage(const void* data, const Rect& delivered, int32_t rowBytes, Point imageSize, int64_t pixelBytes);

// Fills previewPixels and previewMask for the current view. With filtered set
// it first runs the filter pass over the visible part of the filter rectangle
// and shows the output buffer; a pass that stops or fails shows the input.
// Reads the host's buffers only when the session's source is ready and they
// hold the whole image; otherwise the pane stays empty (and a filtered view
// whose output does not cover the image shows the input).
void RenderPreview(FilterGlobals* globals, bool filtered, const PreviewSession* session);
