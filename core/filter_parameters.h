// The thirteen user-settable values of the star effect, as the host stores
// them between runs: thirteen signed 16-bit values in this order, native byte
// order, 26 bytes with no header. Hosts that animate filter parameters address
// the fields by position, so the order never changes.
#pragma once

#include <cstdint>

struct FilterParameters {
    int16_t brightness;
    int16_t threshold;
    int16_t thresholdType;
    int16_t angle;
    int16_t lineType;
    int16_t h0Density;
    int16_t h0Extent;
    int16_t h1Density;
    int16_t h1Extent;
    int16_t spDensity;
    int16_t spExtent;
    int16_t spAmplitude;
    int16_t spDephase;
};
static_assert(sizeof(FilterParameters) == 26, "the stored parameter block is 26 bytes");

enum ThresholdType : int16_t {
    Plain = 0,
    Average = 1,
    WeightedAverage = 2,
};

constexpr int kParameterCount = 13;
