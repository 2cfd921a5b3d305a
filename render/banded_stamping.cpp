#include "render/banded_stamping.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <vector>

#include "core/parallel_work.h"

namespace {

// The points of a line whose row offset lies in [low, high) and whose column
// offset lies in [left, right), as one range of indices. The lookups are
// skipped where the whole line lies inside a bound, as it mostly does.
inline IndexRange PointsWithin(const LineLayout& line, int32_t low, int32_t high, int32_t left, int32_t right) {
    if (line.dyMin >= high || line.dyMax < low || line.dxMin >= right || line.dxMax < left) return {};
    IndexRange range{1, line.count};
    if (line.dyMin < low || line.dyMax >= high) range = line.RowsIn(low, high);
    if (line.dxMin < left || line.dxMax >= right) {
        const IndexRange columns = line.ColumnsIn(left, right);
        range.begin = std::max(range.begin, columns.begin);
        range.end = std::min(range.end, columns.end);
    }
    return range;
}

// One line of one source within a band whose first row is `firstRow`: the
// points whose cells fall in rows [firstRow, lastRow) and columns [0, width),
// forward then backward. `band` holds the band's rows.
inline void StampLine(double* band, int32_t width, const LineLayout& line, int32_t row, int32_t column,
                      double value, int32_t firstRow, int32_t lastRow) {
    const double* weight = line.weight.data();
    const int64_t* offsets = line.offset.data();
    const int64_t center = int64_t(row - firstRow) * width + column;  // may lie outside the band
    // Forward: row + dy in [firstRow, lastRow), column + dx in [0, width).
    IndexRange range = PointsWithin(line, firstRow - row, lastRow - row, -column, width - column);
    for (int32_t s = range.begin; s < range.end; ++s) band[center + offsets[s]] += value * weight[s];
    // Backward: row - dy in [firstRow, lastRow), column - dx in [0, width).
    range = PointsWithin(line, row - lastRow + 1, row - firstRow + 1, column - width + 1, column + 1);
    for (int32_t s = range.begin; s < range.end; ++s) band[center - offsets[s]] += value * weight[s];
}

// How far any kept point of the star reaches up or down.
int32_t RowReach(const LineLayout* lines, int lineCount) {
    int32_t reach = 0;
    for (int n = 0; n < lineCount; ++n) reach = std::max({reach, -lines[n].dyMin, lines[n].dyMax});
    return reach;
}

// Adds the part of the sources' lines that falls in rows [firstRow, lastRow)
// to the band's accumulator; false when `stop` was set part way.
bool StampBand(const StampJob& job, double* band, int32_t firstRow, int32_t lastRow, const std::atomic<bool>& stop) {
    const int32_t reach = RowReach(job.lines, job.lineCount);
    const int32_t fromRow = std::max(0, firstRow - reach), toRow = std::min(job.height, lastRow + reach);
    const PassSources& sources = *job.sources;
    int64_t sinceLook = 0;
    for (int32_t row = fromRow; row < toRow; ++row) {
        const bool ownRow = row >= firstRow && row < lastRow;
        for (int64_t i = sources.rowStart[size_t(row)], end = sources.rowStart[size_t(row) + 1]; i < end; ++i) {
            if (++sinceLook == 256) {
                sinceLook = 0;
                if (stop.load(std::memory_order_relaxed)) return false;
            }
            const int32_t column = sources.column[size_t(i)];
            const double value = sources.value[size_t(i)];
            for (int n = 0; n < job.lineCount; ++n) {
                if (ownRow) band[int64_t(row - firstRow) * job.width + column] += value;
                StampLine(band, job.width, job.lines[n], row, column, value, firstRow, lastRow);
            }
        }
    }
    return !stop.load(std::memory_order_relaxed);
}

}  // namespace

bool StampBands(const StampJob& job) {
    const int32_t bandRows = std::max(job.bandRows, 1);
    ParallelJob parallel;
    parallel.items = (int64_t(job.height) + bandRows - 1) / bandRows;
    parallel.workers = job.workers;
    // Each worker alternates between its two accumulators (stamping straight
    // into the one it has just blended and cleared was measured a quarter
    // slower); only that worker touches its count.
    std::vector<int> bandsDone(size_t(std::max(job.workers, 1)), 0);
    parallel.work = [&job, bandRows, &bandsDone](int64_t item, int worker, const std::atomic<bool>& stop) {
        const int32_t first = int32_t(item * bandRows), last = std::min(job.height, first + bandRows);
        const size_t slot = size_t(worker) * kBandSlots + size_t(bandsDone[size_t(worker)]++ % kBandSlots);
        double* band = job.bandMemory + slot * size_t(bandRows) * size_t(job.width);
        if (StampBand(job, band, first, last, stop)) job.finishBand(first, last, band);
    };
    parallel.checkPoint = job.checkPoint;
    return RunParallel(parallel);
}

int32_t BandRowsFor(int64_t estimatedPoints, int32_t height, int64_t pointsPerBand, int minimumBands) {
    if (height <= 0) return 1;
    int64_t bands = pointsPerBand > 0 ? estimatedPoints / pointsPerBand : height;
    bands = std::clamp<int64_t>(bands, std::max(minimumBands, 1), height);
    return int32_t((height + bands - 1) / bands);
}
