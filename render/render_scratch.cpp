#include "render/render_scratch.h"

#include <algorithm>
#include <cstring>

#include "core/parallel_work.h"

AccumGrid* ClearGridFor(RenderScratch* scratch, int32_t rows, int32_t columns, int workers) {
    AccumGrid*& grid = scratch->grid;
    if (grid && (grid->rowCount != rows || grid->columnCount != columns)) {
        FreeAccumGrid(grid);
        grid = nullptr;
    }
    if (!grid) {
        // A new grid comes zeroed (calloc's fresh pages), so nothing to clear.
        if (!(grid = NewAccumGrid(rows, columns))) return nullptr;
        scratch->gridClear = true;
    }
    if (!scratch->gridClear) {
        // Left with light by a render that stopped part way.
        constexpr int64_t kRowsPerItem = 16;
        ParallelJob clear;
        clear.items = (rows + kRowsPerItem - 1) / kRowsPerItem;
        clear.workers = workers;
        clear.work = [grid, rows, columns](int64_t item, int, const std::atomic<bool>&) {
            const int64_t first = item * kRowsPerItem, last = std::min<int64_t>(rows, first + kRowsPerItem);
            std::memset(grid->block + first * columns, 0, size_t(last - first) * size_t(columns) * sizeof(double));
        };
        RunParallel(clear);
        scratch->gridClear = true;
    }
    return grid;
}
