// Exact parallel stamping. Worker threads each own a band of accumulator rows
// (an accumulator of the band's size, so the whole image's never exists); each
// walks every source that can reach its band in raster order and, for each of
// the star's lines in order, adds the part of the line that falls in the
// band, then hands the band's light on to be blended. A cell receives at most one addition per source and line (two
// points of one line never share a cell, and the source's own cell is no
// point of its lines), so every cell receives the same additions in the same
// order as in the reference render, and the sums are bit-identical.
#pragma once

#include <cstdint>
#include <functional>

#include "render/line_layout.h"
#include "render/star_sources.h"

constexpr int kBandSlots = 2;

struct StampJob {
    int32_t width;
    int32_t height;
    const PassSources* sources;
    const LineLayout* lines;
    int lineCount;
    int workers;
    int32_t bandRows;  // rows per band; every band is one item of work
    // Band accumulators, kBandSlots for each worker: workers x kBandSlots x
    // bandRows x width doubles, all 0; finishBand leaves them 0 again.
    double* bandMemory;
    // Runs on a worker thread when the band of rows [first, last) is complete,
    // with its light (last - first rows of width doubles); it must take the
    // light out and leave the cells 0.
    std::function<void(int32_t first, int32_t last, double* light)> finishBand;
    // Runs on the calling thread while the workers stamp, with the share of
    // the bands finished; false stops the stamping.
    std::function<bool(double done)> checkPoint;
};

// Adds every source's lines, band by band, and hands each band to finishBand.
// False when the check point stopped it (a band that was stopped part way is
// not handed on, and its accumulator is left with light in it).
bool StampBands(const StampJob& job);

// Rows per band for about `pointsPerBand` additions each, at least `minimumBands`
// bands (so that the workers share the load), at most one band per row.
int32_t BandRowsFor(int64_t estimatedPoints, int32_t height, int64_t pointsPerBand, int minimumBands);
