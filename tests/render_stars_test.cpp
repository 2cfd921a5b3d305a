// The star render pass, on planes and through a host.
#include <gtest/gtest.h>

#include <cmath>

#include "interface/result_codes.h"
#include "render/render_stars.h"
#include "render/star_pattern.h"
#include "render/streak_profile.h"
#include "tests/render_bench.h"
#include "tests/test_support.h"

namespace {

// A one-row gray 8-bit image through a whole host run with the given parameters.
std::vector<uint16_t> FilterRow(const std::vector<uint16_t>& row, const std::function<void(FilterParameters&)>& edit,
                                int depth = 8) {
    HostImage image = MakeHostImage(int32_t(row.size()), 1, depth, 1, false);
    image.SetSamples(row);
    HostSettings settings;
    settings.offerDescriptors = false;
    TestHost host(image, settings);
    host.Call(Plugin(), filterSelectorPrepare);
    edit(*reinterpret_cast<FilterParameters*>(const_cast<int16_t*>(host.ParameterValues())));
    EXPECT_EQ(host.Run(Plugin(), false).result, noErr);
    return host.Image().Samples();
}

void Defaults(FilterParameters&) {}

}  // namespace

TEST(RenderStars, AFiveByOneRowWithTheDefaults) {
    EXPECT_EQ(FilterRow({0, 0, 255, 0, 0}, Defaults), (std::vector<uint16_t>{127, 255, 255, 255, 127}));
}

TEST(RenderStars, ASampleEqualToTheThresholdIsAHighlight) {
    auto at = [](int threshold) {
        return [threshold](FilterParameters& p) {
            p.threshold = int16_t(threshold);
            p.lineType = 1;
        };
    };
    EXPECT_GT(FilterRow({0, 0, 200, 0, 0}, at(200))[1], 0);
    EXPECT_EQ(FilterRow({0, 0, 199, 0, 0}, at(200)), (std::vector<uint16_t>{0, 0, 199, 0, 0}));
    EXPECT_EQ(FilterRow({0, 0, 254, 0, 0}, at(255)), (std::vector<uint16_t>{0, 0, 254, 0, 0}));
    EXPECT_GT(FilterRow({0, 0, 255, 0, 0}, at(255))[1], 0);
    EXPECT_GT(FilterRow({0, 0, 32768, 0, 0}, at(255), 16)[1], 0);
    EXPECT_EQ(FilterRow({0, 0, 32767, 0, 0}, at(255), 16), (std::vector<uint16_t>{0, 0, 32767, 0, 0}));
    // Threshold 0: every pixel qualifies, but a black one adds no light.
    EXPECT_EQ(FilterRow({0, 0, 0, 0, 0}, at(0)), (std::vector<uint16_t>{0, 0, 0, 0, 0}));
    EXPECT_EQ(FilterRow({0, 0, 1, 0, 0}, at(0))[1], 1);
}

TEST(RenderStars, AWhitePixelQualifiesAtFullThresholdUnderEveryType) {
    for (int16_t type : {0, 1, 2}) {
        RenderBench bench(3, 5, 1);
        bench.parameters.threshold = 255;
        bench.parameters.thresholdType = type;
        for (int p = 0; p < 3; ++p) bench.At(p, 0, 2) = 1.0f;
        bench.Render();
        EXPECT_EQ(bench.result, noErr);
        for (int p = 0; p < 3; ++p) EXPECT_GT(bench.At(p, 0, 1), 0.0f) << "type " << type << " plane " << p;
    }
}

TEST(RenderStars, NoLightLeavesSamplesExactlyAsTheyWere) {
    RenderBench bench(3, 16, 12);
    for (int p = 0; p < 3; ++p)
        for (int32_t r = 0; r < 12; ++r)
            for (int32_t c = 0; c < 16; ++c) bench.At(p, r, c) = float((p * 31 + r * 7 + c) % 200) / 255.0f;
    const auto before = bench.planeData;
    bench.Render();
    EXPECT_EQ(bench.result, noErr);
    EXPECT_EQ(bench.planeData, before) << "nothing reaches the threshold of 250";
}

