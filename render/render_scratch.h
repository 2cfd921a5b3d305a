// Memory a render may keep for the next render of the same size. A host that
// renders frame after frame (a video filter) then neither allocates the
// accumulator again nor has the system fault in and zero its pages per frame.
// One render at a time uses a scratch.
#pragma once

#include <cstdint>

#include "render/accum_grid.h"

struct RenderScratch {
    AccumGrid* grid = nullptr;
    bool gridClear = false;  // every cell of the grid is 0

    RenderScratch() = default;
    RenderScratch(const RenderScratch&) = delete;
    RenderScratch& operator=(const RenderScratch&) = delete;
    ~RenderScratch() { FreeAccumGrid(grid); }
};

// The scratch's grid for a rows x columns render, zeroed: the one kept when
// it has that size, a new one otherwise. Null when memory runs out.
AccumGrid* ClearGridFor(RenderScratch* scratch, int32_t rows, int32_t columns, int workers);
