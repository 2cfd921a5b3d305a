#include "render/render_stars.h"

#include "render/fast_render.h"
#include "render/reference_render.h"
#include "render/star_pattern.h"

RenderStatus RenderStars(const StarSettings& settings, WorkPlaneSet* planes, RenderChecks* checks,
                         const RenderOptions& options, RenderReport* report) {
    RenderReport ignored;
    if (!report) report = &ignored;
    *report = RenderReport{};
    if (options.path == RenderPath::Reference) {
        report->passes = RenderedPlaneCount(settings.hostPlanes);
        for (int pass = 0; pass < report->passes; ++pass) report->methods[pass] = PassMethod::Reference;
        return RenderStarsReference(settings, planes, checks);
    }
    return RenderStarsFast(settings, planes, checks, options, report);
}
