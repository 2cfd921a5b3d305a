#include <algorithm>
// The renderer's benchmark: synthetic scenes rendered by the reference path
// and by the fast paths in the same run, each in a child process of its own
// so that its peak memory is its own. Prints one table: times, their ratio,
// the path each pass took, peak memory and how many exported samples differ.
// Times are ratios against the reference measured in this run; the absolute
// seconds depend on the machine.
//
//   glyra_bench            every case (tens of minutes)
//   glyra_bench --quick    the 1-megapixel cases and one 12-megapixel row (under two minutes)
//   glyra_bench TEXT...    the cases whose names hold one of the texts
//   glyra_bench outputs    the output settings' rows; video: the frei0r module's frames per second;
//                          end-to-end: whole 12 MP files against vips and GIMP's Sparkle, and where the time goes
//   --path exact|fourier   measures that path instead of the automatic choice
//   --fast-only            skips the reference and the comparison
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "bench/end_to_end_rows.h"
#include "bench/synthetic_scene.h"
#include "bench/video_rows.h"
#include "cli/image_file.h"
#include "core/parameter_table.h"
#include "core/sample_math.h"
#include "render/render_stars.h"
#include "render/star_pattern.h"

namespace {

struct Case {
    std::string name;
    int32_t width, height;
    int colorPlanes, depth;
    double share;       // pixels that are highlights
    int16_t lineType;   // 2: 4 rays, 4: 8 rays
    bool longest;       // every extent at 100: no tail can be skipped
    int32_t referenceWidth, referenceHeight;  // where the reference is too slow at full size
};

struct Outcome {
    double seconds = 0;
    double peakMegabytes = 0;
    std::string methods;
    bool ok = false;
};

class QuietChecks : public RenderChecks {
public:
    bool StopRequested() override { return false; }
    bool Aborted() override { return false; }
    void Progress(int32_t, int32_t) override {}
};

const char* MethodName(PassMethod method) {
    switch (method) {
        case PassMethod::Reference: return "reference";
        case PassMethod::Skipped: return "none";
        case PassMethod::Banded: return "banded";
        case PassMethod::Serial: return "serial";
        case PassMethod::Fourier: return "fourier";
    }
    return "?";
}

// The fast path the table measures: auto unless --path names another.
RenderPath gFastPath = RenderPath::Auto;
// --fast-only: no reference run and no comparison (for tuning the fast paths).
bool gFastOnly = false;

double PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

double ResidentMegabytes() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Renders the case at the given size in a child process; its exported samples
// go to `exportPath` when one is given.
Outcome RenderInChild(const Case& c, int32_t width, int32_t height, RenderPath path, const std::string& exportPath) {
    int channel[2];
    if (pipe(channel) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        SceneShape shape{width, height, c.colorPlanes, c.depth, c.share, 7};
        std::vector<std::vector<float>> planes = MakeScenePlanes(shape);
        WorkPlaneSet set{};
        for (size_t p = 0; p < planes.size(); ++p) set.planes[p] = planes[p].data();
        StarSettings settings;
        SetDefaultParameters(&settings.parameters);
        settings.parameters.lineType = c.lineType;
        if (c.longest) {
            settings.parameters.h0Extent = settings.parameters.h1Extent = settings.parameters.spExtent = 100;
        }
        settings.width = width;
        settings.height = height;
        settings.hostPlanes = c.colorPlanes;
        QuietChecks checks;
        RenderOptions options;
        options.path = path;
        RenderReport report;
        const double before = ResidentMegabytes();
        const auto start = std::chrono::steady_clock::now();
        const RenderStatus status = RenderStars(settings, &set, &checks, options, &report);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        Outcome outcome;
        outcome.seconds = seconds;
        outcome.peakMegabytes = PeakMegabytes() - before;
        outcome.ok = status == RenderStatus::Done;
        std::string methods;
        for (int pass = 0; pass < report.passes; ++pass) {
            if (pass > 0 && report.methods[pass] == report.methods[pass - 1]) continue;
            if (!methods.empty()) methods += "+";
            methods += MethodName(report.methods[pass]);
        }
        if (!exportPath.empty()) {
            std::ofstream out(exportPath, std::ios::binary);
            for (const auto& plane : planes)
                for (float v : plane) {
                    const uint16_t sample = c.depth == 16 ? ExportSample16(v) : ExportSample8(v);
                    out.write(reinterpret_cast<const char*>(&sample), 2);
                }
        }
        const std::string line = std::to_string(outcome.seconds) + " " + std::to_string(outcome.peakMegabytes) + " " +
                                 (outcome.ok ? "1 " : "0 ") + methods + "\n";
        (void)!write(channel[1], line.data(), line.size());
        _exit(0);
    }
    close(channel[1]);
    char buffer[256] = {0};
    size_t got = 0;
    ssize_t n;
    while ((n = read(channel[0], buffer + got, sizeof buffer - 1 - got)) > 0) got += size_t(n);
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    Outcome outcome;
    char methods[128] = {0};
    int ok = 0;
    if (std::sscanf(buffer, "%lf %lf %d %127s", &outcome.seconds, &outcome.peakMegabytes, &ok, methods) >= 3) {
        outcome.ok = ok == 1;
        outcome.methods = methods;
    }
    return outcome;
}

// Samples that differ between two export files, and the largest difference.
void CompareExports(const std::string& a, const std::string& b, int64_t* differing, int* largest, int64_t* total) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    *differing = 0;
    *largest = 0;
    *total = 0;
    uint16_t p, q;
    while (x.read(reinterpret_cast<char*>(&p), 2) && y.read(reinterpret_cast<char*>(&q), 2)) {
        ++*total;
        if (p != q) {
            ++*differing;
            *largest = std::max(*largest, std::abs(int(p) - int(q)));
        }
    }
}

