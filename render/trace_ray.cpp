#include "render/trace_ray.h"

#include <cmath>
#include <cstdlib>

#include "core/sample_math.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Degrees to radians, in the form every angle of the line walk uses.
double Radians(double degrees) { return kPi / (180.0 / degrees); }

int32_t Nearest(double m) { return int32_t(RoundHalfAwayFromZero(m)); }

// Weight at a distance along the line: the table value at the whole pixel
// below it, blended in the form the table's paired samples allow.
double WeightAt(double dist, const ProfileTable* table) {
    const int64_t k = int64_t(dist);
    const int64_t at = kProfileSamplesPerPixel * k;
    if (k < 0 || at + 1 >= table->count) return 0.0;
    const double f = dist - std::floor(dist);
    return (1 - f) * table->values[at + 1] + f * table->values[at];
}

}  // namespace

double NormaliseLineAngle(double angle) {
    if (!std::isfinite(angle)) return 0.0;
    double theta = std::fmod(angle, 180.0);
    if (theta > 90) theta -= 180;
    if (theta <= -90) theta += 180;
    return theta;
}

bool TraceRay(RayList* list, int32_t width, int32_t height, double angle, const ProfileTable* table) {
    const double theta = NormaliseLineAngle(angle);
    const double a = std::fabs(theta);
    double g = 0.0;
    if (theta != 0 && theta != 90) g = a <= 45 ? std::tan(Radians(a)) : std::tan(Radians(90 - a));
    const bool shallow = theta >= -45 && theta <= 45;
    // Distance of a point along the ideal line, from its major coordinate.
    const double along = theta == 0 ? 1.0 : shallow ? std::cos(Radians(a)) : std::sin(Radians(a));

    int32_t x = 0, y = 0;
    double m = 0.0;
    double w = 1.0;
    if (std::abs(x) >= width) return true;
    for (;;) {
        if (std::abs(y) >= height) break;
        if (!AppendRayPoint(list, x, y, w)) return false;
        const double dist = shallow ? (theta == 0 ? double(x) : x / along) : y / along;
        w = WeightAt(dist, table);
        int32_t& major = shallow ? x : y;
        int32_t& minor = shallow ? y : x;
        ++major;
        if (theta > 0) {
            m += g;
            if (Nearest(m) > minor) ++minor;
        } else {
            m -= g;
            if (Nearest(m) < minor) --minor;
        }
        if (std::abs(x) >= width) break;
    }
    return true;
}
