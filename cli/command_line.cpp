#include "cli/command_line.h"

#include "cli/flatten.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "cli/parameter_values.h"
#include "core/parameter_table.h"
#include "core/version.h"

namespace {

const char* const kDescription =
    "Applies the Glyra star-streak filter to images: every pixel bright enough emits two to eight rays\n"
    "that are screen-blended into the image. The values reach the plug-in through its scripting\n"
    "descriptor, as when a host replays a recorded action.";

const char* const kFooter =
    "Files: PNG, JPEG, TIFF and WebP are read and written (8 and 16 bits; gray, gray+alpha, RGB, RGBA),\n"
    "chosen by the output's extension or --format. Colour profiles, EXIF, XMP, IPTC, resolution and\n"
    "text chunks are carried to the output where its format holds them (--strip drops them). The EXIF\n"
    "orientation is applied on reading and reset in the output (--no-autorotate keeps the stored pixels).\n"
    "16-bit samples are mapped from 0..65535 to the filter's 0..32768 and back, rounding to nearest;\n"
    "samples the filter leaves alone keep their exact value. JPEG and WebP are written in 8 bits.\n"
    "Floating-point input is taken as 0..1 and filtered and written in 16 bits. The alpha channel is\n"
    "the layer transparency and is kept. A truncated or corrupt file is an error, never half an image.\n"
    "\n"
    "Examples:\n"
    "  glyra photo.jpg photo-stars.jpg\n"
    "  glyra --line-type 4 --angle 15 --threshold 240 night.png out.png\n"
    "  glyra -o done/ *.tif                     every file into done/, under its own name\n"
    "  glyra -o '{stem}-stars.{ext}' *.png       names from a pattern\n"
    "  glyra --preset soft.toml -j 2 -o out/ frames/*.png\n"
    "  cat in.png | glyra --format png - - > out.png\n"
    "\n"
    "Exit status: 0 done; 1 several files failed for different reasons; 2 wrong options or names;\n"
    "3 an input cannot be read (missing, not an image, truncated, corrupt); 4 an output cannot be\n"
    "written; 5 an image is too large or memory ran out; 6 the filter failed; 130 cancelled (Ctrl-C).\n"
    "A batch goes on past a failing file and ends with a summary. No partial output is ever left.";

std::string DefaultText(const ParameterInfo& info) { return ParameterValueText(info, info.defaultValue); }

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\e";
        else if (c == '-') out += "\\-";
        else out += c;
    }
    return out;
}

// The long names of every option, with their dashes; the hidden ones (of
// the build) only when asked for.
std::vector<std::string> LongNames(const CLI::App& app, bool hidden = false) {
    std::vector<std::string> names;
    for (const CLI::Option* option : app.get_options())
        if (hidden || !option->get_group().empty())
            for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    return names;
}

}  // namespace

const NamedValues<RenderPath>& RenderPathNames() {
    static const NamedValues<RenderPath> names = {{"auto", RenderPath::Auto},
                                                  {"reference", RenderPath::Reference},
                                                  {"exact", RenderPath::Exact},
                                                  {"fourier", RenderPath::Fourier}};
    return names;
}

const NamedValues<WriteOptions::TiffCompression>& TiffCompressionNames() {
    using C = WriteOptions::TiffCompression;
    static const NamedValues<C> names = {
        {"none", C::None}, {"lzw", C::Lzw}, {"deflate", C::Deflate}, {"zstd", C::Zstd}, {"jpeg", C::Jpeg}};
    return names;
}

const NamedValues<WriteOptions::Subsampling>& SubsamplingNames() {
    using S = WriteOptions::Subsampling;
    static const NamedValues<S> names = {{"auto", S::Auto}, {"444", S::Off}, {"420", S::On}};
    return names;
}

namespace {

// Checks a name against its map, in any case, and hands the parser the
// value's number; anything else is refused with the names that are.
template <typename Value>
CLI::Validator NamedValue(const NamedValues<Value>& values) {
    return CLI::Validator(
        [&values](std::string& text) -> std::string {
            std::string lower = text;
            for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
            std::string names;
            for (const auto& [name, value] : values) {
                if (lower == name) {
                    text = std::to_string(static_cast<int>(value));
                    return "";
                }
                names += (names.empty() ? "" : ", ") + name;
            }
            return "'" + text + "' is not one of " + names;
        },
        "");
}

}  // namespace

