#include "bench/synthetic_scene.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "core/sample_math.h"

std::vector<std::vector<float>> MakeScenePlanes(const SceneShape& shape) {
    const size_t pixels = size_t(shape.width) * size_t(shape.height);
    std::vector<std::vector<float>> planes(size_t(shape.colorPlanes), std::vector<float>(pixels));
    std::mt19937 random(shape.seed);
    std::uniform_real_distribution<double> share(0.0, 1.0);
    std::uniform_int_distribution<int> dark(0, 120), bright(250, 255);
    const bool everyPixel = shape.highlightShare >= 1.0;
    auto sample = [&](int value8) {
        if (shape.depth == 16) return ImportSample16(uint16_t((value8 * 32768 + 127) / 255));
        return ImportSample8(uint8_t(value8));
    };
    for (size_t i = 0; i < pixels; ++i) {
        const bool lit = everyPixel || share(random) < shape.highlightShare;
        for (auto& plane : planes) plane[i] = sample(lit ? (everyPixel ? bright(random) : 255) : dark(random));
    }
    return planes;
}

ImageFile SceneImage(const SceneShape& shape, bool smooth) {
    const std::vector<std::vector<float>> planes = MakeScenePlanes(shape);
    ImageFile image;
    image.width = shape.width;
    image.height = shape.height;
    image.depth = shape.depth;
    image.channels = shape.colorPlanes;
    image.pixels = PixelBlock(image.SampleCount() * size_t(shape.depth / 8));
    uint32_t grain = 1;
    for (size_t i = 0; i < planes[0].size(); ++i)
        for (size_t p = 0; p < planes.size(); ++p) {
            double value = planes[p][i];
            if (smooth && value <= 0.9) {
                const double y = double(i / size_t(shape.width)) / shape.height, x = double(i % size_t(shape.width));
                grain = grain * 1664525u + 1013904223u;
                value = 0.08 + 0.25 * y + 0.06 * std::sin(x * 0.01 + double(p)) + (grain >> 24) / 255.0 * 0.01;
            }
            image.SetSample(i * planes.size() + p, shape.depth == 16
                                                       ? uint16_t(std::min(65535L, std::lround(value * 65535.0)))
                                                       : ExportSample8(float(value)));
        }
    return image;
}
