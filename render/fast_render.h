// The fast render: the same passes as the reference, each done by whichever
// path costs less. Exact banded stamping on worker threads gives the
// reference's sums bit for bit; where nearly every pixel is a highlight, the
// Fourier path computes the accumulator by convolution. Both skip the
// negligible tails of the lines. Check points run on the calling thread at
// least every few tens of milliseconds, and progress rises to the
// reference's total.
#pragma once

#include "render/render_stars.h"

RenderStatus RenderStarsFast(const StarSettings& settings, WorkPlaneSet* planes, RenderChecks* checks,
                             const RenderOptions& options, RenderReport* report);
