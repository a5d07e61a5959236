// The timeline arithmetic shared by Decode, playback and sorvelle-cli: values where a sum held as a
// 32-bit float, or every step held in double, gives another position.
#include <gtest/gtest.h>

#include <limits>
#include <new>

#include "Timeline.h"

namespace {

TEST(Timeline, FrameDurationIsMeasuredInSinglePrecision) {
    EXPECT_EQ(FrameDurationOf(4608, 2, 44100), 1152.0f / 44100.0f);
    EXPECT_EQ(FrameDurationOf(2304, 1, 48000), 0.024f);
    EXPECT_EQ(FrameDurationOf(1152, 1, 8000), 0.072f);
    EXPECT_EQ(FrameDurationOf(0, 2, 44100), 0.0f);
}

TEST(Timeline, LengthRoundsBothProductsToFloatButNotTheMargin) {
    const float mono48 = FrameDurationOf(2304, 1, 48000);
    // 37498 frames cover 9921971 positions as a float; + 100.5 held as a float rounds up to
    // 9922072.
    EXPECT_EQ(TimelineLength(37498, mono48), 9922071);
    // Every step in double gives 8396916, the sum as a float 8396918.
    EXPECT_EQ(TimelineLength(31734, mono48), 8396917);
    EXPECT_EQ(TimelineLength(78, FrameDurationOf(4608, 2, 44100)), 288 * 78 + 100);
    EXPECT_EQ(TimelineLength(0, mono48), 100);
}

TEST(Timeline, LengthBeyondInt32IsReportedNotWrapped) {
    // A stray 1 Hz header after 200 frames of 44.1 kHz stereo: 1152 s per frame.
    const float strayRate = FrameDurationOf(4608, 2, 1);
    EXPECT_EQ(strayRate, 1152.0f);
    EXPECT_EQ(TimelineLength(200, strayRate), int64_t(200) * 1152 * 11025 + 100);
    EXPECT_GT(TimelineLength(200, strayRate), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(TimelineLength(10, std::numeric_limits<float>::infinity()),
              std::numeric_limits<int64_t>::max());
}

TEST(Timeline, FrameOfAPositionKeepsTheConstantExact) {
    const float stereo44 = FrameDurationOf(4608, 2, 44100);
    // With 1/11025 rounded to a float first the quotient is 102.99999; with every step in double
    // 56160 gives frame 195.
    EXPECT_EQ(FrameAtPosition(29664, stereo44), 103);
    EXPECT_EQ(FrameAtPosition(56160, stereo44), 194);
    EXPECT_EQ(FrameAtPosition(11025, stereo44), 38);
    EXPECT_EQ(FrameAtPosition(-1000, stereo44), -3);
}

TEST(Timeline, IntegerConversionsTruncateTowardZero) {
    EXPECT_EQ(TruncateToInt32(2.99), 2);
    EXPECT_EQ(TruncateToInt32(-2.99), -2);
    EXPECT_EQ(RoundToInt32(2.5), 3);
    EXPECT_EQ(RoundToInt32(2.49), 2);
    EXPECT_EQ(TruncateSaturated(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(TruncateSaturated(-7.9f), -7);
}

TEST(Timeline, SampleBufferIsZeroedAndNeverNull) {
    int16_t* empty = AllocateSamples(0);
    EXPECT_NE(empty, nullptr);
    ReleaseSamples(empty);
    // 200 MiB of which only two pages are touched.
    constexpr int32_t Count = 100 * 1024 * 1024;
    int16_t* big = AllocateSamples(Count);
    EXPECT_EQ(big[0], 0);
    EXPECT_EQ(big[Count - 1], 0);
    ReleaseSamples(big);
    EXPECT_THROW(AllocateSamples(-1), std::bad_alloc);
}

}  // namespace
