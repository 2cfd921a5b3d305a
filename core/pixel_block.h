// Interleaved pixel samples in one block of memory, as an image file's
// decoder leaves them or a host holds them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

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
