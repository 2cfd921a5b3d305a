#include "bench/synthetic_scene.h"

#include <random>

#include "pipeline/plane_conversion.h"

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
