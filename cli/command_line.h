// The command's options, declared once: --help, the man page and the shell
// completions are all made from this one declaration, and the thirteen filter
// parameters come from the parameter table.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

#include "cli/image_file.h"
#include "core/filter_parameters.h"
#include "render/render_stars.h"

// The options whose values are names, each in one map: the parser checks and
// converts with it (an unknown name is refused there), and the help and the
// completions list its names.
template <typename Value>
using NamedValues = std::vector<std::pair<std::string, Value>>;
const NamedValues<RenderPath>& RenderPathNames();
const NamedValues<WriteOptions::TiffCompression>& TiffCompressionNames();
const NamedValues<WriteOptions::Subsampling>& SubsamplingNames();

struct CommandOptions {
    std::vector<std::string> positionals;
    std::string output;              // -o: folder or pattern
    std::string format;              // --format
    std::string parameterText[kParameterCount];  // as given; checked after parsing
    std::string presetPath;          // --preset
    std::string savePresetPath;      // --save-preset
    bool force = false;
    bool strip = false;              // metadata, keeping the colour profile
    bool stripAll = false;           // metadata and the colour profile
    bool noAutorotate = false;
    bool acceptDamaged = false;
    bool skipExisting = false;
    int indexStart = 1;
    bool reportStages = false;       // a line on stderr as each file's stage begins (for tests and wrappers)
    bool dryRun = false;
    bool quiet = false;
    bool verbose = false;
    bool version = false;
    int jobs = 1;
    int threads = 0;
    RenderPath render = RenderPath::Auto;
    int64_t maxPixels = kDefaultMaxPixels;
    int jpegQuality = 92;
    WriteOptions::Subsampling jpegSubsampling = WriteOptions::Subsampling::Auto;
    bool progressive = false;
    int pngCompression = 1;
    WriteOptions::TiffCompression tiffCompression = WriteOptions::TiffCompression::Deflate;
    int webpQuality = 92;
    bool webpLossless = false;
    std::string flatten;             // --flatten[=COLOUR]: the background colour; empty: not given
};

// Declares every option on the app, writing into *options.
void DeclareOptions(CLI::App* app, CommandOptions* options);

// The arguments as the parser takes them: a bare --flatten becomes
// --flatten=white, so that its colour is optional yet no file is ever taken for one.
std::vector<std::string> ArgumentsWithDefaults(int argc, char** argv);

// Before parsing: an option that does not exist, with the nearest that does;
// empty when every option is known.
std::string UnknownOptionMessage(const CLI::App& app, int argc, char** argv);

// The man page (troff) and the completion scripts, from the declared options.
std::string ManPage(const CLI::App& app);
std::string BashCompletion(const CLI::App& app);
std::string ZshCompletion(const CLI::App& app);
