#include "core/pixel_block.h"

#include <new>

PixelBlock::PixelBlock(size_t bytes) {
    data_ = static_cast<uint8_t*>(std::calloc(bytes ? bytes : 1, 1));
    if (!data_) throw std::bad_alloc();
    size_ = bytes;
}

PixelBlock::PixelBlock(const PixelBlock& other) : PixelBlock(other.size_) {
    if (size_) std::memcpy(data_, other.data_, size_);
}

PixelBlock& PixelBlock::operator=(const PixelBlock& other) {
    if (this != &other) {
        PixelBlock copy(other);
        Swap(copy);
    }
    return *this;
}