void DeclareOptions(CLI::App* app, CommandOptions* o) {
    app->name("glyra");
    app->description(kDescription);
    app->footer(kFooter);
    app->set_version_flag("--version", "glyra " GLYRA_VERSION_TEXT);
    app->get_formatter()->column_width(34);

    app->add_option("files", o->positionals, "INPUT OUTPUT, or several inputs with -o (\"-\": standard input or output)")
        ->type_name("FILE");

    const char* const parameters = "Filter parameters";
    for (int i = 0; i < kParameterCount; ++i) {
        const ParameterInfo& info = kParameterTable[i];
        app->add_option("--" + CommandName(info), o->parameterText[i],
                        std::string(info.help) + " [" + ParameterRangeText(info) + ", default " + DefaultText(info) +
                            "]")
            ->type_name(info.kind == ParameterKind::Enumerated ? "TYPE" : "N")
            ->group(parameters);
    }
    app->add_option("--preset", o->presetPath, "read the filter parameters from a TOML preset; options given here win")
        ->type_name("FILE")
        ->group(parameters);
    app->add_option("--save-preset", o->savePresetPath, "write the effective filter parameters to a TOML preset")
        ->type_name("FILE")
        ->group(parameters);

    const char* const files = "Files";
    app->add_option("-o,--output", o->output,
                    "folder, or name pattern with {stem} {name} {ext} {dir} {index} ({index:04}: zero-padded to 4 digits)")
        ->type_name("DIR|PATTERN")
        ->group(files);
    app->add_option("--format", o->format, "output format: " + FormatNames(", ") + " (default: from the output's name)")
        ->type_name("FORMAT")
        ->check(CLI::IsMember(AcceptedFormatNames(), CLI::ignore_case))
        ->group(files);
    app->add_flag("--force", o->force, "allow an output to replace its input")->group(files);
    app->add_option("--index-start", o->indexStart, "the first {index} of a batch")
        ->default_str("1")
        ->check(CLI::Range(0, 1000000000))
        ->group(files);
    app->add_flag("--skip-existing", o->skipExisting,
                  "leave outputs that already exist untouched (resumes a batch cut short)")
        ->group(files);
    app->add_flag("--strip", o->strip, "drop EXIF, XMP, IPTC and texts; the colour profile stays")->group(files);
    app->add_flag("--strip-all", o->stripAll, "drop every piece of metadata, the colour profile too")->group(files);
    app->add_flag("--accept-damaged", o->acceptDamaged,
                  "read a truncated or corrupt input as far as it decodes, with a warning, instead of failing")
        ->group(files);
    app->add_flag("--no-autorotate", o->noAutorotate, "keep the stored pixels and the EXIF orientation")->group(files);
    app->add_option("--max-pixels", o->maxPixels, "refuse images with more pixels than this")
        ->capture_default_str()
        ->check(CLI::Range(int64_t(1), int64_t(kMaxImageSide) * kMaxImageSide))
        ->group(files);
    app->add_flag("-n,--dry-run", o->dryRun, "check and show what would be written, and write nothing")->group(files);
    app->add_option("--flatten", o->flatten,
                    "flatten transparency onto a colour (white unless given: --flatten=black, --flatten=#203040) "
                    "and write without alpha; needed for JPEG")
        ->type_name("[=COLOUR]")
        ->check([](const std::string& text) {
            Colour colour;
            return ParseColour(text, &colour) ? std::string() : "not a colour: white, black, gray or #rrggbb";
        })
        ->group(files);

    const char* const quality = "Output quality";
    app->add_option("--quality", o->jpegQuality, "JPEG quality, 1 to 100")
        ->capture_default_str()
        ->check(CLI::Range(1, 100))
        ->group(quality);
    app->add_option("--jpeg-subsampling", o->jpegSubsampling,
                    "chroma subsampling: auto (4:4:4 from quality 90, else 4:2:0), 444 or 420")
        ->type_name("NAME")
        ->default_str("auto")
        ->transform(NamedValue(SubsamplingNames()))
        ->group(quality);
    app->add_flag("--progressive", o->progressive, "progressive JPEG, interlaced PNG")->group(quality);
    app->add_option("--png-compression", o->pngCompression,
                    "zlib level of PNG output: 1 writes fast with files a few per cent larger, 9 the smallest")
        ->capture_default_str()
        ->check(CLI::Range(0, 9))
        ->group(quality);
    app->add_option("--tiff-compression", o->tiffCompression, "TIFF compression: none, lzw, deflate (at its fastest level, with the predictor), zstd, jpeg")
        ->type_name("NAME")
        ->default_str("deflate")
        ->transform(NamedValue(TiffCompressionNames()))
        ->group(quality);
    app->add_option("--webp-quality", o->webpQuality, "WebP quality, 1 to 100")
        ->capture_default_str()
        ->check(CLI::Range(1, 100))
        ->group(quality);
    app->add_flag("--lossless", o->webpLossless, "lossless WebP")->group(quality);

    const char* const running = "Running";
    app->add_option("-j,--jobs", o->jobs, "files worked on at once, fewer when memory is short")
        ->capture_default_str()
        ->check(CLI::Range(1, 64))
        ->group(running);
    app->add_option("--threads", o->threads, "worker threads of the render (0: one per core, shared by the jobs)")
        ->capture_default_str()
        ->check(CLI::Range(0, 256))
        ->group(running);
    app->add_option("--render", o->render,
                    "auto (the fastest path, pass by pass), reference (the original render), exact (banded,\n"
                    "bit-identical to reference) or fourier (by transform where it fits)")
        ->type_name("NAME")
        ->default_str("auto")
        ->transform(NamedValue(RenderPathNames()))
        ->group(running);
    app->add_flag("-q,--quiet", o->quiet, "print errors only")->group(running);
    app->add_flag("--report-stages", o->reportStages, "a line as each file's reading, filtering and writing begins, and their times")
        ->group("");
    app->add_flag("-v,--verbose", o->verbose, "report each file: size, format, conversions, time")->group(running);
}

