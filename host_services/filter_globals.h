// The per-instance record kept in the host's data slot between selector calls.
#pragma once

#include <cstdint>

#include "interface/filter_record.h"

struct FilterGlobals {
    int16_t* result;              // the host's result code of the current call
    FilterRecord* filterRecord;   // the host's parameter block of the current call
    int16_t showDialog;           // Start shows the dialog when non-zero
    Rect previewFrame;            // preview pane, in dialog client coordinates
    Rect passRect;                // what the filter pass processes, in host buffer coordinates
    int16_t zoomLevel;            // n >= 1: n image pixels per screen pixel; n <= 0: 1 / (2 - n)
    double viewCenterV;           // image row at the centre of the preview
    double viewCenterH;           // image column at the centre of the preview
    uint8_t* previewPixels;       // interleaved 8-bit preview image, owned by the dialog
    uint8_t* previewMask;         // 8-bit mask of the preview image, owned by the dialog
    int16_t hasTransparency;      // 1 or 3 colour planes plus a transparency plane
    uint8_t* transparencyPlane;   // 8-bit copy of the layer transparency, owned by the dialog
};
