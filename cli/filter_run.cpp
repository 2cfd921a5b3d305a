#include "cli/filter_run.h"

#include "runner/recorded_parameters.h"
#include "interface/result_codes.h"
#include "runner/sample_scale.h"

HostImage HostImageFromFile(const ImageFile& file) {
    HostImage image = MakeHostImage(file.width, file.height, file.depth, file.channels >= 3 ? 3 : 1, file.HasAlpha());
    for (size_t i = 0; i < file.samples.size(); ++i)
        image.SetSample(i, file.depth == 16 ? FileToHostSample16(file.samples[i]) : file.samples[i]);
    return image;
}

ImageFile FileFromHostImage(const HostImage& image) {
    ImageFile file;
    file.width = image.width;
    file.height = image.height;
    file.depth = image.depth;
    file.channels = image.SamplesPerPixel();
    file.samples.resize(image.SampleCount());
    for (size_t i = 0; i < image.SampleCount(); ++i)
        file.samples[i] = image.depth == 16 ? HostToFileSample16(image.Sample(i)) : image.Sample(i);
    return file;
}

OSErr ApplyFilter(PluginEntry entry, const FilterParameters& parameters, ImageFile* image,
                  const FilterRunHooks& hooks) {
    HostSettings settings;
    settings.playInfo = plugInDialogDontDisplay;
    settings.onAbort = hooks.cancelled;
    settings.onProgress = hooks.progress;
    const HostImage input = HostImageFromFile(*image);
    TestHost host(input, settings);

    host.SetScriptValues(RecordedParameters(parameters));
    const RunOutcome outcome = host.Run(entry, false);
    if (outcome.result != noErr) return outcome.result;
    // Two 16-bit file values share each interface value: a sample the filter
    // left as it was keeps its exact file value (the transparency plane, and
    // every pixel no streak reached).
    const HostImage& filtered = host.Image();
    for (size_t i = 0; i < filtered.SampleCount(); ++i)
        if (filtered.Sample(i) != input.Sample(i))
            image->samples[i] = image->depth == 16 ? HostToFileSample16(filtered.Sample(i)) : filtered.Sample(i);
    return noErr;
}
