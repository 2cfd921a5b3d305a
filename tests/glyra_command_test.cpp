// The glyra command end to end: files in, the filter, files out. Expected pixels come from the streak formula written out here,
// not from the renderer.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "cli/image_file.h"
#include "cli/preset_file.h"
#include "core/parameter_table.h"
#include "interface/result_codes.h"
#include "tests/command_test_support.h"
#include "tests/emulated_host/recorded_parameters.h"
#include "tests/test_host.h"
#include "tests/test_support.h"

namespace fs = std::filesystem;

namespace {

// The streak profile at whole-pixel distance n, for the given densities and dephasing.
double Profile(int n, double o, double a0 = 0.5, double e0 = 343, double a2 = 0.125, double e2 = 15625,
               double amp = 50) {
    if (n == 0) return 1.0;
    const double d = n;
    const double h0 = a0 > 0 ? std::exp(-d * d / e0) * a0 : 0;
    const double x = d / amp * o;
    const double sp = a2 > 0 ? std::sin(x * x) * std::exp(-d * d / e2) * a2 : 0;
    return sp + h0;
}

double RoundHalfAway(double x) { return x >= 0 ? std::trunc(x + 0.5) : std::trunc(x - 0.5); }

// The expected file sample of a pixel at distance n along the one line of a
// full-scale highlight, over a background sample s (0..1). Sixteen-bit files
// are filtered on their whole 0..65535 range.
uint16_t Expected(int n, double o, float background, int depth) {
    double v = n == 0 ? 1.0 : Profile(n - 1, o);
    if (v > 1) v = 1;
    if (v < 0) v = 0;
    const float s = n == 0 ? 1.0f : background;
    const float blended = float((1 - v) * double(s) + v);
    return uint16_t(RoundHalfAway(double(blended) * (depth == 8 ? 255 : 65535)));
}

}  // namespace

TEST_F(GlyraCommand, FiltersEveryPngColourTypeAndDepthAsTheFormulaSays) {
    const double phases[3] = {1.0, 1 + 0.01 * 20.0, 1 + 0.02 * 20.0};
    for (int depth : {8, 16}) {
        for (int channels : {1, 2, 3, 4}) {
            SCOPED_TRACE(::testing::Message() << depth << "-bit, " << channels << " channels");
            const int colors = channels >= 3 ? 3 : 1;
            const int32_t width = 120;
            const uint16_t full = depth == 16 ? 65535 : 255;
            // Background 40/255 of full scale; one full-scale highlight at column 20.
            const uint16_t background = depth == 16 ? 10280 : 40;
            ImageFile image = Blank(width, 1, depth, channels, background);
            for (int c = 0; c < colors; ++c) image.SetSample(size_t(20 * channels + c), full);
            if (channels == 2 || channels == 4)
                for (int32_t x = 0; x < width; ++x) image.SetSample(size_t(x * channels + colors), uint16_t(x * 300 % full));
            const std::string in = Path("in.png"), out = Path("out.png");
            Write(in, image);
            const CommandResult result = Run("--line-type 1 " + in + " " + out);
            ASSERT_EQ(result.status, 0) << result.errors;
            const ImageFile filtered = Read(out);
            ASSERT_EQ(filtered.depth, depth);
            ASSERT_EQ(filtered.channels, channels);
            const float s = depth == 16 ? float(10280 * (1.0 / 65535)) : float(40 * 0.00392156862745098);
            for (int32_t x = 0; x < width; ++x) {
                for (int c = 0; c < colors; ++c)
                    ASSERT_EQ(filtered.Sample(size_t(x * channels + c)), Expected(std::abs(x - 20), phases[c], s, depth))
                        << "column " << x << " plane " << c;
                if (channels == 2 || channels == 4) {
                    ASSERT_EQ(filtered.Sample(size_t(x * channels + colors)), image.Sample(size_t(x * channels + colors)))
                        << "transparency at column " << x;
                }
            }
        }
    }
}

