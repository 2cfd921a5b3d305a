#include "render/star_pattern.h"

#include <algorithm>

#include "core/work_planes.h"

namespace {

// Phase factor of the spectral term for a colour pass.
double Dephasing(int pass, int16_t spDephase) {
    const double dephase = double(spDephase);
    switch (pass) {
        case 0: return 1.0;
        case 1: return 1 + 0.01 * dephase;
        case 2: return 1 + 0.02 * dephase;
        default: return 1 + 0.01 * pass * dephase;  // planes beyond RGB: the same progression
    }
}

double Cube(int16_t extent) {
    const double e = double(extent);
    return e * e * e;
}

}  // namespace

int StarLines(int16_t lineType, double base, double angles[kMaxStarLines]) {
    switch (lineType) {
        case 1: angles[0] = base; return 1;
        case 2: angles[0] = base; angles[1] = base + 90; return 2;
        case 3: angles[0] = base; angles[1] = base + 60; angles[2] = base - 60; return 3;
        case 4:
            angles[0] = base; angles[1] = base + 45; angles[2] = base + 90; angles[3] = base + 135;
            return 4;
        default: return 0;
    }
}

int RenderedPlaneCount(int hostPlanes) {
    if (hostPlanes <= 0) return 0;
    if (hostPlanes == 2) return 1;
    if (hostPlanes == 4) return 3;
    return std::min(hostPlanes, kWorkPlaneSlots);
}

ProfileTable* NewPassProfile(const FilterParameters& p, int pass, int32_t width, int32_t height, double scale) {
    return NewProfileTable(width, height, scale, double(p.h0Density) * 0.005, Cube(p.h0Extent),
                           double(p.h1Density) * 0.005, Cube(p.h1Extent), double(p.spDensity) * 0.005,
                           Cube(p.spExtent), double(p.spAmplitude), Dephasing(pass, p.spDephase));
}
