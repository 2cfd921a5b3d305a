// What the command refuses before any work (and what its dry run therefore
// sees), what it keeps of an input's resolution, and how it says what went
// wrong: options that cannot apply, format limits, names too long, alpha
// into JPEG and --flatten, resuming numbered batches, messages, memory.
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/image_inspection.h"
#include "cli/memory_budget.h"
#include "tests/command_test_support.h"

namespace fs = std::filesystem;

TEST_F(GlyraCommand, WhatTheRunWouldRefuseIsRefusedBeforeWorkAndByTheDryRun) {
    Write(Path("in.png"), Blank(24, 16, 8, 3, 60));
    Write(Path("alpha.png"), Blank(24, 16, 8, 4, 200));
    Write(Path("wide.png"), Blank(16400, 2, 8, 3, 10));
    const std::string longName(260, 'a');
    const struct {
        std::string arguments;
        int status;
        std::string says;
    } cases[] = {
        {"--quality 50 " + Path("in.png") + " " + Path("o.webp"), 2, "--quality applies to JPEG output"},
        {"--webp-quality 50 " + Path("in.png") + " " + Path("o.jpg"), 2, "--webp-quality applies to WebP"},
        {"--lossless " + Path("in.png") + " " + Path("o.jpg"), 2, "--lossless applies to WebP"},
        {"--png-compression 9 " + Path("in.png") + " " + Path("o.tif"), 2, "--png-compression applies to PNG"},
        {"--tiff-compression lzw " + Path("in.png") + " " + Path("o.png"), 2, "--tiff-compression applies to TIFF"},
        {"--format png " + Path("in.png") + " " + Path("o.jpg"), 2, "the name says JPEG but --format says PNG"},
        {Path("in.png") + " " + Path(longName.substr(0, 250) + ".png"), 2, "too long"},
        {Path("wide.png") + " " + Path("o.webp"), 4, "WebP holds at most 16383 pixels a side"},
        {Path("alpha.png") + " " + Path("o.jpg"), 4, "--flatten"},
        {"--flatten=purple " + Path("alpha.png") + " " + Path("o.jpg"), 2, "not a colour"},
        {Path("in.png") + " " + Path("in.png") + " -o " + Path("o.png"), 2, "names one file"},
    };
    for (const auto& c : cases) {
        for (const char* dry : {"", "-n "}) {
            const CommandResult result = Run(dry + c.arguments);
            EXPECT_EQ(result.status, c.status) << dry << c.arguments << "\n" << result.errors;
            EXPECT_NE(result.errors.find(c.says), std::string::npos) << dry << c.arguments << "\n" << result.errors;
            EXPECT_FALSE(fs::exists(Path("o.jpg")) || fs::exists(Path("o.webp")) || fs::exists(Path("o.png")));
        }
    }
    // An option that applies to some outputs of a batch is taken.
    EXPECT_EQ(Run("--quality 80 -o '" + Path("{stem}.{ext}") + "' --format jpeg " + Path("in.png")).status, 0);
}

TEST_F(GlyraCommand, FlattenPutsTransparencyOntoAColourAndDropsIt) {
    ImageFile half = Blank(4, 2, 8, 4, 255);
    for (int p = 0; p < 8; ++p) half.SetSample(size_t(p) * 4 + 3, p < 4 ? 0 : 128);  // top row clear, bottom half
    Write(Path("alpha.png"), half);
    // The green of each: a clear pixel shows the background, white at half
    // alpha is halfway to it.
    for (const auto& [option, top, bottom] : {std::tuple<std::string, int, int>{"--flatten", 255, 255},
                                              {"--flatten=black", 0, 128},
                                              {"--flatten=#ff0000", 0, 128}}) {
        SCOPED_TRACE(option);
        // Nothing drawn: the samples are the flattening alone.
        ASSERT_EQ(Run(option + " --h0-density 0 --sp-density 0 " + Path("alpha.png") + " " + Path("flat.png")).status, 0);
        const ImageFile flat = Read(Path("flat.png"));
        EXPECT_EQ(flat.channels, 3);
        EXPECT_EQ(flat.Sample(1), top);
        EXPECT_EQ(flat.Sample(size_t(4) * 3 + 1), bottom);
        fs::remove(Path("flat.png"));
    }
    EXPECT_EQ(Run("--flatten " + Path("alpha.png") + " " + Path("flat.jpg")).status, 0);
    EXPECT_EQ(Read(Path("flat.jpg")).channels, 3);
}

TEST_F(GlyraCommand, ANumberedBatchResumesOnlyWhenItsInputsAreTheSame) {
    fs::create_directories(Path("f"));
    fs::create_directories(Path("out"));
    for (int i = 1; i <= 4; ++i) Write(Path("f/f" + std::to_string(i) + ".png"), Blank(8, 8, 8, 3, uint16_t(20 * i)));
    const std::string batch = "-o '" + Path("out/frame-{index:04}.png") + "' " + Path("f") + "/*.png";
    ASSERT_EQ(Run(batch).status, 0);
    ASSERT_TRUE(fs::exists(Path("out/.glyra-frames")));
    // Cut short: the last frame is missing. Resuming does only that one.
    fs::remove(Path("out/frame-0004.png"));
    const auto third = fs::last_write_time(Path("out/frame-0003.png"));
    ASSERT_EQ(Run("--skip-existing " + batch).status, 0);
    EXPECT_TRUE(fs::exists(Path("out/frame-0004.png")));
    EXPECT_EQ(fs::last_write_time(Path("out/frame-0003.png")), third);
    // A frame deleted from the inputs shifts every number after it: refused, nothing written.
    fs::remove(Path("f/f2.png"));
    fs::remove(Path("out/frame-0004.png"));
    const CommandResult shifted = Run("--skip-existing " + batch);
    EXPECT_EQ(shifted.status, 2) << shifted.errors;
    EXPECT_NE(shifted.errors.find("the inputs changed since the earlier run"), std::string::npos) << shifted.errors;
    EXPECT_FALSE(fs::exists(Path("out/frame-0004.png")));
    EXPECT_EQ(Run("-n --skip-existing " + batch).status, 2) << "the dry run says so too";
    // Without --skip-existing the batch is numbered anew, and resumes from there.
    ASSERT_EQ(Run(batch).status, 0);
    EXPECT_EQ(Run("--skip-existing " + batch).status, 0);
}