std::string Megapixels(int32_t width, int32_t height) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f MP", double(width) * height / 1e6);
    if (double(width) * height < 1.5e6) std::snprintf(text, sizeof text, "%.1f MP", double(width) * height / 1e6);
    return text;
}

void RunCase(const Case& c) {
    const std::string folder = "/tmp/glyra-bench-" + std::to_string(getpid());
    mkdir(folder.c_str(), 0700);
    const std::string referenceExport = folder + "/reference.bin", fastExport = folder + "/fast.bin";
    const int32_t rw = c.referenceWidth ? c.referenceWidth : c.width;
    const int32_t rh = c.referenceHeight ? c.referenceHeight : c.height;
    if (gFastOnly) {
        const Outcome fast = RenderInChild(c, c.width, c.height, gFastPath, "");
        std::printf("| %-34s | %9s | %7.2f s | %-14s | %-15s | %7.0f MB | %s |\n", c.name.c_str(), "-", fast.seconds, "-",
                    fast.methods.c_str(), fast.peakMegabytes, "-");
        std::fflush(stdout);
        rmdir(folder.c_str());
        return;
    }
    const Outcome reference = RenderInChild(c, rw, rh, RenderPath::Reference, referenceExport);
    const Outcome fastSame = RenderInChild(c, rw, rh, gFastPath, fastExport);
    int64_t differing = 0, total = 0;
    int largest = 0;
    CompareExports(referenceExport, fastExport, &differing, &largest, &total);
    Outcome fastFull = fastSame;
    const bool scaled = rw != c.width || rh != c.height;
    if (scaled) fastFull = RenderInChild(c, c.width, c.height, gFastPath, "");
    std::remove(referenceExport.c_str());
    std::remove(fastExport.c_str());
    rmdir(folder.c_str());

    char ratio[64];
    std::snprintf(ratio, sizeof ratio, "%.1fx%s", reference.seconds / std::max(fastSame.seconds, 1e-9),
                  scaled ? (" at " + Megapixels(rw, rh)).c_str() : "");
    char differences[64];
    std::snprintf(differences, sizeof differences, "%lld of %lld%s", (long long)differing, (long long)total,
                  differing ? (", max " + std::to_string(largest)).c_str() : "");
    std::printf("| %-34s | %8.2f s%s | %7.2f s | %-14s | %-15s | %7.0f MB | %s |\n", c.name.c_str(), reference.seconds,
                scaled ? "*" : " ", fastFull.seconds, ratio, fastFull.methods.c_str(), fastFull.peakMegabytes,
                differences);
    std::fflush(stdout);
    if (!reference.ok || !fastSame.ok || !fastFull.ok) std::printf("|   (a render failed) |\n");
}