TEST(RenderStars, NegativeStreakLightNeverDarkens) {
    // With the defaults the profile is negative at a distance of 100 pixels in pass 0.
    ProfileTable* table = NewProfileTable(300, 1, 1.0, 0.5, 343, 0, 343, 0.125, 15625, 50, 1.0);
    ASSERT_LT(table->values[200], 0.0);
    FreeProfileTable(table);
    RenderBench bench(1, 300, 1);
    bench.parameters.lineType = 1;
    bench.At(0, 0, 0) = 1.0f;
    bench.At(0, 0, 101) = 0.5f;
    bench.Render();
    EXPECT_EQ(bench.At(0, 0, 101), 0.5f);
}

TEST(RenderStars, TheTransparencyPlaneIsNeverRendered) {
    for (int colorPlanes : {1, 3}) {
        HostImage image = MakeHostImage(9, 9, 8, colorPlanes, true);
        for (int32_t r = 0; r < 9; ++r)
            for (int32_t c = 0; c < 9; ++c) image.Set(r, c, colorPlanes, uint16_t((r * 9 + c) * 3));
        for (int p = 0; p < colorPlanes; ++p) image.Set(4, 4, p, 255);
        TestHost host(image, HostSettings{});
        ASSERT_EQ(host.Run(Plugin(), false).result, noErr);
        for (int32_t r = 0; r < 9; ++r)
            for (int32_t c = 0; c < 9; ++c)
                ASSERT_EQ(host.Image().At(r, c, colorPlanes), image.At(r, c, colorPlanes)) << r << "," << c;
        EXPECT_GT(host.Image().At(4, 6, 0), 0) << "the colour planes were rendered";
    }
    EXPECT_EQ(RenderedPlaneCount(1), 1);
    EXPECT_EQ(RenderedPlaneCount(2), 1);
    EXPECT_EQ(RenderedPlaneCount(3), 3);
    EXPECT_EQ(RenderedPlaneCount(4), 3);
    EXPECT_EQ(RenderedPlaneCount(12), 8);
}

TEST(RenderStars, AnUnknownLineTypeLeavesTheImageUnchanged) {
    for (int16_t lineType : {0, 5, -3}) {
        const std::vector<uint16_t> row = {0, 10, 255, 255, 30, 0};
        EXPECT_EQ(FilterRow(row, [lineType](FilterParameters& p) { p.lineType = lineType; }), row) << lineType;
    }
}

TEST(RenderStars, AverageLetsRedStreakLightMakeGreenAndBlueHighlights) {
    auto render = [](int16_t type, bool neighbour) {
        RenderBench bench(3, 21, 1);
        bench.parameters.threshold = 80;  // 0.3137
        bench.parameters.thresholdType = type;
        bench.parameters.lineType = 1;
        bench.At(0, 0, 10) = 1.0f;  // pure red: its average, 0.333, qualifies
        if (neighbour) {
            // 0.2745 by itself and 0.183 on average: a highlight only once red streak light reaches it.
            bench.At(1, 0, 11) = 70 / 255.0f;
            bench.At(2, 0, 11) = 70 / 255.0f;
        }
        bench.Render();
        return bench.planeData;
    };
    const auto average = render(Average, true);
    EXPECT_GT(average[1][13], 0.0f) << "pixel 11 stamped green streaks in pass 1";
    EXPECT_GT(average[2][13], 0.0f) << "and blue in pass 2";
    EXPECT_EQ(render(Plain, true)[1][13], 0.0f);
    const auto redOnly = render(Average, false);
    EXPECT_GT(redOnly[0][13], 0.0f);
    for (float green : redOnly[1]) EXPECT_EQ(green, 0.0f) << "a pure red highlight draws red streaks only";
}

TEST(RenderStars, ReportsProgressRowByRowAndOnceMoreAtTheEnd) {
    RenderBench bench(3, 4, 25);
    bench.Render();
    const std::vector<std::pair<int32_t, int32_t>> expected = {
        {10, 150},  {20, 150},  {30, 150},  {35, 150},  {45, 150},  {55, 150},  {60, 150},
        {70, 150},  {80, 150},  {85, 150},  {95, 150},  {105, 150}, {110, 150}, {120, 150},
        {130, 150}, {135, 150}, {145, 150}, {155, 150}, {150, 150}};
    EXPECT_EQ(RenderBench::progress, expected);
    // After the allocations, after each pass's profile, and at every check point.
    EXPECT_EQ(RenderBench::abortCalls, 1 + 3 * (1 + 6) + 1);
}

