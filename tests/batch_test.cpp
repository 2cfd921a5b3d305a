// Batches: several inputs into a folder or through a name pattern, standard
// input and output, a failing file in the middle, files in parallel, a dry
// run, and presets.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/output_plan.h"
#include "tests/command_test_support.h"

namespace fs = std::filesystem;

namespace {

ImageFile Lit(int32_t x) {
    ImageFile image = Blank(48, 32, 8, 3, 20);
    for (int c = 0; c < 3; ++c) image.SetSample(size_t((16 * 48 + x) * 3 + c), 255);
    return image;
}

}  // namespace

TEST_F(GlyraCommand, ABatchGoesIntoAFolderOrThroughAPatternAndPastAFailingFile) {
    for (int i = 0; i < 3; ++i) Write(Path("frame" + std::to_string(i) + ".png"), Lit(10 + 10 * i));
    fs::create_directory(Path("done"));
    CommandResult result = Run("-o " + Path("done") + " " + Path("frame0.png") + " " + Path("frame1.png") + " " +
                               Path("frame2.png"));
    ASSERT_EQ(result.status, 0) << result.errors;
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(fs::exists(Path("done/frame" + std::to_string(i) + ".png")));

    result = Run("-o '" + Path("{stem}-stars.{ext}") + "' --format jpeg " + Path("frame0.png") + " " + Path("frame1.png"));
    ASSERT_EQ(result.status, 0) << result.errors;
    EXPECT_TRUE(fs::exists(Path("frame0-stars.jpg")));
    EXPECT_TRUE(fs::exists(Path("frame1-stars.jpg")));

    // A file that is no image in the middle: the others are written, a summary names it.
    std::ofstream(Path("broken.png")) << "not an image";
    fs::create_directory(Path("mixed"));
    result = Run("-o " + Path("mixed") + " " + Path("frame0.png") + " " + Path("broken.png") + " " + Path("frame2.png"));
    EXPECT_EQ(result.status, 3) << result.errors;
    EXPECT_TRUE(fs::exists(Path("mixed/frame0.png")));
    EXPECT_TRUE(fs::exists(Path("mixed/frame2.png")));
    EXPECT_FALSE(fs::exists(Path("mixed/broken.png")));
    EXPECT_NE(result.errors.find("2 of 3 files written"), std::string::npos) << result.errors;

    // Outputs are checked before any work: a missing folder stops the batch at once.
    result = Run("-o " + Path("nowhere/{stem}.png") + " " + Path("frame0.png") + " " + Path("frame1.png"));
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.errors.find("does not exist"), std::string::npos) << result.errors;
    // Two inputs that would land in one file.
    result = Run("-o " + Path("same.png") + " " + Path("frame0.png") + " " + Path("frame1.png"));
    EXPECT_EQ(result.status, 2);
}

TEST_F(GlyraCommand, ParallelJobsAndThreadsGiveTheSameBytes) {
    for (int i = 0; i < 4; ++i) Write(Path("f" + std::to_string(i) + ".png"), Lit(5 + 9 * i));
    const std::string inputs = Path("f0.png") + " " + Path("f1.png") + " " + Path("f2.png") + " " + Path("f3.png");
    fs::create_directory(Path("one"));
    fs::create_directory(Path("two"));
    ASSERT_EQ(Run("--threads 1 -o " + Path("one") + " " + inputs).status, 0);
    ASSERT_EQ(Run("-j 2 -o " + Path("two") + " " + inputs).status, 0);
    for (int i = 0; i < 4; ++i) {
        const std::string name = "/f" + std::to_string(i) + ".png";
        EXPECT_EQ(FileBytes(Path("one") + name), FileBytes(Path("two") + name)) << name;
    }
}

TEST_F(GlyraCommand, StandardInputAndOutputNeedAFormat) {
    Write(Path("in.png"), Lit(20));
    CommandResult result = Run("--format png - - < " + Path("in.png"));
    ASSERT_EQ(result.status, 0) << result.errors;
    std::ofstream(Path("piped.png"), std::ios::binary) << result.output;
    ASSERT_EQ(Run(Path("in.png") + " " + Path("direct.png")).status, 0);
    EXPECT_EQ(Read(Path("piped.png")).Samples(), Read(Path("direct.png")).Samples());
    result = Run(Path("in.png") + " -");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.errors.find("--format"), std::string::npos);
}

TEST_F(GlyraCommand, ADryRunShowsThePlanAndWritesNothing) {
    Write(Path("a.png"), Lit(5));
    Write(Path("b.png"), Lit(9));
    const CommandResult result =
        Run("-n -o '" + Path("{stem}.{ext}") + "' --format webp " + Path("a.png") + " " + Path("b.png"));
    ASSERT_EQ(result.status, 0) << result.errors;
    EXPECT_NE(result.output.find(Path("a.webp")), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("WebP"), std::string::npos);
    EXPECT_FALSE(fs::exists(Path("a.webp")));
}

TEST_F(GlyraCommand, PresetsAreWrittenReadAndOverriddenByOptions) {
    Write(Path("in.png"), Lit(20));
    ASSERT_EQ(Run("--line-type 4 --angle 30 --threshold-type Average --save-preset " + Path("p.toml")).status, 0);
    const std::string preset = FileBytes(Path("p.toml"));
    EXPECT_NE(preset.find("line-type = 4"), std::string::npos) << preset;
    EXPECT_NE(preset.find("threshold-type = \"average\""), std::string::npos) << preset;

    ASSERT_EQ(Run("--preset " + Path("p.toml") + " " + Path("in.png") + " " + Path("preset.png")).status, 0);
    ASSERT_EQ(Run("--line-type 4 --angle 30 --threshold-type 1 " + Path("in.png") + " " + Path("options.png")).status, 0);
    EXPECT_EQ(FileBytes(Path("preset.png")), FileBytes(Path("options.png")));
    ASSERT_EQ(Run("--preset " + Path("p.toml") + " --angle 0 " + Path("in.png") + " " + Path("override.png")).status, 0);
    EXPECT_NE(FileBytes(Path("override.png")), FileBytes(Path("preset.png"))) << "the option wins";

    const struct {
        std::string text;
        std::string mentions;
    } bad[] = {
        {"angle = 400\n", "line 1: angle: 400 is not in 0..359"},
        {"brightness = 1\nangel = 3\n", "line 2: unknown parameter \"angel\"; did you mean \"angle\""},
        {"line-type = 2.5\n", "not an integer"},
        {"threshold-type = \"glow\"\n", "not one of plain, average, weighted"},
        {"angle = [1, 2]\n", "must be a number"},
        {"angle = \n", "line 1"},
    };
    for (const auto& b : bad) {
        std::ofstream(Path("bad.toml")) << b.text;
        const CommandResult result = Run("--preset " + Path("bad.toml") + " " + Path("in.png") + " " + Path("o.png"));
        EXPECT_EQ(result.status, 2) << b.text;
        EXPECT_NE(result.errors.find(b.mentions), std::string::npos) << b.text << result.errors;
        EXPECT_FALSE(fs::exists(Path("o.png")));
    }
}

