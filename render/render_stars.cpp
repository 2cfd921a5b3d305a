#include "render/render_stars.h"

#include "render/reference_render.h"

RenderStatus RenderStars(const StarSettings& settings, WorkPlaneSet* planes, RenderChecks* checks,
                         const RenderOptions& options) {
    (void)options;
    return RenderStarsReference(settings, planes, checks);
}
