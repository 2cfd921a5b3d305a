#include "render/reference_render.h"

#include <algorithm>

#include "render/accum_grid.h"
#include "render/progress_counter.h"
#include "render/ray_list.h"
#include "render/star_pattern.h"
#include "render/trace_ray.h"

RenderStatus RenderStarsReference(const StarSettings& settings, WorkPlaneSet* planes, RenderChecks* checks) {
    const FilterParameters& parameters = settings.parameters;
    const int32_t width = settings.width, height = settings.height;
    const double gain = BrightnessGain(parameters);
    const double level = ThresholdLevel(parameters);
    const double baseAngle = double(parameters.angle);

    AccumGrid* grid = NewAccumGrid(height, width);
    if (!grid) return RenderStatus::OutOfMemory;
    RayList* lists[kMaxStarLines] = {};
    ProfileTable* table = nullptr;
    RenderStatus status = RenderStatus::Done;
    for (RayList*& list : lists) {
        list = NewRayList(kRayListCapacity);
        if (!list) status = RenderStatus::OutOfMemory;
    }

    ProgressCounter progress(checks, settings);
    if (status == RenderStatus::Done && checks->Aborted()) status = RenderStatus::Cancelled;

    const int passCount = RenderedPlaneCount(settings.hostPlanes);
    const TestedValue tested(planes->planes, settings.hostPlanes, parameters.thresholdType);

    for (int pass = 0; status == RenderStatus::Done && pass < passCount; ++pass) {
        if (!checks->BeginPass(pass)) {
            status = RenderStatus::Cancelled;
            break;
        }
        float* plane = planes->planes[pass];
        ClearAccumGrid(grid);
        table = NewPassProfile(parameters, pass, width, height, settings.scale);
        if (!table) {
            status = RenderStatus::OutOfMemory;
            break;
        }
        if (checks->Aborted()) {
            status = RenderStatus::Cancelled;
            break;
        }
        double angles[kMaxStarLines];
        const int lineCount = StarLines(parameters.lineType, baseAngle, angles);
        for (int n = 0; n < lineCount && status == RenderStatus::Done; ++n)
            if (!TraceRay(lists[n], width, height, angles[n], table)) status = RenderStatus::OutOfMemory;
        if (status != RenderStatus::Done) break;

        // Stamp sweep: every highlight adds its lines to the grid.
        progress.StartSweep(2 * pass);
        for (int32_t j = 0; j < height && status == RenderStatus::Done; ++j) {
            if (j % kCheckPointRows == 0 && progress.CheckPoint()) {
                status = RenderStatus::Cancelled;
                break;
            }
            const size_t rowStart = size_t(j) * size_t(width);
            for (int32_t l = 0; l < width; ++l) {
                const size_t at = rowStart + size_t(l);
                if (!(tested.At(plane, at) >= level)) continue;  // a value that is not a number never qualifies
                const double value = double(plane[at]);
                for (int n = 0; n < lineCount; ++n) StampRays(grid, width, height, l, j, value, lists[n]);
            }
        }
        if (status != RenderStatus::Done) break;

        // Composite sweep: screen-blend the streak light into the plane.
        progress.StartSweep(2 * pass + 1);
        for (int32_t k = 0; k < height; ++k) {
            if (k % kCheckPointRows == 0 && progress.CheckPoint()) {
                status = RenderStatus::Cancelled;
                break;
            }
            const double* gridRow = grid->rows[k];
            float* planeRow = plane + size_t(k) * size_t(width);
            for (int32_t l = 0; l < width; ++l) planeRow[l] = ScreenBlend(gain, gridRow[l], planeRow[l]);
        }
        if (status != RenderStatus::Done) break;
        checks->EndPass(pass);
        FreeProfileTable(table);
        table = nullptr;
        for (RayList* list : lists) ClearRayList(list);
        progress.StartSweep(2 * pass + 2);
    }

    if (status == RenderStatus::Done && !progress.Finish()) status = RenderStatus::Cancelled;
    FreeProfileTable(table);
    for (RayList* list : lists) FreeRayList(list);
    FreeAccumGrid(grid);
    return status;
}
