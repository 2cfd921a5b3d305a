// Renders an 8-bit image file through the plug-in, exactly as a host runs a
// recorded action: the emulated host hands PluginMain the image, the values
// travel in a scripting descriptor, the dialog is not shown. The main job
// uses it to show the plug-in's result beside the command's.
//
//   plugin_render [--preset FILE] INPUT OUTPUT
#include <cstdio>
#include <string>

#include "cli/image_file.h"
#include "cli/preset_file.h"
#include "core/parameter_table.h"
#include "interface/result_codes.h"
#include "plugin/dll_main.h"
#include "tests/emulated_host/recorded_parameters.h"
#include "tests/test_support.h"

int main(int argc, char** argv) {
    std::string preset, input, output;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--preset" && i + 1 < argc)
            preset = argv[++i];
        else if (input.empty())
            input = argument;
        else
            output = argument;
    }
    if (input.empty() || output.empty()) {
        std::fprintf(stderr, "usage: plugin_render [--preset FILE] INPUT OUTPUT\n");
        return 2;
    }
    std::string error;
    if (!StartImageLibrary(argv[0], &error)) {
        std::fprintf(stderr, "plugin_render: %s\n", error.c_str());
        return 1;
    }
    FilterParameters parameters;
    SetDefaultParameters(&parameters);
    bool named[kParameterCount] = {};
    if (!preset.empty() && !ReadPreset(preset, &parameters, named, &error)) {
        std::fprintf(stderr, "plugin_render: %s\n", error.c_str());
        return 2;
    }
    ImageFile file;
    Failure failure;
    if (!ReadImage(input, ReadOptions{}, &file, &failure)) {
        std::fprintf(stderr, "plugin_render: %s\n", failure.message.c_str());
        return 1;
    }
    if (file.depth != 8) {
        std::fprintf(stderr, "plugin_render: %s: 8-bit images only\n", input.c_str());
        return 2;
    }
    DLLMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
    HostImage image = MakeHostImage(file.width, file.height, 8, file.channels >= 3 ? 3 : 1, file.HasAlpha());
    for (size_t i = 0; i < file.SampleCount(); ++i) image.SetSample(i, file.Sample(i));
    TestHost host(std::move(image), HostSettings{});
    host.SetScriptValues(RecordedParameters(parameters));
    const OSErr result = host.Run(Plugin(), false).result;
    if (result != noErr) {
        std::fprintf(stderr, "plugin_render: the plug-in answered %d\n", int(result));
        return 1;
    }
    for (size_t i = 0; i < file.SampleCount(); ++i) file.SetSample(i, host.Image().Sample(i));
    WriteOptions writing;
    writing.format = ImageFormat::Png;
    if (!WriteImage(output, file, writing, &failure)) {
        std::fprintf(stderr, "plugin_render: %s\n", failure.message.c_str());
        return 1;
    }
    StopImageLibrary();
    return 0;
}
