// Synthetic night scenes for the benchmark: dark, noisy planes with a given
// share of pixels bright enough to be highlights.
#pragma once

#include <cstdint>
#include <vector>

#include "cli/image_file.h"

struct SceneShape {
    int32_t width = 0;
    int32_t height = 0;
    int colorPlanes = 3;      // 1 gray, 3 RGB
    int depth = 8;            // 8 or 16: the planes hold what such samples import as
    double highlightShare = 0.001;
    uint32_t seed = 1;
};

// The planes of the scene, 1.0 full scale: highlights at full scale (at 8 bits
// 250 to 255 when every pixel is one), every other pixel below the default
// threshold of 250.
std::vector<std::vector<float>> MakeScenePlanes(const SceneShape& shape);

// The scene as an image file's samples. smooth: a photograph's sky with the
// scene's highlights instead of its grain everywhere, which compresses far less.
ImageFile SceneImage(const SceneShape& shape, bool smooth);