// ---- The glyra command, end to end: PNG in, PNG out ----

void WriteScenePng(const Case& c, const std::string& path) {
    Failure failure;
    if (!WriteImage(path, SceneImage(SceneShape{c.width, c.height, c.colorPlanes, c.depth, c.share, 7}, false),
                    WriteOptions{}, &failure))
        std::fprintf(stderr, "%s\n", failure.message.c_str());
}

void RunCommandCase(const Case& c, bool withReference) {
    const std::string folder = "/tmp/glyra-bench-" + std::to_string(getpid());
    mkdir(folder.c_str(), 0700);
    const std::string input = folder + "/in.png", output = folder + "/out.png";
    WriteScenePng(c, input);
    const std::string lines = std::to_string(c.lineType);
    CommandOutcome reference;
    if (withReference)
        reference = RunCommand({GLYRA_BINARY, "--render", "reference", "--line-type", lines, input, output});
    const CommandOutcome fast = RunCommand({GLYRA_BINARY, "--line-type", lines, input, output});
    std::remove(input.c_str());
    std::remove(output.c_str());
    rmdir(folder.c_str());
    char ratio[32] = "-";
    char referenceTime[32] = "-";
    if (withReference) {
        std::snprintf(ratio, sizeof ratio, "%.1fx", reference.seconds / std::max(fast.seconds, 1e-9));
        std::snprintf(referenceTime, sizeof referenceTime, "%.2f s", reference.seconds);
    }
    std::printf("| %-34s | %10s | %7.2f s | %-14s | %-15s | %7.0f MB | %s |\n", ("glyra " + c.name).c_str(),
                referenceTime, fast.seconds, ratio, "PNG in and out", fast.peakMegabytes,
                fast.ok ? "(whole process)" : "(failed)");
    std::fflush(stdout);
}

// ---- Output settings: the time and size of each format's defaults and choices ----

// One scene written by the command under several output settings; times and
// sizes against PNG at the default level in the same run.
void RunOutputSettings(const Case& c, bool smooth) {
    const std::string folder = "/tmp/glyra-bench-out-" + std::to_string(getpid());
    mkdir(folder.c_str(), 0700);
    const std::string input = folder + "/in.tif";
    {
        // A TIFF input without compression: reading it costs the same for every row.
        WriteOptions options;
        options.format = ImageFormat::Tiff;
        options.tiffCompression = WriteOptions::TiffCompression::None;
        const ImageFile image = SceneImage(SceneShape{c.width, c.height, c.colorPlanes, c.depth, c.share, 7}, smooth);
        Failure failure;
        if (!WriteImage(input, image, options, &failure)) std::fprintf(stderr, "%s\n", failure.message.c_str());
    }
    struct Setting {
        const char* name;
        std::vector<std::string> options;
        const char* extension;
    };
    const Setting settings[] = {
        {"PNG, default (level 1)", {}, "png"},
        {"PNG, --png-compression 9", {"--png-compression", "9"}, "png"},
        {"TIFF, default (deflate)", {}, "tif"},
        {"TIFF, lzw", {"--tiff-compression", "lzw"}, "tif"},
        {"TIFF, none", {"--tiff-compression", "none"}, "tif"},
    };
    double pngSeconds = 0, pngBytes = 0;
    for (const Setting& setting : settings) {
        const std::string output = folder + "/out." + setting.extension;
        std::vector<std::string> arguments = {GLYRA_BINARY};
        arguments.insert(arguments.end(), setting.options.begin(), setting.options.end());
        arguments.push_back(input);
        arguments.push_back(output);
        const CommandOutcome outcome = RunCommand(arguments);
        struct stat info {};
        const double bytes = stat(output.c_str(), &info) == 0 ? double(info.st_size) : 0;
        std::remove(output.c_str());
        if (pngSeconds == 0) pngSeconds = outcome.seconds, pngBytes = bytes;
        std::printf("| glyra %-28s | %-26s | %7.2f s | %5.2fx the PNG time | %7.1f MB | %+5.1f %% size |\n",
                    (c.name + (smooth ? ", smooth" : ", noisy")).c_str(), setting.name, outcome.seconds, outcome.seconds / std::max(pngSeconds, 1e-9),
                    bytes / 1e6, pngBytes > 0 ? (bytes / pngBytes - 1) * 100 : 0.0);
        std::fflush(stdout);
    }
    std::remove(input.c_str());
    rmdir(folder.c_str());
}

