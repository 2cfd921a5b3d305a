#include <gtest/gtest.h>

#include <cmath>

#include "render/streak_profile.h"

namespace {

// The profile inputs of the default parameters, for colour pass o.
ProfileTable* DefaultTable(int32_t width, int32_t height, double scale, double o) {
    return NewProfileTable(width, height, scale, 100 * 0.005, 7.0 * 7 * 7, 0.0, 343.0, 25 * 0.005, 25.0 * 25 * 25, 50.0,
                           o);
}

double At(const ProfileTable* table, int distance) { return table->values[2 * distance]; }

}  // namespace

TEST(StreakProfile, DefaultTablesHoldTheKnownValuesToSixDecimals) {
    const int distances[] = {0, 1, 10, 20, 60, 80, 100};
    const double expected[3][7] = {
        {1.000000, 0.498594, 0.378521, 0.175189, 0.098443, 0.045591, -0.049882},
        {1.000000, 0.498616, 0.380704, 0.183602, 0.087004, -0.043010, -0.032932},
        {1.000000, 0.498642, 0.383282, 0.193363, 0.031167, -0.079154, 0.065905},
    };
    const double phases[3] = {1.0, 1 + 0.01 * 20, 1 + 0.02 * 20};
    for (int pass = 0; pass < 3; ++pass) {
        ProfileTable* table = DefaultTable(101, 1, 1.0, phases[pass]);
        ASSERT_NE(table, nullptr);
        for (int i = 0; i < 7; ++i)
            EXPECT_NEAR(At(table, distances[i]), expected[pass][i], 5e-7) << "pass " << pass << " d " << distances[i];
        FreeProfileTable(table);
    }
}

TEST(StreakProfile, IsExactlyOneAtTheSourceAndZeroElsewhereWithoutDensities) {
    EXPECT_EQ(StreakProfile(0, 0.5, 343, 0.5, 343, 0.5, 15625, 50, 1), 1.0);
    for (double d : {0.5, 1.0, 7.0, 300.0}) EXPECT_EQ(StreakProfile(d, 0, 343, 0, 343, 0, 15625, 50, 1), 0.0) << d;
}

TEST(StreakProfile, TermsAreAddedSpectrumFirst) {
    const double d = 13;
    const double h0 = std::exp(-(d * d) / 343.0) * 0.5;
    const double h1 = std::exp(-(d * d) / 1000.0) * 0.25;
    const double phase = (d / 50.0) * 1.2;
    const double sp = std::sin(phase * phase) * std::exp(-(d * d) / 15625.0) * 0.125;
    EXPECT_EQ(StreakProfile(d, 0.5, 343, 0.25, 1000, 0.125, 15625, 50, 1.2), (sp + h1) + h0);
}

TEST(StreakProfile, TablesHaveTwoEqualSamplesPerPixelAtTheScaledDistance) {
    ProfileTable* table = DefaultTable(300, 200, 1.0, 1.0);
    ASSERT_EQ(table->count, 1200);
    EXPECT_EQ(table->values[0], 1.0);
    EXPECT_EQ(table->values[1], 1.0);
    EXPECT_EQ(table->values[20], table->values[21]);
    EXPECT_EQ(table->values[20], StreakProfile(10, 0.5, 343, 0, 343, 0.125, 15625, 50, 1.0));

    ProfileTable* quarter = DefaultTable(300, 200, 0.25, 1.0);
    for (int k = 0; k < 150; ++k) {
        EXPECT_EQ(quarter->values[2 * k], table->values[2 * (4 * k)]) << k;
        EXPECT_EQ(quarter->values[2 * k + 1], quarter->values[2 * k]) << k;
    }
    ProfileTable* zero = DefaultTable(300, 200, 0.0, 1.0);
    for (int i = 0; i < 1200; ++i) ASSERT_EQ(zero->values[i], table->values[i]) << "a scale of 0 acts as 1";
    FreeProfileTable(table);
    FreeProfileTable(quarter);
    FreeProfileTable(zero);
    FreeProfileTable(nullptr);
}

TEST(StreakProfile, WithoutSpectrumOrDephasingAllPassesAgree) {
    for (bool noSpectrum : {true, false}) {
        const double a2 = noSpectrum ? 0.0 : 0.125;
        const double o1 = noSpectrum ? 1.2 : 1.0, o2 = noSpectrum ? 1.4 : 1.0;
        ProfileTable* p0 = NewProfileTable(64, 64, 1.0, 0.5, 343, 0, 343, a2, 15625, 50, 1.0);
        ProfileTable* p1 = NewProfileTable(64, 64, 1.0, 0.5, 343, 0, 343, a2, 15625, 50, o1);
        ProfileTable* p2 = NewProfileTable(64, 64, 1.0, 0.5, 343, 0, 343, a2, 15625, 50, o2);
        for (int i = 0; i < p0->count; ++i) {
            ASSERT_EQ(p0->values[i], p1->values[i]) << i;
            ASSERT_EQ(p0->values[i], p2->values[i]) << i;
        }
        FreeProfileTable(p0);
        FreeProfileTable(p1);
        FreeProfileTable(p2);
    }
}

TEST(StreakProfile, ValuesNoDialogAllowsNeverGiveNonFiniteSamples) {
    // An amplitude of 0 makes the spectral phase infinite: that term adds no
    // light, and the highlight terms stay as they were.
    ProfileTable* zeroAmp = NewProfileTable(500, 1, 1.0, 0.5, 343, 0, 343, 0.125, 15625, 0.0, 1.0);
    ProfileTable* noSpectrum = NewProfileTable(500, 1, 1.0, 0.5, 343, 0, 343, 0.0, 15625, 50, 1.0);
    for (int i = 0; i < zeroAmp->count; ++i) ASSERT_EQ(zeroAmp->values[i], noSpectrum->values[i]) << i;
    // Negative extents make a term grow with distance until it overflows; past that it adds nothing.
    ProfileTable* negative = NewProfileTable(500, 1, 1.0, 0.5, -27, 0.5, 0, 0.5, -1, 50, 1.0);
    for (int i = 0; i < negative->count; ++i) ASSERT_TRUE(std::isfinite(negative->values[i])) << i;
    EXPECT_GT(negative->values[2 * 138], 1e300);
    EXPECT_EQ(negative->values[2 * 139], 0.0);
    FreeProfileTable(zeroAmp);
    FreeProfileTable(noSpectrum);
    FreeProfileTable(negative);
}
