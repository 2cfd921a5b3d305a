// The highlights of one colour pass, in raster order: every pixel whose tested
// value reaches the threshold and whose own sample is above 0 (a source of 0
// or less adds no light).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "render/star_pattern.h"

struct PassSources {
    std::vector<int64_t> rowStart;  // sources of row j: [rowStart[j], rowStart[j + 1])
    std::vector<int32_t> column;
    std::vector<double> value;
    double largest = 0.0;           // the largest value, 0 without sources

    int64_t Count() const { return rowStart.empty() ? 0 : rowStart.back(); }
};

// Where a pass's highlights are looked for, and by how many workers; the
// check point runs on the calling thread while they look (false stops).
struct SourceScan {
    const float* plane;
    TestedValue tested;
    double level;
    int32_t width;
    int32_t height;
    int workers;
    std::function<bool(double done)> checkPoint;
};

// Counts the sources of a pass, row by row (rowStart), and finds their
// largest value, without keeping them. False when the check point stopped the
// count; throws std::bad_alloc when the row counts cannot be had.
bool CountSources(const SourceScan& scan, PassSources* sources);

// Collects the sources CountSources counted into their places. False when the
// check point stopped it; throws std::bad_alloc when the list cannot be had.
bool CollectSources(const SourceScan& scan, PassSources* sources);

// Whether the pixel at `at` is a source, and its value.
inline bool IsSource(const float* plane, const TestedValue& tested, double level, size_t at, double* value) {
    if (!(tested.At(plane, at) >= level)) return false;  // a value that is not a number never qualifies
    *value = double(plane[at]);
    return *value > 0;
}
