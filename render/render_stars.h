// The star render pass: finds the highlights of each colour plane, stamps
// their star lines into an accumulator weighted by the streak profile, and
// screen-blends the accumulator into the plane, in place.
#pragma once

#include <cstdint>

#include "host/filter_globals.h"
#include "pipeline/work_planes.h"

// Renders into the planes of a width x height working rectangle. Writes the
// result code only on failure: memFullErr when working storage cannot be had,
// userCanceledErr when the host or the dialog stops the render.
void RenderStars(FilterGlobals* globals, int32_t width, int32_t height, bool reportProgress, double scale,
                 WorkPlaneSet* planes);

// Number of colour passes for a host plane count: the transparency plane of a
// gray (2 planes) or RGB (4 planes) image is never rendered, and at most the
// eight slots of a plane set are.
int RenderedPlaneCount(int hostPlanes);
