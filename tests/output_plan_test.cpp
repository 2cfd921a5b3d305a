// Output names from patterns and folders, before any file is touched, and
// the table of formats they come from.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/output_plan.h"

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

// One table of formats answers for names, extensions and the loaders trusted
// with input; a loader outside it (GIF, SVG, PDF, ...) reads nothing.
TEST(ImageFormats, NamesAndLoadersComeFromOneTable) {
    ImageFormat format = ImageFormat::Png;
    ASSERT_EQ(FormatLoaders().size(), 4u);
    for (const char* loader : FormatLoaders()) {
        ASSERT_TRUE(FormatFromLoader((std::string(loader) + "File").c_str(), &format)) << loader;
        ImageFormat named = ImageFormat::Png;
        ASSERT_TRUE(FormatFromName(FormatExtension(format), &named)) << loader;
        EXPECT_EQ(named, format);
    }
    EXPECT_TRUE(FormatFromLoader("VipsForeignLoadWebpBuffer", &format));
    EXPECT_EQ(format, ImageFormat::Webp);
    for (const char* foreign : {"VipsForeignLoadGifFile", "VipsForeignLoadSvgFile", "VipsForeignLoadPdfFile", ""})
        EXPECT_FALSE(FormatFromLoader(foreign, &format)) << foreign;
    EXPECT_FALSE(FormatFromLoader(nullptr, &format));
}
