// Exact parallel stamping. Worker threads each own a band of accumulator rows;
// each walks every source that can reach its band in raster order and, for
// each of the star's lines in order, adds the part of the line that falls in
// the band. A cell receives at most one addition per source and line (two
// points of one line never share a cell, and the source's own cell is no
// point of its lines), so every cell receives the same additions in the same
// order as in the reference render, and the sums are bit-identical.
#pragma once

#include <cstdint>
#include <functional>

#include "render/line_layout.h"
#include "render/star_sources.h"

struct StampJob {
    double* grid;  // height rows of width doubles
    int32_t width;
    int32_t height;
    const PassSources* sources;
    const LineLayout* lines;
    int lineCount;
    int workers;
    int32_t bandRows;  // rows per band; every band is one item of work
    // Runs on the calling thread while the workers stamp, with the share of
    // the bands finished; false stops the stamping.
    std::function<bool(double done)> checkPoint;
};

// Adds every source's lines into the grid (which the caller has zeroed).
// False when the check point stopped it.
bool StampBands(const StampJob& job);

// Rows per band for about `pointsPerBand` additions each, at least `minimumBands`
// bands (so that the workers share the load), at most one band per row.
int32_t BandRowsFor(int64_t estimatedPoints, int32_t height, int64_t pointsPerBand, int minimumBands);
