// glyra: applies the star-streak filter to an image file by driving the
// plug-in's entry point exactly as a host does.
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "cli/filter_run.h"
#include "cli/image_file.h"
#include "plugin/dll_main.h"
#include "core/parameter_table.h"
#include "plugin/plugin_main.h"
#include "interface/result_codes.h"
#include "pipeline/filter_pass.h"

namespace {

std::atomic<bool> gInterrupted{false};

void OnInterrupt(int) { gInterrupted = true; }

// "h0Density" -> "h0-density"
std::string OptionName(const char* field) {
    std::string name;
    for (const char* c = field; *c; ++c) {
        if (*c >= 'A' && *c <= 'Z') {
            name += '-';
            name += char(*c - 'A' + 'a');
        } else {
            name += *c;
        }
    }
    return name;
}

// Accepts a threshold type by name or by number.
bool ParseThresholdType(const std::string& text, int16_t* value) {
    for (const ThresholdTypeInfo& info : kThresholdTypeTable)
        if (text == info.name || text == std::to_string(info.value)) {
            *value = info.value;
            return true;
        }
    return false;
}

class ProgressBar {
public:
    explicit ProgressBar(bool enabled) : enabled_(enabled) {}
    void Update(int32_t done, int32_t total) {
        if (!enabled_ || total <= 0) return;
        const int percent = int(std::min<int64_t>(100, std::max<int64_t>(0, int64_t(done) * 100 / total)));
        if (percent == shown_) return;
        shown_ = percent;
        const int filled = percent * 40 / 100;
        std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(size_t(filled), '#').c_str(),
                     std::string(size_t(40 - filled), ' ').c_str(), percent);
        std::fflush(stderr);
    }
    void Finish() {
        if (enabled_ && shown_ >= 0) std::fputc('\n', stderr);
    }

private:
    bool enabled_;
    int shown_ = -1;
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "glyra: %s\n", message.c_str());
    return 1;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::exists(b, error) && std::filesystem::equivalent(a, b, error);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Applies the Glyra star-streak filter to an image: every pixel bright enough emits two to eight rays\n"
        "that are screen-blended into the image. The values reach the plug-in through its scripting\n"
        "descriptor, as when a host replays a recorded action."};
    app.name("glyra");
    app.footer(
        "Files: PNG (8 or 16 bits; gray, gray+alpha, RGB, RGBA) and JPEG (8 bits; gray, RGB), chosen by the\n"
        "output's extension (.png, .jpg, .jpeg). The alpha channel is the layer transparency and is kept.\n"
        "16-bit samples are mapped from 0..65535 to the interface's 0..32768 and back, rounding to nearest.\n"
        "A 16-bit image written as JPEG is reduced to 8 bits.\n"
        "Exit status: 0 done, 1 error, 130 cancelled (Ctrl-C); no output file is left on failure.");

    std::string input, output;
    bool force = false;
    WriteSettings writing;
    app.add_option("INPUT", input, "Image to read")->required();
    app.add_option("OUTPUT", output, "Image to write")->required();

    FilterParameters parameters;
    SetDefaultParameters(&parameters);
    std::string thresholdType = kThresholdTypeTable[0].name;
    for (const ParameterInfo& info : kParameterTable) {
        const std::string name = "--" + OptionName(info.name);
        if (info.kind == ParameterKind::Enumerated) {
            app.add_option(name, thresholdType, info.help)
                ->capture_default_str()
                ->check([](const std::string& text) {
                    int16_t value;
                    return ParseThresholdType(text, &value) ? std::string()
                                                            : "must be plain, average, weighted or 0 to 2";
                });
            continue;
        }
        app.add_option(name, parameters.*info.field)
            ->description(info.help)
            ->capture_default_str()
            ->check(CLI::Range(info.minimum, info.maximum));
    }
    std::string renderPath = "auto";
    int threads = 0;
    app.add_option("--render", renderPath,
                   "how to render: auto (the fastest path, pass by pass), reference (the original one-source-at-a-time\n"
                   "render), exact (banded stamping, bit-identical to reference) or fourier (by transform where it fits)")
        ->capture_default_str()
        ->check(CLI::IsMember({"auto", "reference", "exact", "fourier"}));
    app.add_option("--threads", threads, "worker threads of the render (0: one per core)")
        ->capture_default_str()
        ->check(CLI::Range(0, 256));
    app.add_option("--quality", writing.jpegQuality, "JPEG quality of the output")
        ->capture_default_str()
        ->check(CLI::Range(1, 100));
    app.add_option("--png-compression", writing.pngCompression,
                   "zlib level of PNG output: 1 writes fast with somewhat larger files, 9 gives the smallest\n"
                   "files at several times the writing time")
        ->capture_default_str()
        ->check(CLI::Range(0, 9));
    app.add_flag("--force", force, "Allow the output to replace the input");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return Fail(e.what());
    }
    ParseThresholdType(thresholdType, &parameters.thresholdType);
    RenderOptions renderOptions;
    renderOptions.threads = threads;
    renderOptions.path = renderPath == "reference" ? RenderPath::Reference
                         : renderPath == "exact"   ? RenderPath::Exact
                         : renderPath == "fourier" ? RenderPath::Fourier
                                                   : RenderPath::Auto;
    SetPassRenderOptions(renderOptions);

    ImageFormat format;
    if (!FormatFromName(output, &format)) return Fail(output + ": the output must end in .png, .jpg or .jpeg");
    if (!force && SameFile(input, output)) return Fail(output + " is the input; use --force to replace it");

    // Ctrl-C from here on cancels: the filter sees it through abortProc, and
    // nothing is written once it has been pressed.
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigaction(SIGINT, &action, nullptr);
    auto cancelled = [&output] {
        std::fprintf(stderr, "glyra: cancelled; %s was not written\n", output.c_str());
        return 130;
    };

    ImageFile image;
    std::string error;
    if (!ReadImageFile(input, &image, &error)) return Fail(error);
    if (format == ImageFormat::Jpeg && image.HasAlpha())
        return Fail(output + ": JPEG has no transparency; write PNG to keep the alpha channel");

    // The loader's call when the library is attached to the process.
    DLLMain(nullptr, DLL_PROCESS_ATTACH, nullptr);

    ProgressBar bar(isatty(STDERR_FILENO) != 0);
    FilterRunHooks hooks;
    hooks.cancelled = [] { return gInterrupted.load(); };
    hooks.progress = [&bar](int32_t done, int32_t total) { bar.Update(done, total); };
    const OSErr result = ApplyFilter(&PluginMain, parameters, &image, hooks);
    bar.Finish();
    if (gInterrupted) return cancelled();
    if (result == memFullErr) return Fail("not enough memory to filter " + input);
    if (result != noErr) return Fail("the filter failed with result code " + std::to_string(result));

    // Written beside the target and renamed, so that a failed write leaves no partial file.
    const std::string partial = output + ".partial";
    if (!WriteImageFile(partial, format, image, writing, &error)) {
        std::remove(partial.c_str());
        const size_t at = error.find(partial);
        if (at != std::string::npos) error.replace(at, partial.size(), output);
        return Fail(error);
    }
    if (gInterrupted) {
        std::remove(partial.c_str());
        return cancelled();
    }
    if (std::rename(partial.c_str(), output.c_str()) != 0) {
        std::remove(partial.c_str());
        return Fail(output + ": " + std::strerror(errno));
    }
    return 0;
}
