// The reference render: the star render as first written, one source at a
// time on the calling thread. Every faster path is measured and tested
// against it, so its result and its check points never change.
#pragma once

#include "core/work_planes.h"
#include "render/render_checks.h"
#include "render/star_settings.h"

// Renders the colour planes in place. Check points: one abort test after the
// allocations and after each pass's profile, a full check point (stop, abort,
// progress) at every tenth row of each pass's stamp and composite sweeps, and
// a final one that reports (total, total).
RenderStatus RenderStarsReference(const StarSettings& settings, WorkPlaneSet* planes, RenderChecks* checks);
