// Memory a render may keep for the next render. A host that renders frame
// after frame (a video filter) then neither allocates the bands' accumulators
// again nor has the system fault in and zero their pages per frame. One
// render at a time uses a scratch.
#pragma once

#include <cstddef>

struct RenderScratch {
    double* bands = nullptr;  // the worker threads' band accumulators
    size_t bandElements = 0;
    bool bandsClear = false;  // every cell of them is 0

    RenderScratch() = default;
    RenderScratch(const RenderScratch&) = delete;
    RenderScratch& operator=(const RenderScratch&) = delete;
    ~RenderScratch();
};

// At least `elements` doubles of band accumulator, all 0: the kept ones when
// they are large enough, new ones otherwise. Null when memory runs out.
double* ClearBandsFor(RenderScratch* scratch, size_t elements);
