#include "render/streak_profile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/allocation.h"

namespace {
double Finite(double term) { return std::isfinite(term) ? term : 0.0; }
}  // namespace

double StreakProfile(double d, double a0, double e0, double a1, double e1, double a2, double e2, double amp,
                     double o) {
    if (d == 0.0) return 1.0;
    const double d2 = d * d;
    const double h0 = a0 > 0 ? Finite(std::exp(-d2 / e0) * a0) : 0.0;
    const double h1 = a1 > 0 ? Finite(std::exp(-d2 / e1) * a1) : 0.0;
    double sp = 0.0;
    if (a2 > 0) {
        const double phase = (d / amp) * o;
        sp = Finite(std::sin(phase * phase) * std::exp(-d2 / e2) * a2);
    }
    return (sp + h1) + h0;
}

ProfileTable* NewProfileTable(int32_t width, int32_t height, double scale, double a0, double e0, double a1,
                              double e1, double a2, double e2, double amp, double o) {
    if (scale == 0.0) scale = 1.0;
    const int64_t count = 4 * int64_t(std::max(std::max(width, height), 0));
    if (count > INT32_MAX) return nullptr;
    auto* table = static_cast<ProfileTable*>(AllocateBytes(sizeof(ProfileTable)));
    if (!table) return nullptr;
    table->count = int32_t(count);
    table->values = static_cast<double*>(AllocateBytes(size_t(count ? count : 1) * sizeof(double)));
    if (!table->values) {
        FreeBytes(table);
        return nullptr;
    }
    const double r = 1.0 / scale;
    for (int32_t i = 0; i < table->count; ++i)
        table->values[i] = StreakProfile(double(i / kProfileSamplesPerPixel) * r, a0, e0, a1, e1, a2, e2, amp, o);
    return table;
}

void FreeProfileTable(ProfileTable* table) {
    if (!table) return;
    FreeBytes(table->values);
    FreeBytes(table);
}