std::vector<std::string> ArgumentsWithDefaults(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    for (size_t i = 1; i < arguments.size() && arguments[i] != "--"; ++i)
        if (arguments[i] == "--flatten") arguments[i] = "--flatten=white";
    return arguments;
}

std::string UnknownOptionMessage(const CLI::App& app, int argc, char** argv) {
    const std::vector<std::string> all = LongNames(app, true), shown = LongNames(app);
    for (int i = 1; i < argc; ++i) {
        const std::string token = argv[i];
        if (token == "--") break;
        if (token.rfind("--", 0) != 0) continue;
        const std::string name = token.substr(0, token.find('='));
        if (std::find(all.begin(), all.end(), name) != all.end()) continue;
        const std::string nearest = NearestName(name, shown);
        return "unknown option " + name + (nearest.empty() ? "" : "; did you mean " + nearest + "?") +
               " (glyra --help lists them)";
    }
    return {};
}

std::string ManPage(const CLI::App& app) {
    std::ostringstream out;
    out << ".TH GLYRA 1 \"\" \"glyra " GLYRA_VERSION_TEXT "\" \"User Commands\"\n"
        << ".SH NAME\nglyra \\- star\\-streak filter for images\n"
        << ".SH SYNOPSIS\n.B glyra\n[\\fIOPTIONS\\fR] \\fIINPUT\\fR \\fIOUTPUT\\fR\n.br\n.B glyra\n"
        << "[\\fIOPTIONS\\fR] \\fB\\-o\\fR \\fIDIR\\fR|\\fIPATTERN\\fR \\fIINPUT\\fR...\n"
        << ".SH DESCRIPTION\n" << Escape(kDescription) << "\n";
    std::vector<std::string> groups;
    for (const CLI::Option* option : app.get_options())
        if (!option->get_lnames().empty() && !option->get_group().empty() &&
            std::find(groups.begin(), groups.end(), option->get_group()) == groups.end())
            groups.push_back(option->get_group());
    for (const std::string& group : groups) {
        std::string heading = group;
        for (char& c : heading) c = char(std::toupper(static_cast<unsigned char>(c)));
        out << ".SH " << Escape(heading) << "\n";
        for (const CLI::Option* option : app.get_options()) {
            if (option->get_group() != group || option->get_lnames().empty()) continue;
            out << ".TP\n";
            std::string names;
            for (const std::string& name : option->get_snames()) names += "\\fB\\-" + name + "\\fR, ";
            for (const std::string& name : option->get_lnames()) names += "\\fB\\-\\-" + Escape(name) + "\\fR";
            if (option->get_type_size() > 0 && !option->get_type_name().empty())
                names += " \\fI" + Escape(option->get_type_name()) + "\\fR";
            out << names << "\n" << Escape(option->get_description());
            if (!option->get_default_str().empty()) out << " (default: " << Escape(option->get_default_str()) << ")";
            out << "\n";
        }
    }
    out << ".SH NOTES\n.nf\n" << Escape(kFooter) << "\n.fi\n";
    return out.str();
}

