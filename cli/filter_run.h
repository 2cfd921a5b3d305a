// Applying the filter to an image file's pixels through the runner, exactly as
// a host replays a recorded action: the thirteen values travel in a scripting
// descriptor and the plug-in's dialog is not shown.
#pragma once

#include <functional>

#include "cli/image_file.h"
#include "core/filter_parameters.h"
#include "runner/filter_host.h"

struct FilterRunHooks {
    std::function<bool()> cancelled;                  // polled through the host's abortProc
    std::function<void(int32_t, int32_t)> progress;   // the host's progressProc
};

// Filters the image in place; 16-bit samples are mapped from the file's
// 0..65535 to the interface's 0..32768 and back, and samples the filter did
// not change keep their exact file values. The host works on the file's own
// memory (8-bit) or one converted copy (16-bit), and the plug-in writes its
// result where it reads. Returns the host's result code (noErr on success);
// after a failure the image is not to be used.
OSErr ApplyFilter(PluginEntry entry, const FilterParameters& parameters, ImageFile* image,
                  const FilterRunHooks& hooks);
