// An image as a host holds it: interleaved samples on the interface's scale
// (0..255 for 8 bits, 0..32768 for 16 bits), colour planes first, then the
// transparency plane when there is one, and optionally a selection mask. The
// samples are stored as the host hands them to the plug-in (one byte each at
// 8 bits, two in the machine's order at 16 bits), so that a request for the
// whole image is answered with pointers into it instead of copies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/pixel_block.h"
#include "core/sample_math.h"

struct HostImage {
    int32_t width = 0;
    int32_t height = 0;
    int depth = 8;              // bits per sample: 8 or 16
    int colorPlanes = 3;        // 1 (gray) or 3 (RGB)
    bool hasTransparency = false;
    PixelBlock pixels;                // width * height * SamplesPerPixel() samples, row-major
    std::vector<uint8_t> selection;   // empty, or width * height bytes (255 = selected)

    int SamplesPerPixel() const { return colorPlanes + (hasTransparency ? 1 : 0); }
    int BytesPerSample() const { return depth == 16 ? 2 : 1; }
    size_t SampleCount() const { return size_t(width) * size_t(height) * size_t(SamplesPerPixel()); }
    size_t RowBytes() const { return size_t(width) * size_t(SamplesPerPixel()) * size_t(BytesPerSample()); }
    uint16_t FullScale() const { return uint16_t(depth == 16 ? kFullScale16 : kFullScale8); }

    // Sample i in row-major, interleaved order.
    uint16_t Sample(size_t i) const { return LoadSample(pixels, i, depth); }
    void SetSample(size_t i, uint16_t value) { StoreSample(pixels, i, depth, value); }
    size_t Index(int32_t row, int32_t column, int plane) const {
        return (size_t(row) * size_t(width) + size_t(column)) * size_t(SamplesPerPixel()) + size_t(plane);
    }
    uint16_t At(int32_t row, int32_t column, int plane) const { return Sample(Index(row, column, plane)); }
    void Set(int32_t row, int32_t column, int plane, uint16_t value) { SetSample(Index(row, column, plane), value); }

    // All samples as values, and back; for tests and small images.
    std::vector<uint16_t> Samples() const;
    void SetSamples(const std::vector<uint16_t>& values);
};

// A blank image of the given shape.
HostImage MakeHostImage(int32_t width, int32_t height, int depth, int colorPlanes, bool hasTransparency);