TEST_F(GlyraCommand, JpegInAndOut) {
    for (int channels : {1, 3}) {
        ImageFile image = Blank(64, 48, 8, channels, 0);
        for (int c = 0; c < channels; ++c) image.SetSample(size_t((24 * 64 + 32) * channels + c), 255);
        Write(Path("in.png"), image);
        ASSERT_EQ(Run(Path("in.png") + " " + Path("in.jpg")).status, 0);
        const CommandResult result = Run(Path("in.jpg") + " " + Path("out.jpeg"));
        ASSERT_EQ(result.status, 0) << result.errors;
        const ImageFile filtered = Read(Path("out.jpeg"));
        EXPECT_EQ(filtered.width, 64);
        EXPECT_EQ(filtered.height, 48);
        EXPECT_EQ(filtered.channels, channels);
        EXPECT_GT(filtered.Sample(size_t((24 * 64 + 40) * channels)), 100) << "the streak is there";
    }
}

TEST_F(GlyraCommand, OptionsReachThePlugInThroughItsScriptingDescriptor) {
    ImageFile image = Blank(41, 41, 8, 1, 0);
    image.SetSample(20 * 41 + 20, 255);
    Write(Path("in.png"), image);
    ASSERT_EQ(Run("--line-type 1 --angle 90 --threshold-type weighted " + Path("in.png") + " " + Path("v.png")).status, 0);
    const ImageFile vertical = Read(Path("v.png"));
    EXPECT_GT(vertical.Sample(25 * 41 + 20), 0);
    EXPECT_EQ(vertical.Sample(20 * 41 + 25), 0);
    ASSERT_EQ(Run("--brightness 1 --line-type 1 --threshold-type 1 " + Path("in.png") + " " + Path("dim.png")).status, 0);
    EXPECT_EQ(Read(Path("dim.png")).Sample(20 * 41 + 21), uint16_t(RoundHalfAway(double(float(0.02)) * 255)));
}

TEST_F(GlyraCommand, BadInputGivesOneClearLineAndNoOutput) {
    Write(Path("in.png"), Blank(8, 8, 8, 4, 200));
    std::ofstream(Path("text.png")) << "not an image";
    const struct {
        std::string arguments;
        std::string mentions;
    } cases[] = {
        {"--sparkle 3 " + Path("in.png") + " " + Path("out.png"), "sparkle"},
        {"--brightness abc " + Path("in.png") + " " + Path("out.png"), "brightness"},
        {"--brightness 0 " + Path("in.png") + " " + Path("out.png"), "brightness"},
        {"--threshold-type bright " + Path("in.png") + " " + Path("out.png"), "threshold-type"},
        {Path("missing.png") + " " + Path("out.png"), "missing.png"},
        {Path("text.png") + " " + Path("out.png"), "is a text file, not an image"},
        {Path("in.png") + " " + Path("out.gif"), ".png, .jpg, .jpeg, .tif, .tiff or .webp"},
        {Path("in.png") + " " + Path("out.jpg"), "transparency"},
        {Path("in.png"), "an input and an output"},
    };
    for (const auto& c : cases) {
        const CommandResult result = Run(c.arguments);
        EXPECT_NE(result.status, 0) << c.arguments;
        EXPECT_NE(result.errors.find(c.mentions), std::string::npos) << c.arguments << "\n" << result.errors;
        EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << result.errors;
        EXPECT_FALSE(fs::exists(Path("out.png")) || fs::exists(Path("out.jpg")) || fs::exists(Path("out.gif")));
    }
}

TEST_F(GlyraCommand, NeverOverwritesItsInputUnlessForced) {
    ImageFile image = Blank(8, 8, 8, 1, 0);
    image.SetSample(27, 255);
    Write(Path("in.png"), image);
    const auto before = Read(Path("in.png")).Samples();
    const CommandResult refused = Run(Path("in.png") + " " + Path("in.png"));
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.errors.find("--force"), std::string::npos);
    EXPECT_EQ(Read(Path("in.png")).Samples(), before);
    EXPECT_EQ(Run("--force " + Path("in.png") + " " + Path("in.png")).status, 0);
    EXPECT_NE(Read(Path("in.png")).Samples(), before);
}