namespace {

// What each option that takes a value completes to (--format: the table of
// formats): a list of words, or
// "files" / "folders" / "presets"; options not listed take a free value.
struct CompletionChoice {
    const char* option;  // long name
    const char* words;   // space-separated, or a kind
};
const CompletionChoice kCompletionChoices[] = {
    {"preset", "presets"},
    {"save-preset", "presets"},
    {"output", "folders"},
};

template <typename Value>
std::string NamesOf(const NamedValues<Value>& values) {
    std::string names;
    for (const auto& named : values) names += (names.empty() ? "" : " ") + named.first;
    return names;
}

std::string ChoiceOf(const std::string& option) {
    if (option == "format") return FormatNames(" ");
    if (option == "threshold-type") {
        std::string names;
        for (const ThresholdTypeInfo& type : kThresholdTypeTable) names += (names.empty() ? "" : " ") + std::string(type.name);
        return names;
    }
    if (option == "render") return NamesOf(RenderPathNames());
    if (option == "jpeg-subsampling") return NamesOf(SubsamplingNames());
    if (option == "tiff-compression") return NamesOf(TiffCompressionNames());
    for (const CompletionChoice& choice : kCompletionChoices)
        if (option == choice.option && choice.words) return choice.words;
    return "";
}

// The options a user may type (hidden ones left out), each with its names.
std::vector<const CLI::Option*> ShownOptions(const CLI::App& app) {
    std::vector<const CLI::Option*> shown;
    for (const CLI::Option* option : app.get_options())
        if (!option->get_group().empty() && !option->get_lnames().empty()) shown.push_back(option);
    return shown;
}

bool IsFlag(const CLI::Option* option) { return option->get_items_expected_max() == 0; }

std::string NamesPattern(const CLI::Option* option) {
    std::string pattern;
    for (const std::string& name : option->get_snames()) pattern += (pattern.empty() ? "-" : "|-") + name;
    for (const std::string& name : option->get_lnames()) pattern += (pattern.empty() ? "--" : "|--") + name;
    return pattern;
}

}  // namespace

std::string BashCompletion(const CLI::App& app) {
    std::ostringstream out;
    std::string words;
    for (const CLI::Option* option : ShownOptions(app)) {
        for (const std::string& name : option->get_snames()) words += "-" + name + " ";
        for (const std::string& name : option->get_lnames()) words += "--" + name + " ";
    }
    out << "# bash completion for glyra " GLYRA_VERSION_TEXT "\n"
        << "_glyra() {\n"
        << "  local current=\"${COMP_WORDS[COMP_CWORD]}\" previous=\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
        << "  case \"$previous\" in\n";
    for (const CLI::Option* option : ShownOptions(app)) {
        if (IsFlag(option)) continue;
        const std::string kind = ChoiceOf(option->get_lnames().front());
        std::string reply;
        if (kind == "presets") reply = "$(compgen -f -X '!*.toml' -- \"$current\")";
        else if (kind == "folders") reply = "$(compgen -d -- \"$current\")";
        else if (!kind.empty()) reply = "$(compgen -W '" + kind + "' -- \"$current\")";
        // A free value (a number, a path): nothing to offer but what is typed.
        out << "    " << NamesPattern(option) << ") COMPREPLY=(" << reply << "); return ;;\n";
    }
    out << "  esac\n"
        << "  if [[ \"$current\" == -* ]]; then\n"
        << "    COMPREPLY=($(compgen -W '" << words << "' -- \"$current\"))\n"
        << "  else\n"
        << "    COMPREPLY=($(compgen -f -- \"$current\"))\n"
        << "  fi\n"
        << "}\n"
        << "complete -o filenames -F _glyra glyra\n";
    return out.str();
}

std::string ZshCompletion(const CLI::App& app) {
    std::ostringstream out;
    out << "#compdef glyra\n# zsh completion for glyra " GLYRA_VERSION_TEXT "\n_arguments -s \\\n";
    for (const CLI::Option* option : ShownOptions(app)) {
        std::string description = option->get_description();
        description = description.substr(0, description.find('\n'));
        std::string quoted;  // inside single quotes, and inside _arguments' [...]
        for (char c : description) {
            if (c == '\'') quoted += "'\\''";
            else if (c == '[' || c == ']' || c == ':') quoted += ' ';
            else quoted += c;
        }
        const std::string name = option->get_lnames().front();
        const std::string kind = ChoiceOf(name);
        std::string action;  // none for an on/off flag
        if (!IsFlag(option)) {
            if (kind == "presets") action = ":preset:_files -g \"*.toml\"";
            else if (kind == "folders") action = ":folder or pattern:_files -/";
            else if (!kind.empty()) action = ":" + name + ":(" + kind + ")";
            else action = ":" + name + ": ";
        }
        std::vector<std::string> names;
        for (const std::string& s : option->get_snames()) names.push_back("-" + s);
        for (const std::string& l : option->get_lnames()) names.push_back("--" + l);
        std::string exclusion;
        for (const std::string& n : names) exclusion += (exclusion.empty() ? "" : " ") + n;
        for (const std::string& n : names)
            out << "  '" << (names.size() > 1 ? "(" + exclusion + ")" : "") << n << "[" << quoted << "]" << action
                << "' \\\n";
    }
    out << "  '*:image:_files -g \"*.(png|jpg|jpeg|tif|tiff|webp|PNG|JPG|JPEG|TIF|TIFF|WEBP)\"'\n";
    return out.str();
}
