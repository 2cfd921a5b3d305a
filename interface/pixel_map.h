// The pixel map and mask records that displayPixels draws from.
#pragma once

#include "interface/pi_types.h"

struct PSPixelMask {
    PSPixelMask* next;
    void* maskData;
    int32_t rowBytes;
    int32_t colBytes;
    int32_t maskDescription;
};

constexpr int32_t kSimplePSMask = 0;
constexpr int32_t kBlackMatPSMask = 1;
constexpr int32_t kGrayMatPSMask = 2;
constexpr int32_t kWhiteMatPSMask = 3;
constexpr int32_t kInvertPSMask = 4;

struct PSPixelOverlay;

// Fields after maskPhaseCol exist from version 2 on; the plug-in fills version 1.
struct PSPixelMap {
    int32_t version;
    VRect bounds;
    int32_t imageMode;
    int32_t rowBytes;
    int32_t colBytes;
    int32_t planeBytes;
    void* baseAddr;
    PSPixelMask* mat;
    PSPixelMask* masks;
    int32_t maskPhaseRow;
    int32_t maskPhaseCol;
    PSPixelOverlay* pixelOverlays;
    uint32_t colorManagementOptions;
    int16_t depth;
};
