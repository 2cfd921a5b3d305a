#include "render/line_layout.h"

#include <algorithm>

namespace {

// Builds the table of a monotone offset sequence d[1 .. count - 1]; false when
// the sequence is not monotone.
bool BuildTable(const std::vector<int32_t>& d, int32_t count, LineLayout::OffsetTable* table) {
    table->start.clear();
    if (count <= 1) return true;
    table->direction = d[size_t(count - 1)] < d[1] ? -1 : 1;
    const int32_t direction = table->direction;
    auto e = [&](int32_t s) { return direction * d[size_t(s)]; };
    for (int32_t s = 2; s < count; ++s)
        if (e(s) < e(s - 1)) return false;
    const int32_t low = e(1), high = e(count - 1);
    table->first = low;
    table->start.resize(size_t(high - low) + 2);
    int32_t s = 1;
    for (int32_t v = low; v <= high + 1; ++v) {
        while (s < count && e(s) < v) ++s;
        table->start[size_t(v - low)] = s;
    }
    return true;
}

}  // namespace

IndexRange LineLayout::Lookup(const OffsetTable& table, int32_t low, int32_t high) {
    if (table.start.empty()) return {};
    if (table.direction < 0) {
        // d in [low, high) is -d in [1 - high, 1 - low).
        const int32_t flipped = 1 - high;
        high = 1 - low;
        low = flipped;
    }
    const int32_t last = table.first + int32_t(table.start.size()) - 1;
    auto at = [&](int32_t v) { return table.start[size_t(std::clamp(v, table.first, last) - table.first)]; };
    return IndexRange{at(low), at(high)};
}

bool LayOutLine(const RayList* list, int32_t kept, int32_t width, LineLayout* layout) {
    const int32_t count = std::min(kept, list->last + 1);
    layout->count = std::max(count, 1);
    layout->dx.assign(size_t(layout->count), 0);
    layout->dy.assign(size_t(layout->count), 0);
    layout->weight.assign(size_t(layout->count), 0.0);
    layout->offset.assign(size_t(layout->count), 0);
    layout->dxMin = layout->dxMax = layout->dyMin = layout->dyMax = 0;
    for (int32_t s = 1; s < count; ++s) {
        const RayPoint& p = list->points[s];
        layout->dx[size_t(s)] = p.dx;
        layout->dy[size_t(s)] = p.dy;
        layout->weight[size_t(s)] = p.weight;
        layout->offset[size_t(s)] = int64_t(p.dy) * width + p.dx;
        layout->dxMin = std::min(layout->dxMin, p.dx);
        layout->dxMax = std::max(layout->dxMax, p.dx);
        layout->dyMin = std::min(layout->dyMin, p.dy);
        layout->dyMax = std::max(layout->dyMax, p.dy);
    }
    return BuildTable(layout->dy, layout->count, &layout->rowTable_) &&
           BuildTable(layout->dx, layout->count, &layout->columnTable_);
}