TEST_F(GlyraCommand, HelpListsEveryOption) {
    const std::string out = Path("help.txt");
    ASSERT_EQ(std::system((std::string(GLYRA_BINARY) + " --help >" + out).c_str()), 0);
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    for (const char* option : {"--brightness", "--threshold", "--threshold-type", "--angle", "--line-type",
                               "--h0-density", "--h0-extent", "--h1-density", "--h1-extent", "--sp-density",
                               "--sp-extent", "--sp-amplitude", "--sp-dephase", "--force", "65535", "32768"})
        EXPECT_NE(text.str().find(option), std::string::npos) << option;
}

TEST_F(GlyraCommand, CtrlCCancelsAndLeavesNoOutputFile) {
    // Every pixel a highlight, rendered the reference way: far more work than the test waits for.
    Write(Path("big.png"), Blank(1200, 1200, 8, 1, 255));
    const std::string out = Path("out.png");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (!std::freopen("/dev/null", "w", stderr)) _exit(126);
        execl(GLYRA_BINARY, GLYRA_BINARY, "--render", "reference", "--threshold", "0", Path("big.png").c_str(),
              out.c_str(), nullptr);
        _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(out + ".partial"));
}

// The command and the plug-in in a host are one filter: randomised scenes and
// parameters, every threshold type, gray and RGB with and without
// transparency, filtered by both, differ in no sample at 8 bits.
TEST_F(GlyraCommand, EightBitResultsEqualThePluginsInAHostSampleForSample) {
    std::mt19937 random(2026);
    int runs = 0;
    for (int16_t thresholdType = 0; thresholdType < kThresholdTypeCount; ++thresholdType)
        for (int channels = 1; channels <= 4; ++channels) {
            FilterParameters parameters;
            for (const ParameterInfo& info : kParameterTable)
                parameters.*info.field =
                    int16_t(std::uniform_int_distribution<int>(info.minimum, info.maximum)(random));
            parameters.thresholdType = thresholdType;
            parameters.threshold = int16_t(std::uniform_int_distribution<int>(200, 250)(random));
            const int32_t width = std::uniform_int_distribution<int32_t>(40, 90)(random);
            const int32_t height = std::uniform_int_distribution<int32_t>(30, 70)(random);
            const int colors = channels >= 3 ? 3 : 1;
            HostImage scene = MakeHostImage(width, height, 8, colors, channels == 2 || channels == 4);
            ImageFile file = Blank(width, height, 8, channels, 0);
            std::bernoulli_distribution bright(0.02);
            std::uniform_int_distribution<int> dark(0, 220), lit(200, 255);
            for (size_t i = 0; i < file.SampleCount(); ++i) {
                const bool alpha = (channels == 2 || channels == 4) && i % size_t(channels) == size_t(colors);
                const uint16_t value = uint16_t(alpha ? lit(random) : bright(random) ? lit(random) : dark(random));
                file.SetSample(i, value);
                scene.SetSample(i, value);
            }
            const std::string in = Path("scene.png"), out = Path("filtered.png"), preset = Path("values.toml");
            Write(in, file);
            std::ofstream(preset) << PresetText(parameters);
            const CommandResult result = Run("--preset " + preset + " " + in + " " + out);
            ASSERT_EQ(result.status, 0) << result.errors;

            TestHost host(scene, HostSettings{});
            host.SetScriptValues(RecordedParameters(parameters));
            ASSERT_EQ(host.Run(Plugin(), false).result, noErr);
            const std::vector<uint16_t> plugin = host.Image().Samples();
            const ImageFile command = Read(out);
            ASSERT_EQ(command.SampleCount(), plugin.size());
            size_t differing = 0, changed = 0;
            for (size_t i = 0; i < plugin.size(); ++i) {
                differing += command.Sample(i) != plugin[i];
                changed += plugin[i] != file.Sample(i);
            }
            EXPECT_EQ(differing, 0u) << "threshold type " << thresholdType << ", " << channels << " channels";
            runs += changed > 0;
        }
    EXPECT_GT(runs, 6) << "most scenes drew streaks";
}
