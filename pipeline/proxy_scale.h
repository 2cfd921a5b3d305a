// After Effects renders previews on reduced copies of a frame; the scale says
// how much to shorten the streaks so that they keep their length in the image.
#pragma once

#include <cstdint>

#include "host/filter_globals.h"

// The widest whole-image width seen in this process, taken as full resolution.
extern int32_t fullWidthReference;

// 1.0, 0.5 or 0.25, from the whole image's width against the reference.
double ProxyScale(FilterGlobals* globals);
