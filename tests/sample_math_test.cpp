// One sample's conversions to the working scale and back, as every path
// through the image operation converts them.
#include <gtest/gtest.h>

#include <cmath>

#include "core/sample_math.h"

TEST(SampleMath, EightAndSixteenBitSamplesSurviveTheRoundTrip) {
    for (int s : {0, 1, 128, 254, 255}) EXPECT_EQ(ExportSample8(ImportSample8(uint8_t(s))), s) << s;
    EXPECT_EQ(ImportSample8(255), 1.0f);
    EXPECT_EQ(ImportSample8(0), 0.0f);
    for (int s : {0, 1, 16384, 32767, 32768}) EXPECT_EQ(ExportSample16(ImportSample16(uint16_t(s))), s) << s;
    EXPECT_EQ(ImportSample16(32768), 1.0f);
    EXPECT_EQ(ImportSample16(40000), 1.220703125f);
    EXPECT_EQ(ExportSample16(ImportSample16(40000)), 32768);
    for (int s = 0; s <= 255; ++s) ASSERT_EQ(ExportSample8(ImportSample8(uint8_t(s))), s);
}

TEST(SampleMath, ExportRoundsHalvesAwayFromZeroAndClamps) {
    EXPECT_EQ(ExportSample8(-0.1f), 0);
    EXPECT_EQ(ExportSample8(1.5f), 255);
    EXPECT_EQ(ExportSample16(1.5f), 32768);
    EXPECT_EQ(ExportSample16(-0.1f), 0);
    EXPECT_EQ(ExportSample8(0.5f), 128);
    EXPECT_EQ(ExportSample16(0.5f), 16384);
    EXPECT_EQ(ExportSample8(std::nanf("")), 0) << "a value that is not a number never reaches a sample";
    EXPECT_EQ(ExportSample16(std::nanf("")), 0);
    EXPECT_EQ(ExportSample8(INFINITY), 255);
    EXPECT_EQ(ExportSample8(-INFINITY), 0);
}
