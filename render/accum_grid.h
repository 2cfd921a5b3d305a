// The per-pass accumulator of streak light, and the stamping of one source's
// line into it.
#pragma once

#include <cstdint>

#include "render/ray_list.h"

struct AccumGrid {
    double** rows;  // rows[r] points at element r * columns of the block
    double* block;  // rows * columns doubles
    int32_t rowCount;
    int32_t columnCount;
};

// A zeroed grid. Returns null, after writing "Allocation Failure!\n" to the standard error
// stream, when the grid cannot be had (or its size cannot be expressed).
AccumGrid* NewAccumGrid(int32_t rows, int32_t columns);
void FreeAccumGrid(AccumGrid* grid);
void ClearAccumGrid(AccumGrid* grid);

// Adds one source's line to the grid: the source itself, then each point of
// the list in both directions, scaled by the source's value. Points outside
// the width x height rectangle are skipped; a value of 0 or less adds nothing.
void StampRays(AccumGrid* grid, int32_t width, int32_t height, int32_t column, int32_t row, double value,
               const RayList* list);
