#include "cli/filter_run.h"

#include <utility>

#include "interface/result_codes.h"
#include "runner/recorded_parameters.h"
#include "runner/sample_scale.h"

namespace {

HostImage Shaped(const ImageFile& file) {
    HostImage image;
    image.width = file.width;
    image.height = file.height;
    image.depth = file.depth;
    image.colorPlanes = file.channels >= 3 ? 3 : 1;
    image.hasTransparency = file.HasAlpha();
    return image;
}

}  // namespace

OSErr ApplyFilter(PluginEntry entry, const FilterParameters& parameters, ImageFile* image,
                  const FilterRunHooks& hooks) {
    FilterHostSettings settings;
    settings.playInfo = plugInDialogDontDisplay;
    settings.onAbort = hooks.cancelled;
    settings.onProgress = hooks.progress;
    settings.shareImageMemory = true;
    // The plug-in writes only after its whole render has succeeded, so filtering
    // in place loses nothing and saves a copy of the image.
    settings.filterInPlace = true;

    HostImage input = Shaped(*image);
    const bool sixteen = image->depth == 16;
    if (sixteen) {
        input = MakeHostImage(input.width, input.height, 16, input.colorPlanes, input.hasTransparency);
        const auto* file = reinterpret_cast<const uint16_t*>(image->pixels.Data());
        for (size_t i = 0; i < image->SampleCount(); ++i) input.SetSample(i, FileToHostSample16(file[i]));
    } else {
        // Eight-bit file values are the host's values: the host works on the file's memory.
        input.pixels = std::move(image->pixels);
    }
    FilterHost host(std::move(input), settings);
    host.SetScriptValues(RecordedParameters(parameters));
    const RunOutcome outcome = host.Run(entry, false);
    // The host's image is the result (after a failure, whatever the plug-in left
    // in it: the plug-in writes nothing unless its render succeeded).
    HostImage& result = host.MutableImage();
    if (!sixteen) {
        image->pixels = std::move(result.pixels);
        return outcome.result;
    }
    if (outcome.result != noErr) return outcome.result;
    // Two 16-bit file values share each interface value: a sample the filter
    // left as it was keeps its exact file value (the transparency plane, and
    // every pixel no streak reached).
    auto* file = reinterpret_cast<uint16_t*>(image->pixels.Data());
    for (size_t i = 0; i < image->SampleCount(); ++i)
        if (result.Sample(i) != FileToHostSample16(file[i])) file[i] = HostToFileSample16(result.Sample(i));
    return noErr;
}
