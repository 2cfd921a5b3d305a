// The command line: values checked with one set of messages, typos answered
// with the nearest option, the version, and the man page and completions made
// from the same declarations as --help.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/command_line.h"
#include "cli/parameter_values.h"
#include "tests/command_test_support.h"

namespace fs = std::filesystem;

TEST(ParameterValues, IntegersInRangeAndThresholdTypesByNameInAnyCase) {
    const ParameterInfo& angle = ParameterOf(&FilterParameters::angle);
    const ParameterInfo& type = ParameterOf(&FilterParameters::thresholdType);
    int16_t value = 0;
    std::string error;
    EXPECT_TRUE(ParseParameterValue(angle, "359", &value, &error));
    EXPECT_EQ(value, 359);
    EXPECT_FALSE(ParseParameterValue(angle, "45.0", &value, &error));
    EXPECT_EQ(error, "\"45.0\" is not an integer");
    EXPECT_FALSE(ParseParameterValue(angle, "360", &value, &error));
    EXPECT_EQ(error, "360 is not in 0..359");
    EXPECT_FALSE(ParseParameterValue(angle, "99999999999999999999", &value, &error));
    EXPECT_FALSE(ParseParameterValue(angle, "", &value, &error));
    EXPECT_FALSE(ParseParameterValue(angle, " 5", &value, &error));
    for (const char* text : {"Average", "AVERAGE", "average", "1"}) {
        EXPECT_TRUE(ParseParameterValue(type, text, &value, &error)) << text;
        EXPECT_EQ(value, Average);
    }
    EXPECT_FALSE(ParseParameterValue(type, "3", &value, &error));
    EXPECT_EQ(ParameterValueText(type, WeightedAverage), "weighted");
    EXPECT_EQ(CommandName(ParameterOf(&FilterParameters::spDephase)), "sp-dephase");
    EXPECT_EQ(NearestName("--treshold", {"--threshold", "--threshold-type", "--brightness"}), "--threshold");
    EXPECT_EQ(NearestName("--zzzzzzzzzz", {"--angle"}), "");
}

TEST_F(GlyraCommand, OptionErrorsSayWhatIsWrong) {
    Write(Path("in.png"), Blank(8, 8, 8, 3, 10));
    const std::string files = " " + Path("in.png") + " " + Path("out.png");
    const struct {
        std::string options;
        std::string says;
    } cases[] = {
        {"--treshold 200", "unknown option --treshold; did you mean --threshold?"},
        {"--angle 45.0", "--angle: \"45.0\" is not an integer"},
        {"--angle 400", "--angle: 400 is not in 0..359"},
        {"--threshold-type glow", "--threshold-type: \"glow\" is not one of plain, average, weighted"},
        {"--format gif", "--format"},
    };
    for (const auto& c : cases) {
        const CommandResult result = Run(c.options + files);
        EXPECT_EQ(result.status, 2) << c.options;
        EXPECT_NE(result.errors.find(c.says), std::string::npos) << c.options << "\n" << result.errors;
        EXPECT_FALSE(fs::exists(Path("out.png")));
    }
    EXPECT_EQ(Run("--threshold-type WEIGHTED --format PNG" + files).status, 0) << "names in any case";
}

TEST_F(GlyraCommand, VersionManPageAndCompletionsComeFromTheOptions) {
    const CommandResult version = Run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.output.find("glyra 0."), std::string::npos) << version.output;
    const CommandResult help = Run("--help");
    EXPECT_NE(help.output.find("Examples:"), std::string::npos);
    ASSERT_EQ(Run("--write-docs " + Path("")).status, 0);
    const std::string man = FileBytes(Path("glyra.1")), bash = FileBytes(Path("glyra.bash")),
                      zsh = FileBytes(Path("_glyra"));
    EXPECT_EQ(man.rfind(".TH GLYRA 1", 0), 0u);
    for (const char* option : {"sp-dephase", "threshold-type", "output", "preset", "strip", "jobs", "max-pixels"}) {
        std::string escaped = std::string("\\-\\-");  // troff writes every dash as \-
        for (const char* c = option; *c; ++c) escaped += *c == '-' ? std::string("\\-") : std::string(1, *c);
        EXPECT_NE(man.find(escaped), std::string::npos) << option;
        EXPECT_NE(bash.find(std::string("--") + option), std::string::npos) << option;
        EXPECT_NE(zsh.find(std::string("--") + option), std::string::npos) << option;
        EXPECT_NE(help.output.find(std::string("--") + option), std::string::npos) << option;
    }
    EXPECT_EQ(std::system(("bash -n " + Path("glyra.bash")).c_str()), 0) << "the completion script parses";
}

