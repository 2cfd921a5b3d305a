// glyra: applies the star-streak filter to image files: read, filter through
// the image operation at the file's own precision, write.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/command_line.h"
#include "cli/exit_codes.h"
#include "cli/filter_run.h"
#include "cli/flatten.h"
#include "cli/frame_manifest.h"
#include "cli/image_file.h"
#include "cli/memory_budget.h"
#include "cli/output_plan.h"
#include "cli/output_target.h"
#include "cli/parameter_values.h"
#include "cli/preset_file.h"
#include "cli/progress_display.h"
#include "core/parallel_work.h"
#include "core/parameter_table.h"

namespace fs = std::filesystem;

namespace {

// The signal that stopped the work (SIGINT, SIGTERM or SIGHUP), or 0.
std::atomic<int> gSignal{0};

void OnStopSignal(int signal) {
    int none = 0;
    gSignal.compare_exchange_strong(none, signal);
}

bool Stopped() { return gSignal.load() != 0; }

std::string StopReason() {
    switch (gSignal.load()) {
        case SIGTERM: return "stopped by SIGTERM";
        case SIGHUP: return "stopped by SIGHUP";
        default: return "cancelled";
    }
}

// Ctrl-C, `timeout`, a batch system's time limit and a closed terminal all
// stop the work the same way: abortProc tells the filter, the decoder and the
// encoder are stopped, and every unfinished output is removed.
void InstallStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

int Complain(const std::string& message, int code) {
    std::fprintf(stderr, "glyra: %s\n", message.c_str());
    return code;
}

// Everything a file's run needs from the command line.
struct RunSettings {
    FilterParameters parameters;
    RenderOptions render;
    ReadOptions reading;
    WriteOptions writing;
    bool verbose = false;
    bool quiet = false;
    bool reportStages = false;
    bool flatten = false;  // transparency onto `background`, and dropped
    Colour background;
};

void ReportStage(const RunSettings& settings, const char* stage, const std::string& file) {
    if (!settings.reportStages) return;
    std::fprintf(stderr, "glyra: stage %s %s\n", stage, file.c_str());
    std::fflush(stderr);
}

// What the output format cannot take, known once the header is read, before
// any render: transparency (unless it is flattened) and sizes past its limit.
bool RefusesOutput(const ImageFile& image, const PlannedFile& file, const RunSettings& settings, Failure* failure) {
    if (image.HasAlpha() && !FormatHoldsAlpha(file.format) && !settings.flatten) {
        failure->Set(kExitCannotWrite, file.output + ": " + FormatName(file.format) +
                                           " has no transparency; write PNG, TIFF or WebP to keep the alpha channel, "
                                           "or give --flatten[=COLOUR] to flatten it onto a colour");
        return true;
    }
    const int32_t limit = FormatMaxSide(file.format);
    if (image.width > limit || image.height > limit) {
        failure->Set(kExitCannotWrite, file.output + ": " + std::to_string(image.width) + " x " +
                                           std::to_string(image.height) + " pixels; " + FormatName(file.format) +
                                           " holds at most " + std::to_string(limit) + " pixels a side");
        return true;
    }
    return false;
}

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
    // The output being written, so that running out of memory anywhere
    // leaves no .partial behind.
    std::optional<OutputTarget> partial;