TEST(RenderStars, MissingHostCallbacksAreSkipped) {
    RenderBench bench(1, 5, 1);
    bench.record.abortProc = nullptr;
    bench.record.progressProc = nullptr;
    bench.At(0, 0, 2) = 1.0f;
    bench.Render();
    EXPECT_EQ(bench.result, noErr);
    EXPECT_GT(bench.At(0, 0, 0), 0.0f);
}

TEST(RenderStars, CancellingInTheSecondPassKeepsTheFirstPlaneRendered) {
    auto scene = [](RenderBench& bench) {
        for (int p = 0; p < 3; ++p) bench.At(p, 12, 3) = 1.0f;
    };
    RenderBench full(3, 7, 25);
    scene(full);
    full.Render();

    RenderBench cancelled(3, 7, 25);
    scene(cancelled);
    // Abort calls: 1 after allocation; pass 0: 1 after its profile and 6 check points; pass 1: 1, then its first check point.
    RenderBench::abortWhen = [](int call) { return call == 10; };
    cancelled.Render();
    EXPECT_EQ(cancelled.result, userCanceledErr);
    EXPECT_EQ(cancelled.planeData[0], full.planeData[0]);
    EXPECT_NE(cancelled.planeData[1], full.planeData[1]);

    // Through a host, the output stays as the host supplied it.
    HostImage image = SmallImage(7, 25);
    for (int p = 0; p < 3; ++p) image.Set(12, 3, p, 255);
    HostSettings settings;
    int calls = 0;
    settings.onAbort = [&calls] { return ++calls == 10; };
    TestHost host(image, settings);
    RunOutcome outcome = host.Run(Plugin(), false);
    EXPECT_EQ(outcome.continueResult, userCanceledErr);
    EXPECT_EQ(host.Image().Samples(), image.Samples());
    EXPECT_EQ(host.Destination().Samples(), image.Samples()) << "outData was not written";
}

TEST(RenderStars, ValuesOutsideTheirRangesNeverProduceNonFiniteSamples) {
    // An amplitude of 0 turns the spectral term off instead of filling the image with NaN.
    const std::vector<uint16_t> row(60, 0);
    std::vector<uint16_t> lit = row;
    lit[30] = 255;
    const auto zeroAmplitude = FilterRow(lit, [](FilterParameters& p) { p.spAmplitude = 0; });
    const auto noSpectrum = FilterRow(lit, [](FilterParameters& p) { p.spDensity = 0; });
    EXPECT_EQ(zeroAmplitude, noSpectrum);

    // A negative extent grows without bound until the term overflows; from there it adds nothing.
    std::vector<uint16_t> wide(300, 0);
    wide[0] = 255;
    const auto negative = FilterRow(wide, [](FilterParameters& p) {
        p.lineType = 1;
        p.spDensity = 0;
        p.h0Extent = -3;
    });
    EXPECT_EQ(negative[139], 255);
    EXPECT_EQ(negative[140], 0);
}

TEST(RenderStars, ScriptedAnglesBelowMinusNinetyDrawTheLineOfTheirHalfTurn) {
    auto render = [](int16_t angle) {
        RenderBench bench(1, 40, 40);
        bench.parameters.angle = angle;
        bench.parameters.lineType = 3;
        bench.At(0, 20, 20) = 1.0f;
        bench.At(0, 3, 30) = 1.0f;
        bench.Render();
        return bench.planeData[0];
    };
    EXPECT_EQ(render(-150), render(30));
    EXPECT_EQ(render(-32768), render(-32768 + 182 * 180));
}

TEST(RenderStars, MoreThanEightHostPlanesRenderOnlyTheImportedOnes) {
    RenderBench bench(10, 5, 1);
    ASSERT_EQ(bench.planeData.size(), 8u);
    for (int p = 0; p < 8; ++p) bench.At(p, 0, 2) = 1.0f;
    bench.Render();
    EXPECT_EQ(bench.result, noErr);
    for (int p = 0; p < 8; ++p) EXPECT_GT(bench.At(p, 0, 1), 0.0f) << p;
}

TEST(RenderStars, AMissingParameterBlockIsRefused) {
    RenderBench bench(1, 5, 1);
    bench.master = nullptr;
    bench.Render();
    EXPECT_EQ(bench.result, filterBadParameters);
}
