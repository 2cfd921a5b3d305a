// What every render path derives from the parameters in the same way: the
// lines of a star, the colour passes, each pass's streak profile and the value
// a pixel is tested with.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/filter_parameters.h"
#include "core/sample_math.h"
#include "render/streak_profile.h"

constexpr int kMaxStarLines = 4;

// The line angles of a star in degrees, from the base angle; none for an
// unknown line type. Returns the number of lines.
int StarLines(int16_t lineType, double baseAngle, double angles[kMaxStarLines]);

// Number of colour passes for a host plane count: the transparency plane of a
// gray (2 planes) or RGB (4 planes) image is never rendered, and at most the
// eight slots of a plane set are.
int RenderedPlaneCount(int hostPlanes);

// The streak profile of colour pass `pass`, sampled for a width x height
// working rectangle. Null when it cannot be allocated.
ProfileTable* NewPassProfile(const FilterParameters& parameters, int pass, int32_t width, int32_t height,
                             double scale);

// The 8-bit threshold on the 0..1 scale of the planes.
inline double ThresholdLevel(const FilterParameters& parameters) { return double(parameters.threshold) * kOneOver255; }

// The value compared with the threshold at element `at`: with three or more
// host planes the average or weighted average of planes 0 to 2 as they stand,
// otherwise (and for any other type) the sample of the pass's own plane.
struct TestedValue {
    const float* red;
    const float* green;
    const float* blue;
    int16_t thresholdType;
    bool averaged;

    TestedValue(float* const planes[], int hostPlanes, int16_t type)
        : red(planes[0]), green(hostPlanes >= 3 ? planes[1] : nullptr), blue(hostPlanes >= 3 ? planes[2] : nullptr),
          thresholdType(type), averaged(hostPlanes >= 3) {}

    enum class Kind { Own, Average, Weighted };
    Kind KindOf() const {
        if (averaged && thresholdType == Average) return Kind::Average;
        if (averaged && thresholdType == WeightedAverage) return Kind::Weighted;
        return Kind::Own;
    }
    double AverageAt(size_t at) const {
        return ((double(blue[at]) + double(green[at])) + double(red[at])) * 0.3333333333333333;
    }
    double WeightedAt(size_t at) const {
        return (double(green[at]) * 0.587 + double(blue[at]) * 0.114) + double(red[at]) * 0.299;
    }
    double At(const float* own, size_t at) const {
        switch (KindOf()) {
            case Kind::Average: return AverageAt(at);
            case Kind::Weighted: return WeightedAt(at);
            case Kind::Own: break;
        }
        return double(own[at]);
    }
};

// The screen blend of the composite: the accumulated light v = gain x light,
// clamped to 0..1 (light that is not a number adds nothing), blended into s.
// Written as selects, so that loops over it become vector code.
inline float ScreenBlend(double gain, double light, float sample) {
    double v = gain * light;
    v = v > 1 ? 1 : v;
    v = v >= 0 ? v : 0;  // also a value that is not a number
    const double s = double(sample);
    return float((1 - v) * s + v);
}

inline double BrightnessGain(const FilterParameters& parameters) { return double(parameters.brightness) * 0.02; }
