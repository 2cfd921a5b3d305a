#include "render/star_sources.h"

#include <algorithm>

#include "core/parallel_work.h"

namespace {

constexpr int32_t kRowsPerItem = 64;

// A job over blocks of rows of the scan.
ParallelJob RowBlockJob(const SourceScan& scan, std::function<void(int32_t first, int32_t last)> rows) {
    ParallelJob job;
    job.items = (int64_t(scan.height) + kRowsPerItem - 1) / kRowsPerItem;
    job.workers = scan.workers;
    const int32_t height = scan.height;
    job.work = [rows, height](int64_t block, int, const std::atomic<bool>&) {
        const int32_t first = int32_t(block * kRowsPerItem);
        rows(first, std::min(height, first + kRowsPerItem));
    };
    job.checkPoint = scan.checkPoint;
    return job;
}

bool Source(const SourceScan& scan, size_t at, double* value) {
    return IsSource(scan.plane, scan.tested, scan.level, at, value);
}

}  // namespace

bool CountSources(const SourceScan& scan, int64_t* count, double* largest) {
    std::vector<int64_t> counts(size_t(scan.height), 0);
    std::vector<double> largestOf(size_t(scan.height), 0.0);
    const bool done = RunParallel(RowBlockJob(scan, [&](int32_t first, int32_t last) {
        for (int32_t row = first; row < last; ++row) {
            int64_t n = 0;
            double top = 0.0;
            const size_t start = size_t(row) * size_t(scan.width);
            for (size_t at = start, end = start + size_t(scan.width); at < end; ++at) {
                double value;
                if (!Source(scan, at, &value)) continue;
                ++n;
                top = std::max(top, value);
            }
            counts[size_t(row)] = n;
            largestOf[size_t(row)] = top;
        }
    }));
    *count = 0;
    *largest = 0.0;
    for (int32_t row = 0; row < scan.height; ++row) {
        *count += counts[size_t(row)];
        *largest = std::max(*largest, largestOf[size_t(row)]);
    }
    return done;
}

bool CollectSources(const SourceScan& scan, PassSources* sources) {
    // First the count of every row, then each row's sources at their place.
    sources->rowStart.assign(size_t(scan.height) + 1, 0);
    const bool counted = RunParallel(RowBlockJob(scan, [&](int32_t first, int32_t last) {
        for (int32_t row = first; row < last; ++row) {
            int64_t n = 0;
            const size_t start = size_t(row) * size_t(scan.width);
            for (size_t at = start, end = start + size_t(scan.width); at < end; ++at) {
                double value;
                n += Source(scan, at, &value);
            }
            sources->rowStart[size_t(row) + 1] = n;
        }
    }));
    if (!counted) return false;
    for (int32_t row = 0; row < scan.height; ++row)
        sources->rowStart[size_t(row) + 1] += sources->rowStart[size_t(row)];
    const int64_t total = sources->rowStart.back();
    sources->column.resize(size_t(total));
    sources->value.resize(size_t(total));
    std::vector<double> largestOf(size_t(scan.height), 0.0);
    const bool filled = RunParallel(RowBlockJob(scan, [&](int32_t first, int32_t last) {
        for (int32_t row = first; row < last; ++row) {
            int64_t at = sources->rowStart[size_t(row)];
            const size_t start = size_t(row) * size_t(scan.width);
            double top = 0.0;
            for (int32_t column = 0; column < scan.width; ++column) {
                double value;
                if (!Source(scan, start + size_t(column), &value)) continue;
                sources->column[size_t(at)] = column;
                sources->value[size_t(at)] = value;
                top = std::max(top, value);
                ++at;
            }
            largestOf[size_t(row)] = top;
        }
    }));
    sources->largest = 0.0;
    for (double top : largestOf) sources->largest = std::max(sources->largest, top);
    return filled;
}
