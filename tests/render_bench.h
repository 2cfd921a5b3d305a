// A minimal host for calling the renderer and the filter pass directly: a
// FilterRecord with a parameter block, counting abort and progress callbacks.
#pragma once

#include <functional>
#include <vector>

#include "core/parameter_table.h"
#include "core/work_planes.h"
#include "host_services/filter_globals.h"
#include "render/render_stars.h"

struct RenderBench {
    FilterRecord record{};
    FilterParameters parameters{};
    char* master = nullptr;
    int16_t result = 0;
    FilterGlobals globals{};
    std::vector<std::vector<float>> planeData;
    WorkPlaneSet planes{};
    RenderOptions options{RenderPath::Reference, 0};

    // Host callbacks: the progress calls seen, and an abort decision per call.
    static std::vector<std::pair<int32_t, int32_t>> progress;
    static int abortCalls;
    static std::function<bool(int)> abortWhen;  // given the number of the abort call, from 1

    RenderBench(int hostPlanes, int32_t width, int32_t height);
    float& At(int plane, int32_t row, int32_t column) {
        return planeData[size_t(plane)][size_t(row) * size_t(width) + size_t(column)];
    }
    // Renders the planes as the filter pass does: the parameter block copied,
    // the host's callbacks as the checks, the result code set on failure.
    void Render(double scale = 1.0);

    int32_t width, height;
};
