// Negligible tails: how far along a star line the light still matters.
//
// A line's points run out to the edge of the working rectangle, but with the
// usual extents their weights fall to 1e-30 and below long before. The fast
// paths stop each line at a cut and skip the points beyond it. The bound:
// for one line and one point index s, exactly one source position reaches a
// given cell through point s forward and one through point s backward, so
// the light skipped at any cell is at most
//     2 x (largest source value) x sum over lines of (sum of |weight| beyond the cut).
// Each line's cut is placed so that this stays below kSkippedLightBound / gain.
// The composite multiplies light by the gain, and a change of d in the
// blended value (1 - v) s + v is at most d x gain for samples up to 2.0; the
// bound, 2^-81, is below half the spacing of doubles at every blended value
// above 2^-28 and a billion times below the spacing of 16-bit exports, so the
// skipped light changes an exported sample only where the reference's own
// value sits within 2^-81 of a rounding edge.
#pragma once

#include <cstdint>

#include "render/ray_list.h"

constexpr double kSkippedLightBound = 0x1p-81;

// The number of points of a traced line to keep (point 0, the source, is
// always kept): the smallest count whose skipped tail, the sum of |weight|
// over the points at or beyond it, is at most `tailBudget`. A weight that is
// not a finite number is never skipped, nor is anything before it.
int32_t KeptPointCount(const RayList* list, double tailBudget);

// The tail budget of each line for a star of `lines` lines, sources up to
// `largestValue` and the composite's `gain`.
double LineTailBudget(int lines, double largestValue, double gain);
