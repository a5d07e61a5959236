// The wheel's notches, its pan, and the zoom around the pointer, in 32-bit steps.
#include <gtest/gtest.h>

#include "ViewWheel.h"
#include "WaveRenderer.h"

namespace {

// The position under column x, in double precision.
double Under(float start, float span, int x, int width) { return double(start) + double(x) / width * span; }

}  // namespace

TEST(ViewWheel, UnitsBecomeWholeNotchesAndTheRestWaits) {
    TWheelNotches wheel;
    EXPECT_EQ(wheel.Add(120), 1);
    EXPECT_EQ(wheel.Add(360), 3);
    // A touchpad's small steps add up.
    EXPECT_EQ(wheel.Add(50), 0);
    EXPECT_EQ(wheel.Add(50), 0);
    EXPECT_EQ(wheel.Add(50), 1);
    // What is left (30) does not count against a turn the other way.
    EXPECT_EQ(wheel.Add(-120), -1);
    EXPECT_EQ(wheel.Add(-100), 0);
    EXPECT_EQ(wheel.Add(-20), -1);
}

TEST(ViewWheel, EachNotchPansATenthOfTheSpan) {
    float start = 50000.0f;
    PanByWheel(start, 100000.0f, 1);
    EXPECT_EQ(start, 40000.0f);
    PanByWheel(start, 100000.0f, -3);
    EXPECT_EQ(start, 70000.0f);
    // Each notch is its own 32-bit step.
    float expected = 1234.5f;
    for (int i = 0; i < 7; ++i) expected = expected - 0.1f * 333.3f;
    start = 1234.5f;
    PanByWheel(start, 333.3f, 7);
    EXPECT_EQ(start, expected);
    EXPECT_NE(double(start), 1234.5 - 7 * 0.1 * double(333.3f));
}

TEST(ViewWheel, ZoomDividesPerNotchAndKeepsThePositionUnderThePointer) {
    float start = 20000.0f;
    float span = 100000.0f;
    const double before = Under(start, span, 300, 857);
    ZoomByWheel(start, span, 1.03f, 3, 300, 857);
    float expected = 100000.0f;
    for (int i = 0; i < 3; ++i) expected = expected / 1.03f;
    EXPECT_EQ(span, expected);
    EXPECT_NE(double(span), double(float(100000.0 / (1.03 * 1.03 * 1.03))));
    EXPECT_NEAR(Under(start, span, 300, 857), before, 0.02);

    ZoomByWheel(start, span, 1.03f, -3, 857, 857);
    expected = expected * 1.03f * 1.03f * 1.03f;
    EXPECT_EQ(span, expected);
    EXPECT_NEAR(Under(start, span, 857, 857), before + (857 - 300) / 857.0 * 100000.0 / 1.03 / 1.03 / 1.03,
                0.05);
}

TEST(ViewWheel, ZoomStaysWithinTheBoundsOfTheSpan) {
    float start = 10.0f;
    float span = 1.01f;
    ZoomByWheel(start, span, 1.03f, 5, 0, 857);
    EXPECT_EQ(span, MinViewSpan);
    EXPECT_EQ(start, 10.0f);
    span = MaxViewPositions / 1.03f;
    ZoomByWheel(start, span, 1.03f, -2, 0, 857);
    EXPECT_EQ(span, MaxViewPositions);
}
