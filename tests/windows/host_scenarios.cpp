// Runs a fixed set of filter runs through the runner and writes their results,
// so that the plug-in loaded from Glyra.8bf in a Windows host and the plug-in
// linked into the native build can be compared byte for byte.
//
//   host_scenarios [--plugin FILE] [--as EXECUTABLE_PATH] [--profile NAME] OUTPUT_FOLDER
//
// On Windows --plugin names the .8bf to load (its entry point is found through
// its property list) and the host's own file name decides the host kind.
// Natively the plug-in is linked in and --as plays the executable's name.
// --profile plays a real host's habits (photoshop, pspihost, affinity, ...).
// Every handle proc refuses and counts a handle the host did not make; any such
// call makes the program fail.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/emulated_host/recorded_parameters.h"
#include "interface/result_codes.h"
#include "tests/emulated_host/plugin_library.h"
#include "tests/test_host.h"
#include "tests/host_profiles.h"

#if !defined(_WIN32)
#include "plugin/dll_main.h"
#include "plugin/plugin_main.h"
#include "tests/emulated_system/platform_testing.h"
#endif

namespace {

HostImage Scene(int32_t width, int32_t height, int depth, int colorPlanes, bool transparency) {
    HostImage image = MakeHostImage(width, height, depth, colorPlanes, transparency);
    const uint32_t full = image.FullScale();
    uint32_t seed = 12345u + uint32_t(depth * 7 + colorPlanes * 3 + (transparency ? 1 : 0));
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) & 0xFFFF;
    };
    for (int32_t r = 0; r < height; ++r)
        for (int32_t c = 0; c < width; ++c) {
            for (int p = 0; p < colorPlanes; ++p)
                image.Set(r, c, p, uint16_t(full * uint32_t((r * 3 + c * 2 + p * 40) % 160) / 255u));
            if (transparency) image.Set(r, c, colorPlanes, uint16_t(full * uint32_t((r * 7 + c) % 256) / 255u));
        }
    // Highlights: some at full scale, some just under and over the scripted threshold.
    for (int i = 0; i < 14; ++i) {
        const int32_t r = int32_t(next() % uint32_t(height)), c = int32_t(next() % uint32_t(width));
        for (int p = 0; p < colorPlanes; ++p)
            image.Set(r, c, p, uint16_t(i % 3 == 0 ? full : full * (228u + next() % 28u) / 255u));
    }
    return image;
}

std::vector<ScriptValue> Recorded() {
    return RecordedParameters(FilterParameters{70, 230, 1, 30, 4, 80, 9, 40, 4, 60, 20, 30, 45});
}

std::string ProfileKey(const char* name) {
    std::string key;
    for (const char* c = name; *c; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c))) key += char(std::tolower(static_cast<unsigned char>(*c)));
    return key;
}

struct Output {
    std::string folder;
    std::ofstream summary;
    size_t foreignHandleCalls = 0;

    void Save(const std::string& name, TestHost& host, const HostImage& input, const RunOutcome& outcome) {
        const HostImage& image = host.Image();
        size_t changed = 0;
        for (size_t i = 0; i < image.SampleCount(); ++i) changed += image.Sample(i) != input.Sample(i);
        std::ofstream raw(folder + "/" + name + ".raw", std::ios::binary);
        for (uint16_t sample : image.Samples()) {
            const unsigned char bytes[2] = {uint8_t(sample), uint8_t(sample >> 8)};
            raw.write(reinterpret_cast<const char*>(bytes), 2);
        }
        foreignHandleCalls += host.ForeignHandleCalls().size();
        for (const std::string& proc : host.ForeignHandleCalls())
            std::fprintf(stderr, "host_scenarios: %s: the host's %s was given a handle it did not make\n", name.c_str(),
                         proc.c_str());
        summary << name << " result " << outcome.result << " finished " << outcome.finished << " wholeSize "
                << host.Record().wholeSize.v << "x" << host.Record().wholeSize.h << " recorded "
                << host.ScriptValues().size() << " samples " << image.SampleCount() << " changed " << changed
                << "\n";
    }
};

}  // namespace

