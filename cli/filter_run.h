// Applying the filter to an image file's pixels, in place, at the file's own
// precision: 8-bit samples as 0..255, 16-bit as the whole 0..65535.
#pragma once

#include <functional>

#include "cli/image_file.h"
#include "core/filter_parameters.h"
#include "render/image_operation.h"

struct FilterRunHooks {
    std::function<bool()> cancelled;                  // polled between pieces of work
    std::function<void(int32_t, int32_t)> progress;   // done of total
};

// Filters the image in place and reports how. The planes go back one at a
// time as they are finished, so that no copy of the image is held; after a
// failure (report.status other than Done) the image is not to be used.
ImageReport ApplyFilter(const FilterParameters& parameters, const RenderOptions& options, ImageFile* image,
                        const FilterRunHooks& hooks);
