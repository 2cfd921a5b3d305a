// The star render: finds the highlights of each colour plane, stamps their
// star lines into an accumulator weighted by the streak profile, and
// screen-blends the accumulator into the plane, in place. The entry point
// chooses how: the reference path, or a faster one that gives the same output.
#pragma once

#include <cstddef>

#include "core/work_planes.h"
#include "render/render_checks.h"
#include "render/star_settings.h"

enum class RenderPath {
    Auto,       // the fastest path that fits, pass by pass
    Reference,  // one source at a time on the calling thread
};

struct RenderOptions {
    RenderPath path = RenderPath::Auto;
    int threads = 0;  // worker threads; 0 follows the machine
};

// Renders into the colour planes of a settings.width x settings.height working
// rectangle. Checks are called on the calling thread only.
RenderStatus RenderStars(const StarSettings& settings, WorkPlaneSet* planes, RenderChecks* checks,
                         const RenderOptions& options);