TEST_F(GlyraCommand, TheResolutionIsKeptAsTheInputStatedItAndNeverInvented) {
    ImageFile picture = Blank(8, 8, 8, 3, 70);
    Write(Path("plain.png"), picture);  // no pHYs
    for (const char* format : {"png", "tif", "jpg"}) {
        SCOPED_TRACE(format);
        const std::string out = Path(std::string("plain-out.") + format);
        ASSERT_EQ(Run(Path("plain.png") + " " + out).status, 0);
        EXPECT_EQ(ResolutionPerInch(Read(out)), 0.0) << "no resolution invented";
    }
    // 300 dpi stated in a JPEG's JFIF: 300 in every format that holds one.
    Write(Path("bare.jpg"), picture);
    const std::string bare = FileBytes(Path("bare.jpg"));
    std::ofstream(Path("jfif.jpg"), std::ios::binary)
        << bare.substr(0, 2) << std::string("\xff\xe0\x00\x10JFIF\x00\x01\x01\x01\x01\x2c\x01\x2c\x00\x00", 18)
        << bare.substr(2);
    // A PNG's 11811 pixels per metre: 300 per inch exactly where the format holds inches.
    ASSERT_EQ(Run(Path("jfif.jpg") + " " + Path("metres.png")).status, 0);
    for (const char* format : {"tif", "jpg"}) {
        const std::string out = Path(std::string("from-metres.") + format);
        ASSERT_EQ(Run(Path("metres.png") + " " + out).status, 0);
        EXPECT_EQ(ResolutionPerInch(Read(out)), 300.0) << format;
    }
    for (const char* format : {"png", "tif", "jpg"}) {
        SCOPED_TRACE(format);
        const std::string out = Path(std::string("jfif-out.") + format);
        ASSERT_EQ(Run(Path("jfif.jpg") + " " + out).status, 0);
        EXPECT_NEAR(ResolutionPerInch(Read(out)), 300.0, 0.05);
        ASSERT_EQ(Run("--force --strip " + Path("jfif.jpg") + " " + out).status, 0);
        EXPECT_NEAR(ResolutionPerInch(Read(out)), 300.0, 0.05) << "--strip keeps it";
    }
}

TEST_F(GlyraCommand, MessagesSayWhatTheInputIsAndWhyAWriteFailed) {
    fs::create_directories(Path("folder.png"));
    std::ofstream(Path("empty.png")).close();
    std::ofstream(Path("notes.png")) << "shopping list\n";
    std::ofstream(Path("broken.tif"), std::ios::binary) << std::string("II*\0\x08\0\0\0\xff\xff", 10);
    Write(Path("in.png"), Blank(8, 8, 8, 3, 60));
    const struct {
        std::string arguments;
        std::string says;
    } cases[] = {
        {Path("folder.png") + " " + Path("o.png"), "is a folder"},
        {Path("empty.png") + " " + Path("o.png"), "is an empty file"},
        {Path("notes.png") + " " + Path("o.png"), "is a text file"},
        {Path("broken.tif") + " " + Path("o.png"), "TIFF"},
        {"--format png " + Path("in.png") + " /dev/full", "No space left on device"},
    };
    for (const auto& c : cases) {
        const CommandResult result = Run(c.arguments);
        EXPECT_NE(result.status, 0) << c.arguments;
        EXPECT_NE(result.errors.find(c.says), std::string::npos) << c.arguments << "\n" << result.errors;
        EXPECT_EQ(result.errors.find("not a PNG, JPEG, TIFF or WebP"), std::string::npos) << result.errors;
    }
}

TEST_F(GlyraCommand, TheMemoryEstimateIsWithinHalfAgainOfTheMeasuredPeak) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory is no part of the command's";
#endif
    // A 12-megapixel photograph with a few lights, read and written as the command does.
    ImageFile photo = Blank(4000, 3000, 8, 3, 0);
    for (size_t i = 0; i < photo.SampleCount(); ++i) photo.SetSample(i, uint16_t(30 + (i * 7919) % 40));
    for (size_t p = 0; p < 40; ++p)
        for (int c = 0; c < 3; ++c) photo.SetSample((p * 299993 % (4000 * 3000)) * 3 + size_t(c), 255);
    Write(Path("photo.jpg"), photo);
    ASSERT_EQ(Run(Path("photo.jpg") + " " + Path("out.png")).status, 0);
    rusage usage{};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    const double peak = double(usage.ru_maxrss) * 1024.0;
    const double estimate = double(FilterMemoryNeed(4000, 3000, 3, 8, false));
    EXPECT_LT(estimate, peak * 1.5) << "estimate " << estimate / 1e6 << " MB, peak " << peak / 1e6 << " MB";
    EXPECT_GT(estimate, peak / 1.5) << "estimate " << estimate / 1e6 << " MB, peak " << peak / 1e6 << " MB";
}
