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

#include "core/sample_math.h"

// A block of pixel bytes: allocated here, or adopted from a decoder together
// with the function that frees it. Copies are deep.
class PixelBlock {
public:
    using Release = void (*)(void*);

    PixelBlock() = default;
    explicit PixelBlock(size_t bytes);  // zero-filled; throws std::bad_alloc
    PixelBlock(uint8_t* adopted, size_t bytes, Release release) : data_(adopted), size_(bytes), release_(release) {}
    PixelBlock(const PixelBlock& other);
    PixelBlock& operator=(const PixelBlock& other);
    PixelBlock(PixelBlock&& other) noexcept { Swap(other); }
    PixelBlock& operator=(PixelBlock&& other) noexcept {
        Swap(other);
        return *this;
    }
    ~PixelBlock() { Free(); }

    uint8_t* Data() { return data_; }
    const uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }
    bool operator==(const PixelBlock& other) const {
        return size_ == other.size_ && (size_ == 0 || std::memcmp(data_, other.data_, size_) == 0);
    }
    bool operator!=(const PixelBlock& other) const { return !(*this == other); }

private:
    void Swap(PixelBlock& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(release_, other.release_);
    }
    void Free() {
        if (data_) release_(data_);
        data_ = nullptr;
        size_ = 0;
    }
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    Release release_ = std::free;
};

// Sample i of a block of interleaved samples of the given depth (8 or 16 bits,
// 16-bit in the machine's order).
inline uint16_t LoadSample(const PixelBlock& pixels, size_t i, int depth) {
    if (depth != 16) return pixels.Data()[i];
    uint16_t value;
    std::memcpy(&value, pixels.Data() + 2 * i, 2);
    return value;
}
inline void StoreSample(PixelBlock& pixels, size_t i, int depth, uint16_t value) {
    if (depth != 16)
        pixels.Data()[i] = uint8_t(value);
    else
        std::memcpy(pixels.Data() + 2 * i, &value, 2);
}

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
