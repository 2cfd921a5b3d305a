// The proxy scale of After Effects previews: which reduced width is which
// fraction of the full frame, and streaks as long as the full frame's.
#include <gtest/gtest.h>

#include <vector>

#include "host_services/host_kind.h"
#include "passes/filter_pass.h"
#include "passes/proxy_scale.h"
#include "tests/test_support.h"

TEST(ProxyScale, FollowsAnyWidthThatIsNeitherAHalfNorAQuarterOfTheReference) {
    auto sequence = [](std::vector<int16_t> widths) {
        FullWidthReference reference;
        std::vector<double> scales;
        for (int16_t width : widths) scales.push_back(ProxyScale(width, &reference));
        return scales;
    };
    EXPECT_EQ(sequence({640, 320, 160, 640}), (std::vector<double>{1.0, 0.5, 0.25, 1.0}));
    EXPECT_EQ(sequence({320, 640}), (std::vector<double>{1.0, 1.0}));
    EXPECT_EQ(sequence({641, 161, 321}), (std::vector<double>{1.0, 0.25, 0.5}));
    EXPECT_EQ(sequence({640, 500, 250, 160}), (std::vector<double>{1.0, 1.0, 0.5, 1.0}))
        << "a narrower width that is no fraction of the reference replaces it";
}

TEST(ProxyScale, AfterEffectsPreviewsKeepTheStreakLengthOfTheFullFrame) {
    ScopedHostKind afterEffects(HostKindAfterEffects);
    ProcessFullWidthReference() = FullWidthReference{};
    auto lit = [](int32_t width) {
        HostImage image = MakeHostImage(width, 1, 8, 1, false);
        image.Set(0, 0, 0, 255);
        return image;
    };
    HostSettings settings;
    settings.offerDescriptors = false;
    TestHost full(lit(200), settings);
    full.Run(Plugin(), false);
    TestHost half(lit(100), settings);
    half.Run(Plugin(), false);
    // Pixel k of the half-size frame reads the profile at 2(k - 1): as pixel 2k - 1 of the full frame.
    for (int32_t k = 2; k < 40; ++k)
        EXPECT_EQ(half.Image().At(0, k, 0), full.Image().At(0, 2 * k - 1, 0)) << k;
    ProcessFullWidthReference() = FullWidthReference{};
}
