// One star line laid out for the fast paths: its points as offsets and
// weights, cut at the negligible tail, with the tables that turn "the points
// whose row (or column) lies in this range" into a range of point indices.
//
// Along a traced line both coordinates are monotone in the point index: the
// major one grows by one per step, the minor one moves by at most one, always
// the same way. So the points whose row offset lies in [a, b) are one
// contiguous run of indices, found by two table lookups instead of a test per
// point.
#pragma once

#include <cstdint>
#include <vector>

#include "render/ray_list.h"

struct IndexRange {
    int32_t begin = 0;
    int32_t end = 0;  // exclusive
    bool Empty() const { return end <= begin; }
};

struct LineLayout {
    // Points 1 .. count - 1 of the traced list (point 0 is the source itself);
    // index 0 of each array is unused.
    int32_t count = 0;
    std::vector<int32_t> dx;
    std::vector<int32_t> dy;
    std::vector<double> weight;
    std::vector<int64_t> offset;  // dy x width + dx: the point's distance from its source in grid elements

    // The points whose row offset dy lies in [low, high), and those whose
    // column offset lies in [low, high).
    IndexRange RowsIn(int32_t low, int32_t high) const { return Lookup(rowTable_, low, high); }
    IndexRange ColumnsIn(int32_t low, int32_t high) const { return Lookup(columnTable_, low, high); }

    int32_t dyMin = 0, dyMax = 0;  // over the kept points, 0 included
    int32_t dxMin = 0, dxMax = 0;

    // For each offset value v from `first`, the first point index whose offset
    // has passed v (in the direction the line runs).
    struct OffsetTable {
        int32_t first = 0;        // smallest offset value covered
        int32_t direction = 1;    // +1 when offsets grow with the index, -1 when they shrink
        std::vector<int32_t> start;  // start[v - first]: first index at or past v
    };

private:
    static IndexRange Lookup(const OffsetTable& table, int32_t low, int32_t high);
    OffsetTable rowTable_, columnTable_;
    friend bool LayOutLine(const RayList* list, int32_t kept, int32_t width, LineLayout* layout);
};

// Lays out points 1 .. kept - 1 of a traced list for a grid `width` elements
// wide. False when the offsets are not monotone (never for a traced line).
// Throws std::bad_alloc when memory runs out.
bool LayOutLine(const RayList* list, int32_t kept, int32_t width, LineLayout* layout);
