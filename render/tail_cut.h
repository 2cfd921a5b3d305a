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
// The composite blends v = gain x light into a sample s as (1 - v) s + v,
// which moves by at most |1 - s| x gain x (change of light), so for samples
// up to 2.0 the skipped light moves a blended value by at most 2^-81. That is
// below half the spacing of doubles at every blended value above 2^-28 (there
// the sum rounds to the same double), and some 10^20 times below the spacing
// of the exported 8- or 16-bit values: an exported sample can change only
// where the reference's own value sits within 2^-81 of a rounding edge. The
// tests compare every exported sample with the reference, at and around the cut.
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
