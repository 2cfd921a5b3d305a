// The render for hosts that hand over a whole image at once, interleaved, as
// GEGL and frei0r do: the samples are split into the working planes (colour,
// then transparency, as the filter pass holds a host's planes), rendered, and
// put back. 8-bit images go through the filter pass's own conversions, so
// that their results equal the plug-in's sample for sample.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/filter_parameters.h"
#include "render/render_scratch.h"
#include "render/render_stars.h"

struct InterleavedImage {
    int32_t width = 0;
    int32_t height = 0;
    int channels = 0;  // 1 gray, 2 gray + alpha, 3 RGB, 4 RGB + alpha
    int stride = 0;    // samples from one pixel to the next (channels, or 4 for RGBA with the alpha left alone)
};

// The working planes and the render's band accumulators, kept between calls
// by a host that renders frame after frame (a video filter): memory already
// touched is not faulted in again.
struct RenderWorkspace {
    std::vector<float> planes;
    RenderScratch render;
};

// In place, on 8-bit samples (0..255).
RenderStatus RenderImage8(const FilterParameters& parameters, const InterleavedImage& shape, uint8_t* samples,
                          const RenderOptions& options, const std::function<bool()>& cancelled = {},
                          RenderWorkspace* workspace = nullptr);
// In place, on floating-point samples (0..1; results clamped to 0..1, as any
// host's samples are clamped to their full scale).
RenderStatus RenderImageFloat(const FilterParameters& parameters, const InterleavedImage& shape, float* samples,
                              const RenderOptions& options, const std::function<bool()>& cancelled = {});
