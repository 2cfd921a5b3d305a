// The float planes of one filter pass: one plane per host plane, row-major over
// the pass rectangle, 1.0 meaning full scale (255 at 8 bits, 32768 at 16 bits).
#pragma once

constexpr int kWorkPlaneSlots = 8;

typedef float* WorkPlane;

struct WorkPlaneSet {
    WorkPlane planes[kWorkPlaneSlots];  // slots past the host's plane count are null
};
