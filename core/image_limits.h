// The largest image the filter takes: its rectangles are 16-bit in the
// plug-in interface, so every caller (the command, the GEGL operation, the
// frei0r filter) holds to the same side.
#pragma once

#include <cstdint>

constexpr int32_t kMaxImageSide = 32767;

inline bool FitsImageLimits(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide;
}
