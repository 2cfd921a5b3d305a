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

TEST(OutputPlan, NamesFromPatternsAndFolders) {
    auto expand = [](const std::string& pattern, const std::string& input, ImageFormat format, long long index) {
        std::string out, error;
        EXPECT_TRUE(ExpandPattern(pattern, input, format, index, &out, &error)) << error;
        return out;
    };
    EXPECT_EQ(expand("{dir}/{stem}-stars.{ext}", "shots/a.tiff", ImageFormat::Tiff, 1), "shots/a-stars.tif");
    EXPECT_EQ(expand("out/{index}-{name}", "x.png", ImageFormat::Png, 7), "out/7-x.png");
    EXPECT_EQ(expand("{stem}.{ext}", "-", ImageFormat::Webp, 1), "stdin.webp");
    // Time-lapse frames sort by name: {index:04} pads, and wider numbers still fit.
    EXPECT_EQ(expand("f{index:04}.{ext}", "a.png", ImageFormat::Png, 7), "f0007.png");
    EXPECT_EQ(expand("f{index:4}.{ext}", "a.png", ImageFormat::Png, 12345), "f12345.png");
    std::string out, error;
    EXPECT_FALSE(ExpandPattern("out/{foo}.png", "a.png", ImageFormat::Png, 1, &out, &error));
    EXPECT_NE(error.find("{foo}"), std::string::npos) << "the unknown field is named: " << error;
    EXPECT_FALSE(ExpandPattern("out/{index:x}.png", "a.png", ImageFormat::Png, 1, &out, &error));
    EXPECT_FALSE(ExpandPattern("out/{stem.png", "a.png", ImageFormat::Png, 1, &out, &error));

    std::vector<PlannedFile> plan;
    OutputRequest request;
    request.positionals = {"a.png"};
    EXPECT_FALSE(PlanOutputs(request, &plan, &error));
    request.positionals = {"a.png", "b.png", "c.png"};
    EXPECT_FALSE(PlanOutputs(request, &plan, &error));
    EXPECT_NE(error.find("-o"), std::string::npos);
    request.positionals = {"-", "-"};
    EXPECT_FALSE(PlanOutputs(request, &plan, &error)) << "standard output needs a format";
    request.format = ImageFormat::Jpeg;
    ASSERT_TRUE(PlanOutputs(request, &plan, &error)) << error;
    EXPECT_EQ(plan[0].format, ImageFormat::Jpeg);

    // {name} keeps the input's extension, and with it the format; --index-start counts from there.
    const std::string folder = std::filesystem::temp_directory_path().string();
    request = OutputRequest{};
    request.positionals = {"IMG_1.jpg", "IMG_2.tif"};
    request.output = folder + "/{index:03}-{name}";
    request.indexStart = 0;
    ASSERT_TRUE(PlanOutputs(request, &plan, &error)) << error;
    EXPECT_EQ(plan[0].output, folder + "/000-IMG_1.jpg");
    EXPECT_EQ(plan[1].output, folder + "/001-IMG_2.tif");
    EXPECT_EQ(plan[1].format, ImageFormat::Tiff);
    request.output = folder + "/{foo}";
    EXPECT_FALSE(PlanOutputs(request, &plan, &error));
    EXPECT_NE(error.find("{foo}"), std::string::npos) << error;
}
