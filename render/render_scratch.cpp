#include "render/render_scratch.h"

#include <cstring>

#include "core/allocation.h"

RenderScratch::~RenderScratch() { FreeBytes(bands); }

double* ClearBandsFor(RenderScratch* scratch, size_t elements) {
    if (scratch->bands && scratch->bandElements < elements) {
        FreeBytes(scratch->bands);
        scratch->bands = nullptr;
    }
    if (!scratch->bands) {
        scratch->bands = static_cast<double*>(AllocateZeroedBytes(elements ? elements : 1, sizeof(double)));
        if (!scratch->bands) return nullptr;
        scratch->bandElements = elements;
        scratch->bandsClear = true;
    }
    if (!scratch->bandsClear) {
        // Left with light by a render that stopped part way.
        std::memset(scratch->bands, 0, scratch->bandElements * sizeof(double));
        scratch->bandsClear = true;
    }
    return scratch->bands;
}