int main(int argc, char** argv) {
    std::string pluginPath, playedExecutable, folder, profileName = "photoshop";
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--plugin" && i + 1 < argc)
            pluginPath = argv[++i];
        else if (argument == "--as" && i + 1 < argc)
            playedExecutable = argv[++i];
        else if (argument == "--profile" && i + 1 < argc)
            profileName = argv[++i];
        else
            folder = argument;
    }
    if (folder.empty()) {
        std::fprintf(stderr, "usage: host_scenarios [--plugin FILE] [--as EXECUTABLE_PATH] [--profile NAME] OUTPUT_FOLDER\n");
        return 2;
    }
    const HostProfileInfo* profile = nullptr;
    for (const HostProfileInfo& info : HostProfiles())
        if (ProfileKey(info.name) == profileName) profile = &info;
    if (!profile) {
        std::fprintf(stderr, "host_scenarios: no host profile '%s'\n", profileName.c_str());
        return 2;
    }
    // The profile's habits, with the scenario's own choices on top. The dialog
    // is left to its own test: these runs skip Parameters.
    auto hostSettings = [profile](bool descriptors) {
        HostSettings settings = ProfileSettings(profile->profile);
        settings.offerDescriptors = settings.offerDescriptors && descriptors;
        settings.ownerWindow = 0;
        return settings;
    };

    PluginEntry entry = nullptr;
#if defined(_WIN32)
    PluginLibrary library;
    std::string error;
    if (!LoadPluginLibrary(pluginPath.empty() ? "Glyra.8bf" : pluginPath, &library, &error)) {
        std::fprintf(stderr, "host_scenarios: %s\n", error.c_str());
        return 1;
    }
    entry = library.entry;
#else
    if (!playedExecutable.empty()) PlatformSetExecutablePath(playedExecutable);
    DLLMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
    entry = &PluginMain;
#endif

    Output out{folder, std::ofstream(folder + "/summary.txt")};
    for (int depth : {8, 16})
        for (int colorPlanes : {1, 3})
            for (bool transparency : {false, true})
                for (bool scripted : {false, true}) {
                    HostSettings settings = hostSettings(scripted);
                    const HostImage input = Scene(53, 37, depth, colorPlanes, transparency);
                    TestHost host(input, settings);
                    if (scripted) host.SetScriptValues(Recorded());
                    const RunOutcome outcome = host.Run(entry, false);
                    out.Save("d" + std::to_string(depth) + "-c" + std::to_string(colorPlanes) +
                                 (transparency ? "-alpha" : "") + (scripted ? "-scripted" : "-defaults"),
                             host, input, outcome);
                }

    // A host that hands over reduced copies of a frame (After Effects' previews
    // scale the streaks by the width), and one whose whole size the plug-in
    // overwrites with the image size (Premiere).
    for (int32_t width : {160, 80, 40, 160}) {
        HostSettings settings = hostSettings(false);
        const HostImage input = Scene(width, 24, 8, 3, false);
        TestHost host(input, settings);
        const RunOutcome outcome = host.Run(entry, false);
        out.Save("proxy-" + std::to_string(width), host, input, outcome);
    }
    HostSettings premiere = hostSettings(false);
    premiere.setWholeSize = true;
    premiere.wholeSize = Point{1000, 2000};
    const HostImage input = Scene(20, 10, 8, 1, false);
    TestHost host(input, premiere);
    const RunOutcome outcome = host.Run(entry, false);
    out.Save("whole-size", host, input, outcome);

    // Two runs in one host, as a user repeats a filter: scripted, then again
    // with whatever the host kept of the parameters.
    {
        const HostImage scene = Scene(64, 48, 8, 3, false);
        TestHost repeated(scene, hostSettings(true));
        repeated.SetScriptValues(Recorded());
        out.Save("repeat-first", repeated, scene, repeated.Run(entry, false));
        repeated.MutableImage() = scene;
        out.Save("repeat-second", repeated, scene, repeated.Run(entry, false));
    }
    out.summary << "foreign-handle-calls " << out.foreignHandleCalls << "\n";
    out.summary.close();
    return out.summary && out.foreignHandleCalls == 0 ? 0 : 1;
}