namespace {

// What bash offers after the words typed so far (the last one being completed),
// in an empty folder so that file names do not mix in.
std::string BashOffers(const std::string& script, const std::string& folder, const std::vector<std::string>& words) {
    std::string array;
    for (const std::string& word : words) array += " '" + word + "'";
    const std::string driver = folder + "/../complete.sh";
    std::ofstream(driver) << "cd '" << folder << "'\nsource '" << script << "'\nCOMP_WORDS=(glyra" << array
                          << ")\nCOMP_CWORD=" << words.size() << "\n_glyra\nprintf '%s\\n' \"${COMPREPLY[@]}\"\n";
    std::string out;
    FILE* pipe = popen(("bash '" + driver + "' 2>&1").c_str(), "r");
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    if (pipe) pclose(pipe);
    return out;
}

}  // namespace

TEST_F(GlyraCommand, CompletionsOfferEveryOptionAndValuesOnlyWhereAnOptionTakesOne) {
    ASSERT_EQ(Run("--write-docs " + Path("")).status, 0);
    fs::create_directories(Path("empty"));
    const std::string bash = Path("glyra.bash"), zsh = FileBytes(Path("_glyra")), help = Run("--help").output;
    // Every option --help shows, long and short, in both shells.
    const std::string all = BashOffers(bash, Path("empty"), {"-"});
    for (const char* option : {"--preset", "--save-preset", "--strip-all", "--skip-existing", "--accept-damaged",
                               "--index-start", "--tiff-compression", "-o", "-j", "-n", "-q", "-v", "--sp-dephase"}) {
        EXPECT_NE(all.find(std::string(option) + "\n"), std::string::npos) << option << " in bash:\n" << all;
        const bool inZsh = zsh.find(std::string("'") + option + "[") != std::string::npos ||
                           zsh.find(std::string(")") + option + "[") != std::string::npos;
        EXPECT_TRUE(inZsh) << option << " in zsh";
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    // Values after an option that takes them; none after an on/off flag.
    EXPECT_EQ(BashOffers(bash, Path("empty"), {"--format", ""}), "png\njpeg\ntiff\nwebp\n");
    EXPECT_EQ(BashOffers(bash, Path("empty"), {"--tiff-compression", "d"}), "deflate\n");
    EXPECT_EQ(BashOffers(bash, Path("empty"), {"--strip", ""}), "\n") << "a file name is next, and there are none";
    EXPECT_EQ(BashOffers(bash, Path("empty"), {"--jobs", ""}), "\n") << "a number is typed, not offered";
    for (const char* flag : {"--strip[", "--force[", "--dry-run[", "--quiet[", "--skip-existing[", "--lossless["}) {
        const size_t at = zsh.find(flag);
        ASSERT_NE(at, std::string::npos) << flag;
        const size_t end = zsh.find("]", at);
        EXPECT_EQ(zsh.substr(end, 2), "]'") << flag << " takes no value in zsh";
    }
    EXPECT_NE(zsh.find("'--format[output format  png, jpeg, tiff, webp (default  from the output'\\''s name)]"
                       ":format:(png jpeg tiff webp)'"),
              std::string::npos)
        << "quotes in descriptions close and reopen the quoting: " << zsh;
    if (std::system("command -v zsh >/dev/null") == 0) {
        EXPECT_EQ(std::system(("zsh -n " + Path("_glyra")).c_str()), 0) << "the zsh script parses";
    }
}

TEST(CommandLine, NamedValuesComeFromOneMapAndUnknownNamesAreRefusedWhileParsing) {
    CLI::App app;
    CommandOptions options;
    DeclareOptions(&app, &options);
    std::vector<std::string> arguments = {"out.tif", "in.png", "zstd", "--tiff-compression", "EXACT", "--render"};
    app.parse(arguments);  // CLI11 takes them last first
    EXPECT_EQ(options.render, RenderPath::Exact);
    EXPECT_EQ(options.tiffCompression, WriteOptions::TiffCompression::Zstd);
    for (const auto& [option, value] : {std::pair<std::string, std::string>{"--render", "fast"},
                                        {"--render", "2"},
                                        {"--tiff-compression", "gzip"},
                                        {"--jpeg-subsampling", "422"}}) {
        CLI::App again;
        CommandOptions other;
        DeclareOptions(&again, &other);
        std::vector<std::string> refused = {"out.png", "in.png", value, option};
        try {
            again.parse(refused);
            ADD_FAILURE() << option << " " << value << " was taken";
        } catch (const CLI::ParseError& error) {
            EXPECT_NE(std::string(error.what()).find("is not one of"), std::string::npos) << error.what();
        }
    }
    // The completions offer exactly the map's names.
    const std::string bash = BashCompletion(app);
    for (const auto& [name, value] : RenderPathNames()) EXPECT_NE(bash.find(name), std::string::npos) << name;
    EXPECT_NE(bash.find("'none lzw deflate zstd jpeg'"), std::string::npos);
    EXPECT_NE(bash.find("'auto 444 420'"), std::string::npos);
}