std::vector<Case> Cases(bool quick) {
    auto make = [](std::string name, int32_t w, int32_t h, int planes, int depth, double share, int16_t lines,
                   bool longest = false, int32_t rw = 0, int32_t rh = 0) {
        return Case{std::move(name), w, h, planes, depth, share, lines, longest, rw, rh};
    };
    std::vector<Case> cases = {
        make("1 MP RGB 8-bit, 0.1%, 4 rays", 1200, 900, 3, 8, 0.001, 2),
        make("1 MP RGB 8-bit, 1%, 8 rays", 1200, 900, 3, 8, 0.01, 4),
        make("1 MP RGB 8-bit, 30%, 8 rays", 1200, 900, 3, 8, 0.30, 4),
        make("1 MP RGB 8-bit, 100%, 8 rays", 1200, 900, 3, 8, 1.0, 4),
        make("1 MP gray 16-bit, 1%, 4 rays", 1200, 900, 1, 16, 0.01, 2),
        make("1 MP RGB 8-bit, 1%, 8 rays, extents 100", 1200, 900, 3, 8, 0.01, 4, true),
        make("12 MP RGB 8-bit, 0.1%, 4 rays", 4000, 3000, 3, 8, 0.001, 2),
    };
    if (quick) return cases;
    const std::vector<Case> more = {
        make("12 MP RGB 8-bit, 1%, 4 rays", 4000, 3000, 3, 8, 0.01, 2),
        make("12 MP RGB 8-bit, 1%, 8 rays", 4000, 3000, 3, 8, 0.01, 4),
        make("12 MP RGB 16-bit, 1%, 8 rays", 4000, 3000, 3, 16, 0.01, 4),
        make("12 MP gray 8-bit, 1%, 8 rays", 4000, 3000, 1, 8, 0.01, 4),
        make("12 MP RGB 8-bit, 30%, 8 rays", 4000, 3000, 3, 8, 0.30, 4, false, 1200, 900),
        make("12 MP RGB 8-bit, 100%, 8 rays", 4000, 3000, 3, 8, 1.0, 4, false, 1200, 900),
        make("12 MP RGB 8-bit, 1%, 8 rays, extents 100", 4000, 3000, 3, 8, 0.01, 4, true),
        make("24 MP RGB 8-bit, 0.1%, 8 rays", 6000, 4000, 3, 8, 0.001, 4),
        make("24 MP RGB 8-bit, 100%, 8 rays", 6000, 4000, 3, 8, 1.0, 4, false, 1200, 900),
    };
    cases.insert(cases.end(), more.begin(), more.end());
    return cases;
}

