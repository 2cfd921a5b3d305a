#include "tests/emulated_host/host_image.h"


#include <new>

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
