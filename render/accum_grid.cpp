#include "render/accum_grid.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/allocation.h"
#include "core/checked_size.h"

AccumGrid* NewAccumGrid(int32_t rows, int32_t columns) {
    size_t elements = 0, blockBytes = 0, rowBytes = 0;
    AccumGrid* grid = nullptr;
    if (rows >= 0 && columns >= 0 && CheckedMultiply(size_t(rows), size_t(columns), &elements) &&
        CheckedMultiply(elements, sizeof(double), &blockBytes) &&
        CheckedMultiply(size_t(rows), sizeof(double*), &rowBytes))
        grid = static_cast<AccumGrid*>(AllocateZeroedBytes(1, sizeof(AccumGrid)));
    if (grid) {
        grid->rows = static_cast<double**>(AllocateBytes(rowBytes ? rowBytes : 1));
        grid->block = grid->rows ? static_cast<double*>(AllocateZeroedBytes(1, blockBytes ? blockBytes : 1)) : nullptr;
    }
    if (!grid || !grid->block) {
        std::fputs("Allocation Failure!\n", stderr);
        FreeAccumGrid(grid);
        return nullptr;
    }
    grid->rowCount = rows;
    grid->columnCount = columns;
    for (int32_t r = 0; r < rows; ++r) grid->rows[r] = grid->block + size_t(r) * size_t(columns);
    return grid;
}

void FreeAccumGrid(AccumGrid* grid) {
    if (!grid) return;
    FreeBytes(grid->block);
    FreeBytes(grid->rows);
    FreeBytes(grid);
}

void ClearAccumGrid(AccumGrid* grid) {
    const size_t elements = size_t(grid->rowCount) * size_t(grid->columnCount);
    std::memset(grid->block, 0, elements * sizeof(double));
}

void StampRays(AccumGrid* grid, int32_t width, int32_t height, int32_t column, int32_t row, double value,
               const RayList* list) {
    if (!(value > 0)) return;
    double** rows = grid->rows;
    rows[row][column] += value;
    for (int32_t s = 1; s <= list->last; ++s) {
        const RayPoint& p = list->points[s];
        const double c = value * p.weight;
        const int32_t forwardColumn = column + p.dx, forwardRow = row + p.dy;
        if (forwardColumn >= 0 && forwardColumn < width && forwardRow >= 0 && forwardRow < height)
            rows[forwardRow][forwardColumn] += c;
        const int32_t backColumn = column - p.dx, backRow = row - p.dy;
        if (backColumn >= 0 && backColumn < width && backRow >= 0 && backRow < height)
            rows[backRow][backColumn] += c;
    }
}