// The command's rows: (case, whether the reference is timed too).
std::vector<std::pair<Case, bool>> CommandCases(bool quick) {
    auto make = [](std::string name, int32_t w, int32_t h, int depth, double share, int16_t lines) {
        return Case{std::move(name), w, h, 3, depth, share, lines, false, 0, 0};
    };
    std::vector<std::pair<Case, bool>> cases = {
        {make("12 MP RGB 8-bit, 0.1%, 4 rays", 4000, 3000, 8, 0.001, 2), true},
    };
    if (quick) return cases;
    cases.push_back({make("12 MP RGB 16-bit, 0.1%, 4 rays", 4000, 3000, 16, 0.001, 2), false});
    cases.push_back({make("24 MP RGB 8-bit, 0.1%, 4 rays", 6000, 4000, 8, 0.001, 2), false});
    cases.push_back({make("24 MP RGB 16-bit, 0.1%, 4 rays", 6000, 4000, 16, 0.001, 2), false});
    cases.push_back({make("12 MP RGB 8-bit, 1%, 8 rays", 4000, 3000, 8, 0.01, 4), true});
    cases.push_back({make("12 MP RGB 8-bit, 100%, 8 rays", 4000, 3000, 8, 1.0, 4), false});
    cases.push_back({make("24 MP RGB 8-bit, 100%, 8 rays", 6000, 4000, 8, 1.0, 4), false});
    return cases;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    if (!StartImageLibrary(argv[0], &error)) std::fprintf(stderr, "%s\n", error.c_str());
    bool quick = false;
    std::vector<std::string> only;  // other arguments pick the cases whose names hold them
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0)
            quick = true;
        else if (std::strcmp(argv[i], "--fast-only") == 0)
            gFastOnly = true;
        else if (std::strcmp(argv[i], "--path") == 0 && i + 1 < argc) {
            const std::string path = argv[++i];
            gFastPath = path == "exact" ? RenderPath::Exact : path == "fourier" ? RenderPath::Fourier : RenderPath::Auto;
        }
        else
            only.push_back(argv[i]);
    }
    std::printf("| %-34s | %10s | %9s | %-14s | %-15s | %10s | %s |\n", "scene (default parameters)", "reference",
                "fast", "ratio", "path", "peak", "differing exported samples");
    std::printf("|%s|%s|%s|%s|%s|%s|%s|\n", std::string(36, '-').c_str(), std::string(12, '-').c_str(),
                std::string(11, '-').c_str(), std::string(16, '-').c_str(), std::string(17, '-').c_str(),
                std::string(12, '-').c_str(), std::string(28, '-').c_str());
    for (const Case& c : Cases(quick && only.empty())) {
        bool picked = only.empty();
        for (const std::string& part : only) picked = picked || c.name.find(part) != std::string::npos;
        if (picked) RunCase(c);
    }
    for (const auto& [c, withReference] : CommandCases(quick && only.empty())) {
        bool picked = only.empty();
        for (const std::string& part : only) picked = picked || ("glyra " + c.name).find(part) != std::string::npos;
        if (picked) RunCommandCase(c, withReference && !gFastOnly);
    }
    if (only.empty() || std::find(only.begin(), only.end(), "outputs") != only.end()) {
        std::printf("\n| %-34s | %-26s | %9s | %-20s | %10s | %-12s |\n", "scene (default parameters)", "output",
                    "time", "against PNG", "size", "size");
        for (const Case& c : {Case{"12 MP RGB 8-bit", 4000, 3000, 3, 8, 0.001, 2, false, 0, 0},
                              Case{"12 MP RGB 16-bit", 4000, 3000, 3, 16, 0.001, 2, false, 0, 0}})
            for (bool smooth : {true, false}) RunOutputSettings(c, smooth);
    }
    if (only.empty() || std::find(only.begin(), only.end(), "video") != only.end()) RunVideoRows();
    if (only.empty() || std::find(only.begin(), only.end(), "end-to-end") != only.end())
        RunEndToEndRows(std::find(only.begin(), only.end(), "--no-gimp") == only.end());
    std::printf("\n* the reference at the smaller size named in the ratio column; the fast time is at full size.\n"
                "peak: the render's own memory beyond the scene's planes (peak resident set); for the glyra\n"
                "rows, the whole process's.\n");
    return 0;
}
