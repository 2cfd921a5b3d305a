#include "render/star_sources.h"

#include <algorithm>
#include <cstring>

#include "core/parallel_work.h"
#include "core/vector_clones.h"

namespace {

constexpr int32_t kRowsPerItem = 64;

// Runs rows(first, last) over blocks of rows of the scan.
bool OverRows(const SourceScan& scan, const std::function<void(int32_t first, int32_t last)>& rows) {
    return RunOverRows(scan.height, kRowsPerItem, scan.workers, scan.checkPoint, rows);
}

bool Source(const SourceScan& scan, size_t at, double* value) {
    return IsSource(scan.plane, scan.tested, scan.level, at, value);
}

struct RowCount {
    int64_t sources = 0;
    double largest = 0.0;
};

// The sources among elements [start, end), as IsSource finds them, and their
// largest value. Without branches and with the tested value's kind fixed, so
// that it becomes vector code. The largest value is kept as the bits of the
// float: positive floats order as their bit patterns do, and an integer
// maximum is vector code where a floating-point one is not.
template <typename TestedAt>
GLYRA_VECTOR_CLONES RowCount CountRow(const SourceScan& scan, size_t start, size_t end, TestedAt testedAt) {
    const float* plane = scan.plane;
    const double level = scan.level;
    int32_t sources = 0;  // a row holds at most 2^31 - 1 elements
    int32_t largestBits = 0;
    for (size_t at = start; at < end; ++at) {
        const float value = plane[at];
        const bool source = testedAt(at) >= level && value > 0;
        int32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        sources += source ? 1 : 0;
        largestBits = std::max(largestBits, source ? bits : 0);
    }
    float largest;
    std::memcpy(&largest, &largestBits, sizeof largest);
    return RowCount{sources, double(largest)};
}

}  // namespace

bool CountSources(const SourceScan& scan, PassSources* sources) {
    sources->rowStart.assign(size_t(scan.height) + 1, 0);
    sources->column.clear();
    sources->value.clear();
    std::vector<double> largestOf(size_t(scan.height), 0.0);
    const bool done = OverRows(scan, [&](int32_t first, int32_t last) {
        for (int32_t row = first; row < last; ++row) {
            const size_t start = size_t(row) * size_t(scan.width), end = start + size_t(scan.width);
            const TestedValue& tested = scan.tested;
            RowCount count;
            switch (tested.KindOf()) {
                case TestedValue::Kind::Own:
                    count = CountRow(scan, start, end, [&](size_t at) { return double(scan.plane[at]); });
                    break;
                case TestedValue::Kind::Average:
                    count = CountRow(scan, start, end, [&](size_t at) { return tested.AverageAt(at); });
                    break;
                case TestedValue::Kind::Weighted:
                    count = CountRow(scan, start, end, [&](size_t at) { return tested.WeightedAt(at); });
                    break;
            }
            sources->rowStart[size_t(row) + 1] = count.sources;
            largestOf[size_t(row)] = count.largest;
        }
    });
    if (!done) return false;
    sources->largest = 0.0;
    for (int32_t row = 0; row < scan.height; ++row) {
        sources->rowStart[size_t(row) + 1] += sources->rowStart[size_t(row)];
        sources->largest = std::max(sources->largest, largestOf[size_t(row)]);
    }
    return true;
}

bool CollectSources(const SourceScan& scan, PassSources* sources) {
    const int64_t total = sources->Count();
    sources->column.resize(size_t(total));
    sources->value.resize(size_t(total));
    return OverRows(scan, [&](int32_t first, int32_t last) {
        for (int32_t row = first; row < last; ++row) {
            int64_t at = sources->rowStart[size_t(row)];
            if (at == sources->rowStart[size_t(row) + 1]) continue;
            const size_t start = size_t(row) * size_t(scan.width);
            for (int32_t column = 0; column < scan.width; ++column) {
                double value;
                if (!Source(scan, start + size_t(column), &value)) continue;
                sources->column[size_t(at)] = column;
                sources->value[size_t(at)] = value;
                ++at;
            }
        }
    });
}
