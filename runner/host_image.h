// An image as a host holds it: interleaved samples on the interface's scale
// (0..255 for 8 bits, 0..32768 for 16 bits), colour planes first, then the
// transparency plane when there is one, and optionally a selection mask.
#pragma once

#include <cstdint>
#include <vector>

#include "core/sample_math.h"

struct HostImage {
    int32_t width = 0;
    int32_t height = 0;
    int depth = 8;              // bits per sample: 8 or 16
    int colorPlanes = 3;        // 1 (gray) or 3 (RGB)
    bool hasTransparency = false;
    std::vector<uint16_t> samples;    // width * height * SamplesPerPixel(), row-major
    std::vector<uint8_t> selection;   // empty, or width * height bytes (255 = selected)

    int SamplesPerPixel() const { return colorPlanes + (hasTransparency ? 1 : 0); }
    uint16_t& At(int32_t row, int32_t column, int plane) {
        return samples[(size_t(row) * size_t(width) + size_t(column)) * size_t(SamplesPerPixel()) + size_t(plane)];
    }
    uint16_t At(int32_t row, int32_t column, int plane) const {
        return samples[(size_t(row) * size_t(width) + size_t(column)) * size_t(SamplesPerPixel()) + size_t(plane)];
    }
    uint16_t FullScale() const { return uint16_t(depth == 16 ? kFullScale16 : kFullScale8); }
};

// A blank image of the given shape.
HostImage MakeHostImage(int32_t width, int32_t height, int depth, int colorPlanes, bool hasTransparency);
