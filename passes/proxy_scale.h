// After Effects renders previews on reduced copies of a frame; the scale says
// how much to shorten the streaks so that they keep their length in the image.
#pragma once

#include <cstdint>

// The width taken as the full resolution: the first width seen, replaced by
// any later width that is neither a quarter nor a half of it.
struct FullWidthReference {
    int32_t width = 0;
};

// 1.0, 0.5 or 0.25 for the whole image's width against the reference, which
// follows the widths as described above.
double ProxyScale(int32_t wholeWidth, FullWidthReference* reference);
