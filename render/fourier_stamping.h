// Dense highlights by fast Fourier transform. One pass's accumulator is the
// map of source values convolved with the pass's star kernel: the light a
// source of value 1 leaves at every offset (each traced point's weight in
// both directions, the source's own cell once per line). The convolution is
// computed with transforms padded far enough that no light wraps around, so
// light that leaves the rectangle is dropped exactly as in the reference.
// The sums are formed in another order than the reference's, so the result
// may differ in the last bits of the accumulator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "render/line_layout.h"
#include "render/star_pattern.h"

struct FourierJob {
    float* plane;  // the pass's plane: its sources are read, then it is composited in place
    TestedValue tested;
    double level;
    double gain;
    int32_t width;
    int32_t height;
    const LineLayout* lines;
    int lineCount;
    int workers;
    // Runs on the calling thread while the workers transform, with the share
    // of the work done so far (0 to 1); false stops the pass.
    std::function<bool(double done)> checkPoint;
};

// The transform sizes and the memory the pass needs.
struct FourierPlan {
    int32_t columns = 0;  // padded width: a multiple of 4 with no prime factor above 5
    int32_t rows = 0;     // padded height: no prime factor above 5
    size_t bytes = 0;     // working memory at its peak
    double operations = 0;  // about how many butterfly operations, for comparing costs
};

FourierPlan PlanFourier(int32_t width, int32_t height, const LineLayout* lines, int lineCount);

// Whether the kernel's weights suit a transform: every one finite and of
// ordinary size (weights from parameters far outside their ranges do not).
bool KernelSuitsFourier(const LineLayout* lines, int lineCount);

// Renders the pass: accumulates by transform and composites into the plane.
// False when the check point stopped it (the plane may then be partly
// composited); throws std::bad_alloc when memory runs out before the plane
// was touched.
bool StampAndCompositeByFourier(const FourierJob& job, const FourierPlan& plan);

// The smallest n >= minimum (and >= 4) with no prime factor above 5 and, when
// multipleOfFour is set, divisible by 4.
int32_t SmoothSize(int64_t minimum, bool multipleOfFour);
