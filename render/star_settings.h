// Everything a render reads besides the planes, as plain values taken once
// when the render starts: a dialog that edits the live parameter block while
// the render pumps its messages cannot change a render under way.
#pragma once

#include <cstdint>

#include "core/filter_parameters.h"

struct StarSettings {
    FilterParameters parameters;
    int32_t width = 0;           // the working rectangle, in working pixels
    int32_t height = 0;
    int hostPlanes = 0;          // the host's plane count, transparency included
    double scale = 1.0;          // the proxy scale: 1.0, 0.5 or 0.25
    bool reportProgress = true;  // report progress through the checks
};

enum class RenderStatus {
    Done,
    OutOfMemory,
    Cancelled,
    Invalid,  // the image views handed over do not describe an image the render takes
};
