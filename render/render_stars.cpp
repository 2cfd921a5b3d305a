#include "render/render_stars.h"

#include <algorithm>

#include "host/parameter_block.h"
#include "interface/result_codes.h"
#include "pipeline/message_pump.h"
#include "render/accum_grid.h"
#include "render/ray_list.h"
#include "render/sample_math.h"
#include "render/streak_profile.h"
#include "render/trace_ray.h"

namespace {

constexpr int kMaxLines = 4;

// The line angles of a star, relative to the base angle; none for an unknown line type.
int StarLines(int16_t lineType, double base, double angles[kMaxLines]) {
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

ProfileTable* NewPassProfile(const FilterParameters& p, int pass, int32_t width, int32_t height, double scale) {
    auto cube = [](int16_t extent) {
        const double e = double(extent);
        return e * e * e;
    };
    return NewProfileTable(width, height, scale, double(p.h0Density) * 0.005, cube(p.h0Extent),
                           double(p.h1Density) * 0.005, cube(p.h1Extent), double(p.spDensity) * 0.005,
                           cube(p.spExtent), double(p.spAmplitude), Dephasing(pass, p.spDephase));
}

// The host's progress and cancellation, skipping callbacks the host left empty.
struct HostChecks {
    FilterRecord* record;
    bool reportProgress;
    int32_t total;
    int32_t counter = 0;

    bool Aborted() const { return record->abortProc && record->abortProc(); }
    void Report(int32_t done) const {
        if (reportProgress && record->progressProc) record->progressProc(done, total);
    }
    // The check point of rows 0, 10, 20, ...: true when the render must stop.
    bool CheckPoint() {
        if (PumpMessages() || Aborted()) return true;
        counter += 10;
        Report(counter);
        return false;
    }
};

}  // namespace

int RenderedPlaneCount(int hostPlanes) {
    if (hostPlanes <= 0) return 0;
    if (hostPlanes == 2) return 1;
    if (hostPlanes == 4) return 3;
    return std::min(hostPlanes, 8);
}

void RenderStars(FilterGlobals* globals, int32_t width, int32_t height, bool reportProgress, double scale,
                 WorkPlaneSet* planes) {
    FilterRecord* record = globals->filterRecord;
    const FilterParameters* parameters = ParameterBlock(record);
    if (!parameters) {
        *globals->result = filterBadParameters;
        return;
    }
    const double gain = double(parameters->brightness) * 0.02;
    const double level = double(parameters->threshold) * kOneOver255;
    const double baseAngle = double(parameters->angle);
    const int hostPlanes = record->planes;

    AccumGrid* grid = NewAccumGrid(height, width);
    if (!grid) {
        *globals->result = memFullErr;
        return;
    }
    RayList* lists[kMaxLines] = {};
    ProfileTable* table = nullptr;
    OSErr failure = noErr;
    for (RayList*& list : lists) {
        list = NewRayList(128);
        if (!list) failure = memFullErr;
    }

    const int64_t total = 2 * int64_t(hostPlanes) * int64_t(height);
    HostChecks checks{record, reportProgress, int32_t(std::clamp<int64_t>(total, INT32_MIN, INT32_MAX))};
    if (failure == noErr && checks.Aborted()) failure = userCanceledErr;

    const int passCount = RenderedPlaneCount(hostPlanes);
    const bool averaged = hostPlanes >= 3;
    const float* red = planes->planes[0];
    const float* green = averaged ? planes->planes[1] : nullptr;
    const float* blue = averaged ? planes->planes[2] : nullptr;

    for (int pass = 0; failure == noErr && pass < passCount; ++pass) {
        float* plane = planes->planes[pass];
        ClearAccumGrid(grid);
        table = NewPassProfile(*parameters, pass, width, height, scale);
        if (!table) {
            failure = memFullErr;
            break;
        }
        if (checks.Aborted()) {
            failure = userCanceledErr;
            break;
        }
        double angles[kMaxLines];
        const int lineCount = StarLines(parameters->lineType, baseAngle, angles);
        for (int n = 0; n < lineCount && failure == noErr; ++n)
            if (!TraceRay(lists[n], width, height, angles[n], table)) failure = memFullErr;
        if (failure != noErr) break;

        // Stamp phase: every highlight adds its lines to the grid.
        const int16_t thresholdType = parameters->thresholdType;
        for (int32_t j = 0; j < height && failure == noErr; ++j) {
            if (j % 10 == 0 && checks.CheckPoint()) {
                failure = userCanceledErr;
                break;
            }
            const size_t rowStart = size_t(j) * size_t(width);
            for (int32_t l = 0; l < width; ++l) {
                const size_t at = rowStart + size_t(l);
                double tested;
                if (averaged && thresholdType == Average)
                    tested = ((double(blue[at]) + double(green[at])) + double(red[at])) * 0.3333333333333333;
                else if (averaged && thresholdType == WeightedAverage)
                    tested = (double(green[at]) * 0.587 + double(blue[at]) * 0.114) + double(red[at]) * 0.299;
                else
                    tested = double(plane[at]);
                if (!(tested >= level)) continue;  // a value that is not a number never qualifies
                const double value = double(plane[at]);
                for (int n = 0; n < lineCount; ++n) StampRays(grid, width, height, l, j, value, lists[n]);
            }
        }
        if (failure != noErr) break;
        checks.counter = int32_t((2 * int64_t(pass) + 1) * height);

        // Composite phase: screen-blend the streak light into the plane.
        for (int32_t k = 0; k < height; ++k) {
            if (k % 10 == 0 && checks.CheckPoint()) {
                failure = userCanceledErr;
                break;
            }
            const double* gridRow = grid->rows[k];
            float* planeRow = plane + size_t(k) * size_t(width);
            for (int32_t l = 0; l < width; ++l) {
                double v = gain * gridRow[l];
                if (v > 1)
                    v = 1;
                else if (!(v >= 0))  // below 0, or light that is not a number: none added
                    v = 0;
                const double s = double(planeRow[l]);
                planeRow[l] = float((1 - v) * s + v);
            }
        }
        if (failure != noErr) break;
        FreeProfileTable(table);
        table = nullptr;
        for (RayList* list : lists) ClearRayList(list);
        checks.counter = int32_t(2 * (int64_t(pass) + 1) * height);
    }

    if (failure == noErr) {
        if (PumpMessages() || checks.Aborted())
            failure = userCanceledErr;
        else
            checks.Report(checks.total);
    }
    if (failure != noErr) *globals->result = failure;
    FreeProfileTable(table);
    for (RayList* list : lists) FreeRayList(list);
    FreeAccumGrid(grid);
}
