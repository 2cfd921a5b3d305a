// Applying the filter to an image file's pixels through the runner, exactly as
// a host replays a recorded action: the thirteen values travel in a scripting
// descriptor and the plug-in's dialog is not shown.
#pragma once

#include <functional>
#include <string>

#include "cli/image_file.h"
#include "core/filter_parameters.h"
#include "runner/test_host.h"

struct FilterRunHooks {
    std::function<bool()> cancelled;                  // polled through the host's abortProc
    std::function<void(int32_t, int32_t)> progress;   // the host's progressProc
};

// The host image for a file's pixels: 16-bit samples mapped from 0..65535 to
// 0..32768, the alpha channel as the transparency plane.
HostImage HostImageFromFile(const ImageFile& file);
// And back, into the file's own shape.
ImageFile FileFromHostImage(const HostImage& image);

// Filters the image in place; samples the filter did not change keep their
// exact file values. Returns the host's result code (noErr on success).
OSErr ApplyFilter(PluginEntry entry, const FilterParameters& parameters, ImageFile* image,
                  const FilterRunHooks& hooks);
