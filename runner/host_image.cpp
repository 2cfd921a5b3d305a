#include "runner/host_image.h"


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

std::vector<uint16_t> HostImage::Samples() const {
    std::vector<uint16_t> values(SampleCount());
    for (size_t i = 0; i < values.size(); ++i) values[i] = Sample(i);
    return values;
}

void HostImage::SetSamples(const std::vector<uint16_t>& values) {
    for (size_t i = 0; i < values.size() && i < SampleCount(); ++i) SetSample(i, values[i]);
}

HostImage MakeHostImage(int32_t width, int32_t height, int depth, int colorPlanes, bool hasTransparency) {
    HostImage image;
    image.width = width;
    image.height = height;
    image.depth = depth;
    image.colorPlanes = colorPlanes;
    image.hasTransparency = hasTransparency;
    image.pixels = PixelBlock(image.SampleCount() * size_t(image.BytesPerSample()));
    return image;
}
