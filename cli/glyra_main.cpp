// glyra: applies the star-streak filter to image files by driving the
// plug-in's entry point exactly as a host does.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "cli/command_line.h"
#include "cli/exit_codes.h"
#include "cli/filter_run.h"
#include "cli/image_file.h"
#include "cli/memory_budget.h"
#include "cli/output_plan.h"
#include "cli/parameter_values.h"
#include "cli/preset_file.h"
#include "cli/progress_display.h"
#include "core/parallel_work.h"
#include "core/parameter_table.h"
#include "interface/result_codes.h"
#include "pipeline/filter_pass.h"
#include "plugin/dll_main.h"
#include "plugin/plugin_main.h"

namespace {

std::atomic<bool> gInterrupted{false};

void OnInterrupt(int) { gInterrupted = true; }

int Complain(const std::string& message, int code) {
    std::fprintf(stderr, "glyra: %s\n", message.c_str());
    return code;
}

// Everything a file's run needs from the command line.
struct RunSettings {
    FilterParameters parameters;
    ReadOptions reading;
    WriteOptions writing;
    bool verbose = false;
};

const char* ChannelName(int channels) {
    switch (channels) {
        case 1: return "gray";
        case 2: return "gray+alpha";
        case 3: return "RGB";
        default: return "RGBA";
    }
}

// Reads, filters and writes one file; the failure says why not.
Failure ProcessFile(const PlannedFile& file, const RunSettings& settings, MemoryBudget* budget,
                    ProgressDisplay* progress) {
    Failure failure;
    auto fail = [&failure](int code, std::string message) {
        failure.Set(code, std::move(message));
        return failure;
    };
    const auto start = std::chrono::steady_clock::now();
    int64_t reserved = 0;
    struct Reservation {
        MemoryBudget* budget;
        int64_t* bytes;
        ~Reservation() {
            if (*bytes) budget->Release(*bytes);
        }
    } reservation{budget, &reserved};

    try {
        ReadOptions reading = settings.reading;
        reading.progress = [progress](int percent) {
            progress->Update(ProgressDisplay::Stage::Reading, percent / 100.0);
        };
        reading.cancelled = [] { return gInterrupted.load(); };
        reading.admit = [&](int64_t width, int64_t height, int channels, int depth, std::string* reason) {
            const int64_t need = FilterMemoryNeed(width, height, channels, depth);
            if (!budget->Reserve(need, reason)) return false;
            reserved = need;
            return true;
        };
        ImageFile image;
        if (!ReadImage(file.input, reading, &image, &failure)) return failure;
        if (image.HasAlpha() && !FormatHoldsAlpha(file.format))
            return fail(kExitCannotWrite, file.output + ": " + FormatName(file.format) +
                                              " has no transparency; write PNG, TIFF or WebP to keep the alpha channel");
        const std::string shape = std::to_string(image.width) + "x" + std::to_string(image.height) + " " +
                                  ChannelName(image.channels) + " " + std::to_string(image.depth) + "-bit " +
                                  FormatName(image.format);
        if (settings.verbose && !image.conversion.empty())
            progress->Print(file.input + ": " + image.conversion);

        FilterRunHooks hooks;
        hooks.cancelled = [] { return gInterrupted.load(); };
        hooks.progress = [progress](int32_t done, int32_t total) {
            if (total > 0) progress->Update(ProgressDisplay::Stage::Filtering, double(done) / double(total));
        };
        const OSErr result = ApplyFilter(&PluginMain, settings.parameters, &image, hooks);
        if (gInterrupted) return fail(kExitCancelled, file.input + ": cancelled; " + file.output + " was not written");
        if (result == memFullErr) return fail(kExitTooLarge, file.input + ": not enough memory to filter it");
        if (result != noErr)
            return fail(kExitFilterFailed, file.input + ": the filter failed with result code " + std::to_string(result));

        // Written beside the target and renamed: a failed or cancelled write leaves no partial file.
        WriteOptions writing = settings.writing;
        writing.format = file.format;
        writing.progress = [progress](int percent) {
            progress->Update(ProgressDisplay::Stage::Writing, percent / 100.0);
        };
        writing.cancelled = [] { return gInterrupted.load(); };
        const bool toStandardOutput = file.output == "-";
        const std::string partial = toStandardOutput ? "-" : file.output + ".partial";
        const bool written = WriteImage(partial, image, writing, &failure);
        if (!toStandardOutput && (!written || gInterrupted)) std::remove(partial.c_str());
        if (gInterrupted) return fail(kExitCancelled, file.input + ": cancelled; " + file.output + " was not written");
        if (!written) {
            const size_t at = failure.message.find(partial);
            if (at != std::string::npos) failure.message.replace(at, partial.size(), file.output);
            return failure;
        }
        if (!toStandardOutput && std::rename(partial.c_str(), file.output.c_str()) != 0) {
            std::remove(partial.c_str());
            return fail(kExitCannotWrite, file.output + ": " + std::strerror(errno));
        }
        if (settings.verbose) {
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            char line[512];
            std::snprintf(line, sizeof line, "%s: %s -> %s (%s) in %.2f s", file.input.c_str(), shape.c_str(),
                          file.output.c_str(), FormatName(file.format), seconds);
            progress->Print(line);
        }
    } catch (const std::bad_alloc&) {
        failure.Set(kExitTooLarge, file.input + ": out of memory");
    }
    return failure;
}

// The filter parameters: defaults, then a preset, then the command line.
bool GatherParameters(const CommandOptions& options, FilterParameters* parameters, std::string* error) {
    SetDefaultParameters(parameters);
    bool named[kParameterCount] = {};
    if (!options.presetPath.empty() && !ReadPreset(options.presetPath, parameters, named, error)) return false;
    for (int i = 0; i < kParameterCount; ++i) {
        const std::string& text = options.parameterText[i];
        if (text.empty()) continue;
        const ParameterInfo& info = kParameterTable[i];
        int16_t value = 0;
        std::string problem;
        if (!ParseParameterValue(info, text, &value, &problem)) {
            *error = "--" + CommandName(info) + ": " + problem;
            return false;
        }
        parameters->*info.field = value;
    }
    return true;
}

RenderPath PathNamed(const std::string& name) {
    if (name == "reference") return RenderPath::Reference;
    if (name == "exact") return RenderPath::Exact;
    if (name == "fourier") return RenderPath::Fourier;
    return RenderPath::Auto;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

// Build-time outputs made from the option declarations: the man page and the
// completion scripts (glyra --write-docs FOLDER).
int WriteDocuments(const CLI::App& app, const std::string& folder) {
    const bool written = WriteTextFile(folder + "/glyra.1", ManPage(app)) &&
                         WriteTextFile(folder + "/glyra.bash", BashCompletion(app)) &&
                         WriteTextFile(folder + "/_glyra", ZshCompletion(app));
    return written ? kExitDone : Complain("cannot write into " + folder, kExitCannotWrite);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app;
    CommandOptions options;
    DeclareOptions(&app, &options);
    std::string documents;
    app.add_option("--write-docs", documents, "write the man page and completions into a folder")->group("");

    const std::string unknown = UnknownOptionMessage(app, argc, argv);
    if (!unknown.empty()) return Complain(unknown, kExitUsage);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return Complain(e.what(), kExitUsage);
    }
    if (!documents.empty()) return WriteDocuments(app, documents);

    RunSettings settings;
    std::string error;
    if (!GatherParameters(options, &settings.parameters, &error)) return Complain(error, kExitUsage);
    if (!options.savePresetPath.empty() && !WritePreset(options.savePresetPath, settings.parameters, &error))
        return Complain(error, kExitCannotWrite);
    if (options.positionals.empty() && !options.savePresetPath.empty()) return kExitDone;

    OutputRequest request;
    request.positionals = options.positionals;
    request.output = options.output;
    request.force = options.force;
    ImageFormat format;
    if (!options.format.empty() && FormatFromName(options.format, &format)) request.format = format;
    std::vector<PlannedFile> plan;
    if (!PlanOutputs(request, &plan, &error)) return Complain(error, kExitUsage);
    if (options.dryRun) {
        for (const PlannedFile& file : plan)
            std::printf("%s -> %s (%s)\n", file.input.c_str(), file.output.c_str(), FormatName(file.format));
        return kExitDone;
    }

    settings.reading.autorotate = !options.noAutorotate;
    settings.reading.maxPixels = options.maxPixels;
    settings.writing.jpegQuality = options.jpegQuality;
    const std::string subsampling = options.jpegSubsampling;
    settings.writing.jpegSubsampling = subsampling == "444"   ? WriteOptions::Subsampling::Off
                                       : subsampling == "420" ? WriteOptions::Subsampling::On
                                                              : WriteOptions::Subsampling::Auto;
    settings.writing.progressive = options.progressive;
    settings.writing.pngCompression = options.pngCompression;
    const std::map<std::string, WriteOptions::TiffCompression> tiff = {
        {"none", WriteOptions::TiffCompression::None},       {"lzw", WriteOptions::TiffCompression::Lzw},
        {"deflate", WriteOptions::TiffCompression::Deflate}, {"zstd", WriteOptions::TiffCompression::Zstd},
        {"jpeg", WriteOptions::TiffCompression::Jpeg}};
    std::string tiffName = options.tiffCompression;
    for (char& c : tiffName) c = char(std::tolower(static_cast<unsigned char>(c)));
    settings.writing.tiffCompression = tiff.count(tiffName) ? tiff.at(tiffName) : WriteOptions::TiffCompression::Deflate;
    settings.writing.webpQuality = options.webpQuality;
    settings.writing.webpLossless = options.webpLossless;
    settings.writing.strip = options.strip;
    settings.verbose = options.verbose && !options.quiet;

    // The jobs share the machine's cores; each render gets its share of them.
    const int jobs = std::max(1, std::min<int>(options.jobs, int(plan.size())));
    RenderOptions render;
    std::string renderName = options.render;
    for (char& c : renderName) c = char(std::tolower(static_cast<unsigned char>(c)));
    render.path = PathNamed(renderName);
    render.threads = options.threads > 0 ? options.threads : std::max(1, WorkerCount(0) / jobs);
    SetPassRenderOptions(render);

    // Ctrl-C from here on cancels: the filter sees it through abortProc, and
    // nothing is written once it has been pressed.
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigaction(SIGINT, &action, nullptr);

    if (!StartImageLibrary(argv[0], &error)) return Complain(error, kExitBadInput);
    // The loader's call when the library is attached to the process.
    DLLMain(nullptr, DLL_PROCESS_ATTACH, nullptr);

    ProgressDisplay progress(!options.quiet && isatty(STDERR_FILENO) != 0);
    MemoryBudget budget(AvailableMemory());
    std::vector<Failure> outcomes(plan.size());
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t i = next++; i < plan.size() && !gInterrupted; i = next++) {
            const std::string label =
                (plan.size() > 1 ? "[" + std::to_string(i + 1) + "/" + std::to_string(plan.size()) + "] " : "") +
                plan[i].input;
            progress.StartFile(label);
            outcomes[i] = ProcessFile(plan[i], settings, &budget, &progress);
            progress.FinishFile();
            if (outcomes[i].code != kExitDone && outcomes[i].code != kExitCancelled)
                progress.Print("glyra: " + outcomes[i].message);
        }
    };
    std::vector<std::thread> threads;
    for (int j = 1; j < jobs; ++j) threads.emplace_back(worker);
    worker();
    for (std::thread& thread : threads) thread.join();
    StopImageLibrary();

    if (gInterrupted) {
        for (const Failure& outcome : outcomes)
            if (outcome.code == kExitCancelled) std::fprintf(stderr, "glyra: %s\n", outcome.message.c_str());
        if (plan.size() > 1) std::fprintf(stderr, "glyra: cancelled\n");
        return kExitCancelled;
    }
    int failed = 0, code = kExitDone;
    for (const Failure& outcome : outcomes) {
        if (outcome.code == kExitDone) continue;
        ++failed;
        code = code == kExitDone || code == outcome.code ? outcome.code : int(kExitSomeFailed);
    }
    if (plan.size() > 1 && (failed > 0 || settings.verbose) && !options.quiet)
        std::fprintf(stderr, "glyra: %zu of %zu files written%s\n", plan.size() - size_t(failed), plan.size(),
                     failed ? ", failed:" : "");
    if (plan.size() > 1 && failed > 0)
        for (size_t i = 0; i < plan.size(); ++i)
            if (outcomes[i].code != kExitDone) std::fprintf(stderr, "  %s\n", plan[i].input.c_str());
    return code;
}