    try {
        ReadOptions reading = settings.reading;
        reading.progress = [progress](int percent) {
            progress->Update(ProgressDisplay::Stage::Reading, percent / 100.0);
        };
        reading.cancelled = [] { return Stopped(); };
        reading.admit = [&](int64_t width, int64_t height, int channels, int depth, std::string* reason) {
            const int64_t need = FilterMemoryNeed(width, height, channels, depth,
                                                  settings.parameters.thresholdType != 0);
            if (!budget->Reserve(need, reason)) return false;
            reserved = need;
            return true;
        };
        ImageFile image;
        ReportStage(settings, "reading", file.input);
        auto stageStart = std::chrono::steady_clock::now();
        const auto stageSeconds = [&stageStart] {
            const auto now = std::chrono::steady_clock::now();
            const double seconds = std::chrono::duration<double>(now - stageStart).count();
            stageStart = now;
            return seconds;
        };
        if (!ReadImage(file.input, reading, &image, &failure)) {
            if (Stopped()) return fail(kExitCancelled, file.input + ": " + StopReason() + " while reading; " +
                                                           file.output + " was not written");
            return failure;
        }
        if (!image.damage.empty() && (settings.reading.acceptDamaged ? !settings.quiet : settings.verbose))
            progress->Print("glyra: " + file.input + (settings.reading.acceptDamaged ? ": damaged, read anyway: "
                                                                                     : ": the decoder noted: ") +
                            image.damage);
        if (RefusesOutput(image, file, settings, &failure)) return failure;
        const std::string shape = std::to_string(image.width) + "x" + std::to_string(image.height) + " " +
                                  ChannelName(image.channels) + " " + std::to_string(image.depth) + "-bit " +
                                  FormatName(image.format);
        if (settings.verbose && !image.conversion.empty())
            progress->Print(file.input + ": " + image.conversion);

        FilterRunHooks hooks;
        hooks.cancelled = [] { return Stopped(); };
        hooks.progress = [progress](int32_t done, int32_t total) {
            if (total > 0) progress->Update(ProgressDisplay::Stage::Filtering, double(done) / double(total));
        };
        const double readSeconds = stageSeconds();
        ReportStage(settings, "filtering", file.input);
        const ImageReport pass = ApplyFilter(settings.parameters, settings.render, &image, hooks);
        const double filterSeconds = stageSeconds();
        if (Stopped() || pass.status == RenderStatus::Cancelled)
            return fail(kExitCancelled, file.input + ": " + StopReason() + "; " + file.output + " was not written");
        if (pass.status == RenderStatus::OutOfMemory)
            return fail(kExitTooLarge, file.input + ": not enough memory to filter it");
        if (pass.status != RenderStatus::Done)
            return fail(kExitFilterFailed, file.input + ": the filter could not take this image");

        if (settings.flatten) FlattenAlpha(&image, settings.background);
        WriteOptions writing = settings.writing;
        writing.format = file.format;
        writing.progress = [progress](int percent) {
            progress->Update(ProgressDisplay::Stage::Writing, percent / 100.0);
        };
        writing.cancelled = [] { return Stopped(); };
        // What the output format cannot hold: lost tags always (unless -q),
        // what the format never holds (WebP and IPTC) with -v.
        writing.note = [&](const std::string& note) {
            const bool lost = note.find("did not fit") != std::string::npos;
            if (lost ? !settings.quiet : settings.verbose) progress->Print("glyra: " + file.output + ": " + note);
        };
        const OutputTarget target = ChooseOutputTarget(file.output);
        ReportStage(settings, "writing", file.output);
        std::string prepareError;
        if (!PrepareOutput(target, &prepareError))
            return fail(kExitCannotWrite, file.output + ": " + prepareError);
        partial = target;
        const bool written = WriteImage(target.writePath, image, writing, &failure);
        partial.reset();
        if (!written || Stopped()) AbandonOutput(target);
        if (Stopped())
            return fail(kExitCancelled, file.input + ": " + StopReason() + " while writing; " + file.output +
                                            (target.streamed ? " is incomplete" : " was not written"));
        if (!written) {
            const size_t at = failure.message.find(target.writePath);
            if (at != std::string::npos) failure.message.replace(at, target.writePath.size(), file.output);
            return failure;
        }
        std::string error;
        if (!CommitOutput(target, &error)) return fail(kExitCannotWrite, file.output + ": " + error);
        if (settings.reportStages) {
            std::fprintf(stderr,
                         "glyra: times %s: read %.3f s, filter %.3f s (import %.3f, render %.3f, export %.3f), "
                         "write %.3f s\n",
                         file.input.c_str(), readSeconds, filterSeconds, pass.importSeconds, pass.renderSeconds,
                         pass.exportSeconds, stageSeconds());
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
        if (partial) AbandonOutput(*partial);
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

// Build-time outputs made from the option declarations: the man page and the
// completion scripts (glyra --write-docs FOLDER).
int WriteDocuments(const CLI::App& app, const std::string& folder) {
    std::string error;
    for (const auto& [name, text] : {std::pair<const char*, std::string>{"/glyra.1", ManPage(app)},
                                     {"/glyra.bash", BashCompletion(app)},
                                     {"/_glyra", ZshCompletion(app)}})
        if (!WriteWholeFile(folder + name, text, &error))
            return Complain(folder + name + ": cannot be written (" + error + ")", kExitCannotWrite);
    return kExitDone;
}

// The options that shape reading and writing.
RunSettings SettingsFrom(const CommandOptions& options) {
    RunSettings settings;
    settings.reading.autorotate = !options.noAutorotate;
    settings.reading.maxPixels = options.maxPixels;
    settings.reading.acceptDamaged = options.acceptDamaged;
    settings.writing.jpegQuality = options.jpegQuality;
    settings.writing.jpegSubsampling = options.jpegSubsampling;
    settings.writing.progressive = options.progressive;
    settings.writing.pngCompression = options.pngCompression;
    settings.writing.tiffCompression = options.tiffCompression;
    settings.writing.webpQuality = options.webpQuality;
    settings.writing.webpLossless = options.webpLossless;
    settings.writing.strip = options.stripAll ? WriteOptions::Strip::All
                             : options.strip  ? WriteOptions::Strip::KeepProfile
                                              : WriteOptions::Strip::None;
    settings.verbose = options.verbose && !options.quiet;
    settings.quiet = options.quiet;
    settings.reportStages = options.reportStages;
    settings.flatten = !options.flatten.empty();
    ParseColour(options.flatten.empty() ? "white" : options.flatten, &settings.background);
    return settings;
}

// An output that --skip-existing leaves alone: a complete file of that name
// (a .partial beside it is what a cut-short run left, and is redone).
bool AlreadyWritten(const PlannedFile& file) {
    if (file.output == "-") return false;
    struct stat info {};
    return stat(file.output.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// What the run would do with one planned file, without decoding or writing:
// its header is read and checked as the run checks it.
Failure CheckPlannedFile(const PlannedFile& file, const RunSettings& settings) {
    Failure failure = file.problem;
    if (failure.code != kExitDone || file.input == "-") return failure;
    ReadOptions reading = settings.reading;
    reading.headerOnly = true;
    const int64_t available = AvailableMemory();
    reading.admit = [available, &settings](int64_t width, int64_t height, int channels, int depth,
                                           std::string* reason) {
        MemoryBudget budget(available);
        return budget.Reserve(
            FilterMemoryNeed(width, height, channels, depth, settings.parameters.thresholdType != 0), reason);
    };
    ImageFile image;
    if (ReadImage(file.input, reading, &image, &failure)) RefusesOutput(image, file, settings, &failure);
    return failure;
}

// The exit status of a batch: 0, the one reason all failures share, or 1.
int BatchStatus(const std::vector<Failure>& outcomes) {
    int code = kExitDone;
    for (const Failure& outcome : outcomes) {
        if (outcome.code == kExitDone) continue;
        code = code == kExitDone || code == outcome.code ? outcome.code : int(kExitSomeFailed);
    }
    return code;
}

void PrintSummary(const std::vector<PlannedFile>& plan, const std::vector<Failure>& outcomes, size_t skipped,
                  const RunSettings& settings, const char* verb) {
    size_t failed = 0;
    for (const Failure& outcome : outcomes) failed += outcome.code != kExitDone;
    if (plan.size() <= 1 || settings.quiet || (failed == 0 && skipped == 0 && !settings.verbose)) return;
    std::string line = "glyra: " + std::to_string(plan.size() - failed - skipped) + " of " +
                       std::to_string(plan.size()) + " files " + verb;
    if (skipped) line += ", " + std::to_string(skipped) + " already there";
    if (failed) line += ", " + std::to_string(failed) + " failed:";
    std::fprintf(stderr, "%s\n", line.c_str());
    for (size_t i = 0; i < plan.size(); ++i)
        if (outcomes[i].code != kExitDone) std::fprintf(stderr, "  %s\n", plan[i].input.c_str());
}

// Shows what would be written and every error the run would meet; writes nothing.
int DryRun(const std::vector<PlannedFile>& plan, const RunSettings& settings, bool skipExisting) {
    std::vector<Failure> outcomes(plan.size());
    size_t skipped = 0;
    for (size_t i = 0; i < plan.size(); ++i) {
        const PlannedFile& file = plan[i];
        if (skipExisting && AlreadyWritten(file)) {
            ++skipped;
            std::printf("%s -> %s (already there, left alone)\n", file.input.c_str(), file.output.c_str());
            continue;
        }
        outcomes[i] = CheckPlannedFile(file, settings);
        if (outcomes[i].code != kExitDone)
            std::fprintf(stderr, "glyra: %s\n", outcomes[i].message.c_str());
        else
            std::printf("%s -> %s (%s)\n", file.input.c_str(), file.output.c_str(), FormatName(file.format));
    }
    PrintSummary(plan, outcomes, skipped, settings, "would be written");
    return BatchStatus(outcomes);
}

// Works through the plan, --jobs files at once; the outcome of each file.
std::vector<Failure> RunBatch(const std::vector<PlannedFile>& plan, const std::vector<bool>& skip, int jobs,
                              const RunSettings& settings, FrameManifest* manifest, ProgressDisplay* progress) {
    MemoryBudget budget(AvailableMemory());
    std::vector<Failure> outcomes(plan.size());
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t i = next++; i < plan.size() && !Stopped(); i = next++) {
            if (skip[i]) continue;
            if (plan[i].problem.code != kExitDone) {
                outcomes[i] = plan[i].problem;
                progress->Print("glyra: " + outcomes[i].message);
                progress->FileDone();
                continue;
            }
            progress->StartFile(plan.size() > 1 ? "[" + std::to_string(i + 1) + "/" + std::to_string(plan.size()) +
                                                      "] " + plan[i].input
                                                : plan[i].input);
            outcomes[i] = ProcessFile(plan[i], settings, &budget, progress);
            if (manifest && outcomes[i].code == kExitDone) manifest->Record(plan[i]);
            progress->FinishFile();
            progress->FileDone();
            if (outcomes[i].code != kExitDone && outcomes[i].code != kExitCancelled)
                progress->Print("glyra: " + outcomes[i].message);
        }
    };
    std::vector<std::thread> threads;
    for (int j = 1; j < jobs; ++j) threads.emplace_back(worker);
    worker();
    for (std::thread& thread : threads) thread.join();
    return outcomes;
}

// An option that shapes a format none of the outputs has would be silently
// ignored: it is refused, naming the option that would apply. Empty when all apply.
std::string InapplicableOption(const CLI::App& app, const CommandOptions& options,
                               const std::vector<PlannedFile>& plan) {
    std::set<ImageFormat> formats;
    for (const PlannedFile& file : plan) formats.insert(file.format);
    const bool jpegInTiff = options.tiffCompression == WriteOptions::TiffCompression::Jpeg;
    const struct {
        const char* option;
        std::vector<ImageFormat> formats;
        const char* instead;  // what to give for the other formats, if anything
    } kRules[] = {
        {"--quality", jpegInTiff ? std::vector<ImageFormat>{ImageFormat::Jpeg, ImageFormat::Tiff}
                                 : std::vector<ImageFormat>{ImageFormat::Jpeg},
         "--webp-quality for WebP, --png-compression for PNG"},
        {"--jpeg-subsampling", {ImageFormat::Jpeg}, ""},
        {"--progressive", {ImageFormat::Jpeg, ImageFormat::Png}, ""},
        {"--png-compression", {ImageFormat::Png}, ""},
        {"--tiff-compression", {ImageFormat::Tiff}, ""},
        {"--webp-quality", {ImageFormat::Webp}, "--quality for JPEG"},
        {"--lossless", {ImageFormat::Webp}, "PNG and TIFF are always lossless"},
    };
    for (const auto& rule : kRules) {
        if (app.count(rule.option) == 0) continue;
        bool applies = false;
        std::string names;
        for (ImageFormat format : rule.formats) {
            applies |= formats.count(format) != 0;
            names += (names.empty() ? "" : " and ") + std::string(FormatName(format));
        }
        if (applies) continue;
        std::string outputs;
        for (ImageFormat format : formats) outputs += (outputs.empty() ? "" : ", ") + std::string(FormatName(format));
        return std::string(rule.option) + " applies to " + names + " output, and the output here is " + outputs +
               (*rule.instead ? std::string(" (") + rule.instead + ")" : "");
    }
    return "";
}

// Where --save-preset may write: never onto an input (not even with
// --force), over an existing file only when it is a preset (or with --force),
// never into a folder. Empty when it may; else the reason.
std::string PresetTargetRefusal(const std::string& path, const std::vector<PlannedFile>& plan, bool force) {
    if (path == "-") return "";
    std::error_code error;
    for (const PlannedFile& file : plan)
        if (file.input != "-" && fs::exists(path, error) && fs::equivalent(file.input, path, error))
            return path + ": is an input; the preset is not written over it";
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        const fs::path parent = fs::path(path).parent_path();
        if (!parent.empty() && !fs::is_directory(parent, error))
            return path + ": the folder " + parent.string() + " does not exist";
        return "";
    }
    if (S_ISDIR(info.st_mode)) return path + ": is a folder; name the preset's file";
    if (S_ISREG(info.st_mode) && !force && !IsPresetFile(path))
        return path + ": exists and is not a glyra preset; use --force to replace it";
    if (S_ISREG(info.st_mode) && !force && IsReadOnlyFile(path))
        return path + ": is read-only; use --force to replace it";
    return "";
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
        std::vector<std::string> arguments = ArgumentsWithDefaults(argc, argv);
        arguments.erase(arguments.begin());
        std::reverse(arguments.begin(), arguments.end());  // CLI11 takes them last first
        app.parse(arguments);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return Complain(e.what(), kExitUsage);
    }
    if (!documents.empty()) return WriteDocuments(app, documents);

    RunSettings settings = SettingsFrom(options);
    std::string error;
    if (!GatherParameters(options, &settings.parameters, &error)) return Complain(error, kExitUsage);
    const std::string& presetPath = options.savePresetPath;
    // The preset is written only once the whole command is known to be
    // right, and never by a dry run.
    auto savePreset = [&]() -> int {
        if (options.dryRun) {
            std::printf("the preset %s would be written\n", presetPath.c_str());
            return kExitDone;
        }
        if (WriteWholeFile(presetPath, PresetText(settings.parameters), &error)) return kExitDone;
        return Complain(presetPath + ": cannot be written (" + error + ")", kExitCannotWrite);
    };
    if (options.positionals.empty() && !presetPath.empty()) {
        const std::string refusal = PresetTargetRefusal(presetPath, {}, options.force);
        return refusal.empty() ? savePreset() : Complain(refusal, kExitUsage);
    }

    OutputRequest request;
    request.positionals = options.positionals;
    request.output = options.output;
    // An output that is its input is left alone by --skip-existing: no need to refuse it.
    request.force = options.force;
    request.skipExisting = options.skipExisting;
    request.indexStart = options.indexStart;
    ImageFormat format;
    if (!options.format.empty() && FormatFromName(options.format, &format)) request.format = format;
    std::vector<PlannedFile> plan;
    if (!PlanOutputs(request, &plan, &error)) return Complain(error, kExitUsage);
    if (const std::string inapplicable = InapplicableOption(app, options, plan); !inapplicable.empty())
        return Complain(inapplicable, kExitUsage);
    // A numbered batch records which input made which frame, so that resuming it is exact.
    const bool numbered = options.output.find("{index") != std::string::npos;
    if (numbered && options.skipExisting)
        if (const std::string changed = FrameManifest::CheckResume(plan); !changed.empty())
            return Complain(changed, kExitUsage);
    if (!presetPath.empty()) {
        const std::string refusal = PresetTargetRefusal(presetPath, plan, options.force);
        if (!refusal.empty()) return Complain(refusal, kExitUsage);
        for (const PlannedFile& file : plan)
            if (file.output == presetPath) return Complain(presetPath + ": is also an output", kExitUsage);
        if (const int status = savePreset(); status != kExitDone) return status;
    }

    // From here a stop signal cancels: nothing unfinished is left behind.
    InstallStopSignals();
    if (!StartImageLibrary(argv[0], &error)) return Complain(error, kExitBadInput);
    if (options.dryRun) {
        const int status = DryRun(plan, settings, options.skipExisting);
        StopImageLibrary();
        return status;
    }
    std::vector<bool> skip(plan.size(), false);
    size_t skipped = 0;
    for (size_t i = 0; i < plan.size(); ++i)
        if (options.skipExisting && AlreadyWritten(plan[i])) skip[i] = true, ++skipped;

    // The jobs share the machine's cores; each render gets its share of them.
    const int jobs = std::max(1, std::min<int>(options.jobs, int(plan.size())));
    RenderOptions render;
    render.path = options.render;
    render.threads = options.threads > 0 ? options.threads : std::max(1, WorkerCount(0) / jobs);
    settings.render = render;

    ProgressDisplay progress(!options.quiet && isatty(STDERR_FILENO) != 0);
    progress.StartBatch(plan.size() - skipped);
    FrameManifest manifest;
    const std::vector<Failure> outcomes =
        RunBatch(plan, skip, jobs, settings, numbered ? &manifest : nullptr, &progress);
    StopImageLibrary();

    if (Stopped()) {
        for (const Failure& outcome : outcomes)
            if (outcome.code == kExitCancelled) std::fprintf(stderr, "glyra: %s\n", outcome.message.c_str());
        if (plan.size() > 1) std::fprintf(stderr, "glyra: %s\n", StopReason().c_str());
        return 128 + gSignal.load();
    }
    PrintSummary(plan, outcomes, skipped, settings, "written");
    return BatchStatus(outcomes);
}
