// The streak profile: how bright a star streak is at a given distance from the
// highlight that emits it, sampled once per colour pass into a table.
#pragma once

#include <cstdint>

// Profile at distance d: exactly 1.0 at d = 0, else the sum of the spectral
// term and two Gaussian highlight terms. A term that is not a finite number
// (from values no dialog would allow, such as an amplitude of 0) adds no light.
double StreakProfile(double d, double a0, double e0, double a1, double e1, double a2, double e2, double amp,
                     double o);

// Samples per whole working pixel of distance: samples 2k and 2k + 1 both
// hold the profile at k pixels.
constexpr int32_t kProfileSamplesPerPixel = 2;

struct ProfileTable {
    double* values;  // count samples
    int32_t count;   // 4 * max(width, height)
};

// Samples 2k and 2k + 1 hold the profile at k working pixels, read at the
// full-resolution distance k / scale (a scale of 0 counts as 1). Returns null
// when the table cannot be allocated.
ProfileTable* NewProfileTable(int32_t width, int32_t height, double scale, double a0, double e0, double a1,
                              double e1, double a2, double e2, double amp, double o);
void FreeProfileTable(ProfileTable* table);
