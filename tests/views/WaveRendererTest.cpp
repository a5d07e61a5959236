#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <cmath>
#include <limits>
#include <vector>

#include "PixelColours.h"
#include "WaveRenderer.h"

namespace {

constexpr int W = 857;
constexpr int H = 80;

struct TRendered {
    QImage Image;
    TWaveRenderInfo Info;
};

TRendered Render(const std::vector<int16_t>& samples,
                 float viewStart,
                 float viewSpan,
                 int height = H,
                 int32_t selStart = -100000,
                 int32_t selEnd = -100000,
                 int imageWidth = W) {
    TRendered r;
    r.Image = QImage(imageWidth, height, QImage::Format_RGB32);
    TWaveView view;
    view.Width = W;
    view.Height = height;
    view.ViewStart = viewStart;
    view.ViewSpan = viewSpan;
    view.SelStart = selStart;
    view.SelEnd = selEnd;
    RenderWave(r.Image, samples.empty() ? nullptr : samples.data(), int32_t(samples.size()), view, &r.Info);
    return r;
}

// A column that no grid line and no label touches.
int FreeColumn(const TRendered& r) {
    const QFontMetrics metrics{QFont()};
    for (int x = W / 2; x < W; ++x) {
        bool free = true;
        for (int k = 0; k < int(r.Info.GridX.size()); ++k) {
            const int gx = r.Info.GridX[size_t(k)];
            const int right = gx + 3 + metrics.horizontalAdvance(r.Info.Labels[k]);
            if (x >= gx - 1 && x <= right + 1) free = false;
        }
        if (free) return x;
    }
    ADD_FAILURE() << "no free column";
    return 0;
}

std::vector<int> ColumnsWithColourInRow(const QImage& img, int y, QRgb colour) {
    std::vector<int> xs;
    for (int x = 0; x < img.width(); ++x) {
        if (At(img, x, y) == colour) xs.push_back(x);
    }
    return xs;
}

bool RowHas(const QImage& img, int y, QRgb colour) { return !ColumnsWithColourInRow(img, y, colour).empty(); }

}  // namespace

TEST(WaveRenderer, GridLinesStandAtTheirColumnsInSilver) {
    const std::vector<int16_t> samples(200000, 0);
    const TRendered r = Render(samples, 0.0f, 100000.0f);
    std::vector<int> expected;
    for (int gx = 42; gx <= 807; gx += 85) expected.push_back(gx);
    EXPECT_EQ(r.Info.GridX, expected);
    for (const int gx : expected) {
        // Drawn over the waveform on the baseline, down to the bottom row.
        EXPECT_EQ(At(r.Image, gx, 40), Silver) << gx;
        EXPECT_EQ(At(r.Image, gx, 79), Silver) << gx;
        EXPECT_EQ(At(r.Image, gx, 60), Silver) << gx;
        EXPECT_EQ(At(r.Image, gx - 1, 60), White) << gx;
        EXPECT_EQ(At(r.Image, gx + 1, 60), White) << gx;
    }
}

TEST(WaveRenderer, LabelsReadMinutesAndSecondsOfTheirColumn) {
    const std::vector<int16_t> samples(200000, 0);
    const TRendered r = Render(samples, 0.0f, 100000.0f);
    ASSERT_EQ(r.Info.Labels.size(), 10);
    EXPECT_EQ(r.Info.Labels[0], QStringLiteral("0:0.44"));
    // 807 / 857 of 100000 positions is 8.54 seconds.
    EXPECT_EQ(r.Info.Labels[9], QStringLiteral("0:8.54"));
    // Seconds are not padded: one minute and 5.25 seconds.
    EXPECT_EQ(GridLabel(42, W, 6.0f, 719381), QStringLiteral("1:5.25"));
    // The label counts from the first sample, ViewStart rounded.
    EXPECT_EQ(GridLabel(0, W, 100000.0f, FirstSample(11024.5f)), QStringLiteral("0:1.00"));
    EXPECT_EQ(GridLabel(0, W, 100000.0f, 11025 * 3600), QStringLiteral("60:0.00"));
}

TEST(WaveRenderer, LabelTextIsDrawnOnAnOpaqueWhiteBackground) {
    // Every sample on row 8, where the labels stand: the waveform is a black line across.
    const int v = -22400;
    ASSERT_EQ(WaveRow(40, v), 8);
    const std::vector<int16_t> samples(2000, int16_t(v));
    const TRendered r = Render(samples, 0.0f, float(W));
    const QFontMetrics metrics{QFont()};
    for (int k = 0; k < 10; ++k) {
        const int left = r.Info.GridX[size_t(k)] + 3;
        const int width = metrics.horizontalAdvance(r.Info.Labels[k]);
        int white = 0;
        int dark = 0;
        for (int x = left; x < left + width; ++x) {
            for (int y = 3; y < 3 + metrics.height(); ++y) {
                const QRgb c = At(r.Image, x, y);
                if (c == White) ++white;
                if (qGray(c) < 128) ++dark;
            }
        }
        // The waveform under the label is hidden except where the text itself is dark.
        EXPECT_GT(white, 0) << k;
        EXPECT_GT(dark, 0) << k;
        int whiteOnRow8 = 0;
        for (int x = left; x < left + width; ++x) whiteOnRow8 += At(r.Image, x, 8) == White;
        EXPECT_GT(whiteOnRow8, 0) << k;
    }
    // Beside the labels the line is intact.
    const int free = FreeColumn(r);
    EXPECT_EQ(At(r.Image, free, 8), Black);
}

TEST(WaveRenderer, SampleValuesMapToRowsBy700) {
    EXPECT_EQ(WaveRow(40, -699), 40);
    EXPECT_EQ(WaveRow(40, 699), 40);
    EXPECT_EQ(WaveRow(40, 700), 41);
    EXPECT_EQ(WaveRow(40, -700), 39);
    EXPECT_EQ(WaveRow(40, -32768), -6);
    EXPECT_EQ(WaveRow(40, 32767), 86);

    for (const int v : {-699, -1, 0, 1, 699}) {
        const TRendered r = Render(std::vector<int16_t>(2000, int16_t(v)), 0.0f, float(W));
        const int x = FreeColumn(r);
        EXPECT_EQ(At(r.Image, x, 40), Black) << v;
        EXPECT_EQ(At(r.Image, x, 39), White) << v;
        EXPECT_EQ(At(r.Image, x, 41), White) << v;
    }
    {
        const TRendered r = Render(std::vector<int16_t>(2000, 700), 0.0f, float(W));
        const int x = FreeColumn(r);
        EXPECT_EQ(At(r.Image, x, 41), Black);
        EXPECT_EQ(At(r.Image, x, 40), White);
    }
    {
        // -32768 is 46 rows above the baseline: off an 80-pixel view, row 14 of a 120-pixel one.
        const TRendered small = Render(std::vector<int16_t>(2000, -32768), 0.0f, float(W));
        const int xs = FreeColumn(small);
        for (int y = 0; y < H; ++y) EXPECT_NE(At(small.Image, xs, y), Black) << y;
        const TRendered tall = Render(std::vector<int16_t>(2000, -32768), 0.0f, float(W), 120);
        const int x = FreeColumn(tall);
        EXPECT_EQ(At(tall.Image, x, 14), Black);
        EXPECT_EQ(At(tall.Image, x, 13), White);
        EXPECT_EQ(At(tall.Image, x, 15), White);
        EXPECT_EQ(At(tall.Image, x, 60), White);
    }
}

TEST(WaveRenderer, HundredSamplesPerPixelIsCoarseAndOneLessIsFine) {
    // A lone positive peak among zeros: the fine waveform strokes its column's range, the coarse
    // one sees a window holding zeros and draws its last sample instead.
    std::vector<int16_t> samples(200000, 0);
    samples[40060] = 14000;
    const TRendered coarse = Render(samples, 0.0f, 85700.0f);
    EXPECT_TRUE(coarse.Info.Coarse);
    EXPECT_FALSE(RowHas(coarse.Image, 60, Black));
    const TRendered fine = Render(samples, 0.0f, 85699.0f);
    EXPECT_FALSE(fine.Info.Coarse);
    EXPECT_TRUE(RowHas(fine.Image, 60, Black));
}

TEST(WaveRenderer, OneSamplePerPixelPutsSampleFirstPlusKAtColumnKPlusOne) {
    for (const float viewStart : {1000.0f, 999.5f, 1000.49f}) {
        std::vector<int16_t> samples(4000, 0);
        const int first = 1000;
        ASSERT_EQ(FirstSample(viewStart), first);
        const std::vector<int> ks = {1, 5, 300, 855};
        for (const int k : ks) samples[size_t(first + k)] = 14000;
        const TRendered r = Render(samples, viewStart, float(W));
        EXPECT_FALSE(r.Info.Coarse);
        std::vector<int> expected;
        for (const int k : ks) expected.push_back(k + 1);
        EXPECT_EQ(ColumnsWithColourInRow(r.Image, 60, Black), expected) << viewStart;
        // The start point and one vertex for each column from 2 to W.
        EXPECT_EQ(r.Info.Vertices, W);
    }
}

TEST(WaveRenderer, FineColumnsOfThreeOrMoreSamplesDrawTheirRangeAtTheNextColumn) {
    // Four samples per pixel: the group of column 100 holds a high and a low sample.
    std::vector<int16_t> samples(10000, 0);
    const float span = float(W) * 4.0f;
    samples[401] = 14000;   // row 60
    samples[402] = -14000;  // row 20
    const TRendered r = Render(samples, 0.0f, span);
    EXPECT_FALSE(r.Info.Coarse);
    const std::vector<int> low = ColumnsWithColourInRow(r.Image, 60, Black);
    const std::vector<int> high = ColumnsWithColourInRow(r.Image, 20, Black);
    ASSERT_EQ(low.size(), 1u);
    EXPECT_EQ(low, high);
    EXPECT_EQ(low[0], 101);
}

// A view of its own width and height, the waveform only (no selection line inside it).
QImage RenderView(const std::vector<int16_t>& samples, int width, float viewStart, float viewSpan) {
    QImage image(width, H, QImage::Format_RGB32);
    TWaveView view;
    view.Width = width;
    view.Height = H;
    view.ViewStart = viewStart;
    view.ViewSpan = viewSpan;
    view.SelStart = view.SelEnd = -1000000;
    RenderWave(image, samples.data(), int32_t(samples.size()), view);
    return image;
}

TEST(WaveRenderer, FineColumnsOfTwoSamplesDrawOnlyTheirFirst) {
    // 30 pixels over 80 samples: 0.375 pixels per sample, exact in a float. Sample k lands in
    // column trunc((k + 1) * 0.375): column 1 holds samples 2, 3, 4; column 2 holds 5 and 6.
    std::vector<int16_t> samples(200, 0);
    samples[3] = 7000;   // row 50
    samples[4] = -7000;  // row 30
    samples[6] = 14000;  // row 60
    const QImage image = RenderView(samples, 30, 0.0f, 80.0f);
    // Three samples: their range stands at the next column, from row 50 up to row 30.
    for (int y = 31; y <= 49; ++y) EXPECT_EQ(At(image, 2, y), Black) << y;
    // Two samples: only the first is a vertex (drawn at column 3); sample 6 is not drawn.
    for (int y = 45; y <= 60; ++y) EXPECT_EQ(At(image, 3, y), White) << y;
}

TEST(WaveRenderer, CoarseWindowsAreEightyOnePositionsAStrideApart) {
    // 8100 positions per pixel: stride 100, positions idx - 4000 .. idx + 4000 for the column
    // sample idx = 10000 + 8100 x.
    std::vector<int16_t> samples(40000, -700);  // row 39 everywhere
    samples[14000] = 14000;                     // the last position of column 0's window
    samples[26150] = 14000;                     // between two positions of column 2's window
    const QImage image = RenderView(samples, 100, 10000.0f, 810000.0f);
    EXPECT_EQ(At(image, 0, 55), Black);
    EXPECT_EQ(At(image, 1, 55), White);  // its window starts at 14100
    EXPECT_EQ(At(image, 2, 55), White);
    EXPECT_EQ(At(image, 2, 39), Black);
}

TEST(WaveRenderer, ViewStartsFromTwoToTheTwentyThreeRoundInFloats) {
    // Above 2^23 a float has no halves: 8388609 + 0.5 rounds to 8388610, where double arithmetic
    // gives 8388609.
    EXPECT_EQ(FirstSample(8388609.0f), 8388610);
    EXPECT_EQ(FirstSample(16777216.0f), 16777216);
    // A click takes the unrounded start: column 0 is the start itself.
    EXPECT_EQ(PositionAt(0, W, 100000.0f, 8388609.0f), 8388609);
    // x / W x span + start, each a float: 428 / 857 x 100000 = 49941.658..., and the sum then
    // rounds to a multiple of 2 at 2^24.
    EXPECT_EQ(PositionAt(428, W, 100000.0f, 16777216.0f), 16827158);
}

TEST(WaveRenderer, CoarseColumnsDrawTheirWindowsExtremes) {
    // 200 positions per pixel: the window of column x spans 81 positions, two apart, around
    // 200 * x. Each tested column gets a block of 201 values around its sample.
    constexpr int spp = 200;
    std::vector<int16_t> samples(size_t(W * spp + 1000), 0);
    auto fill = [&](int x, int16_t before, int16_t after) {
        for (int i = x * spp - 100; i < x * spp; ++i) samples[size_t(i)] = before;
        for (int i = x * spp; i <= x * spp + 100; ++i) samples[size_t(i)] = after;
    };
    fill(300, 7000, 1400);    // all positive: the highest, row 50
    fill(500, -7000, -1400);  // all negative: the lowest, row 30
    fill(600, 7000, -7000);   // both signs: a stroke from row 50 to row 30
    fill(700, 7000, 0);       // a zero among them: the last sample, on the baseline
    const TRendered r = Render(samples, 0.0f, float(W * spp));
    EXPECT_TRUE(r.Info.Coarse);
    EXPECT_EQ(At(r.Image, 300, 50), Black);
    EXPECT_EQ(At(r.Image, 300, 51), White);
    EXPECT_EQ(At(r.Image, 500, 30), Black);
    EXPECT_EQ(At(r.Image, 500, 29), White);
    for (int y = 30; y <= 50; ++y) EXPECT_EQ(At(r.Image, 600, y), Black) << y;
    EXPECT_EQ(At(r.Image, 700, 40), Black);
    EXPECT_EQ(At(r.Image, 700, 50), White);
    EXPECT_EQ(ColumnsWithColourInRow(r.Image, 50, Black), (std::vector<int>{300, 600}));
}

TEST(WaveRenderer, TheWaveformEndsAtTheLastSample) {
    // 1000 positions per pixel, all on row 30: 300 columns' worth of recording.
    const std::vector<int16_t> coarseSamples(300000, -7000);
    const TRendered coarse = Render(coarseSamples, 0.0f, float(W * 1000));
    const std::vector<int> coarseCols = ColumnsWithColourInRow(coarse.Image, 30, Black);
    ASSERT_FALSE(coarseCols.empty());
    EXPECT_LE(coarseCols.back(), 300);
    EXPECT_GE(coarseCols.back(), 298);
    // Grid and labels still go across the whole width.
    EXPECT_EQ(At(coarse.Image, 807, 60), Silver);
    EXPECT_EQ(coarse.Info.Labels.size(), 10);

    const std::vector<int16_t> fineSamples(300, -7000);
    const TRendered fine = Render(fineSamples, 0.0f, float(W));
    const std::vector<int> fineCols = ColumnsWithColourInRow(fine.Image, 30, Black);
    ASSERT_FALSE(fineCols.empty());
    EXPECT_EQ(fineCols.back(), 300);
}

TEST(WaveRenderer, SelectionLineAtTheRightEdgeIsAttemptedAndOneBeyondIsNot) {
    const std::vector<int16_t> samples(2000, 0);
    // One position per pixel from 0: a selection end at S lies on column S. The image is two
    // pixels wider than the view so that a line at W or W + 1 would show.
    const TRendered atEdge = Render(samples, 0.0f, float(W), H, W, 400, W + 2);
    EXPECT_EQ(atEdge.Info.SelectionX, (std::vector<int>{W, 400}));
    for (int y = 0; y < H; ++y) {
        EXPECT_EQ(At(atEdge.Image, W, y), Red) << y;
        EXPECT_EQ(At(atEdge.Image, 400, y), Red) << y;  // drawn last, over labels and grid
    }
    const TRendered beyond = Render(samples, 0.0f, float(W), H, -1, W + 1, W + 2);
    EXPECT_TRUE(beyond.Info.SelectionX.empty());
    EXPECT_FALSE(RowHas(beyond.Image, 60, Red));
    const TRendered left = Render(samples, 0.0f, float(W), H, 0, 0, W + 2);
    EXPECT_EQ(left.Info.SelectionX, (std::vector<int>{0, 0}));
    EXPECT_EQ(At(left.Image, 0, 60), Red);
}

TEST(WaveRenderer, NoViewReadsOutsideTheSamples) {
    // The buffer is exactly as large as its count, so the sanitizer sees any read past it.
    const std::vector<int16_t> samples(5000, -7000);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float starts[] = {0.0f, -0.7f, -100.0f, -1e9f, 4999.6f, 5000.0f, 1e9f, 3e9f, 1e30f, inf, -inf, nan};
    const float spans[] = {1e-30f, 0.0f, -5.0f, 1.0f, 857.0f, 85700.0f, 1e9f, 1e30f, inf, nan};
    for (const float start : starts) {
        for (const float span : spans) {
            const TRendered r = Render(samples, start, span, H, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max());
            EXPECT_EQ(r.Info.GridX.size(), 10u) << start << " " << span;
            EXPECT_LE(r.Info.Vertices, 2 * W + 1) << start << " " << span;
        }
    }
    // A view starting left of the recording draws its samples where they fall.
    const TRendered early = Render(samples, -100.0f, float(W));
    EXPECT_TRUE(RowHas(early.Image, 30, Black));
}

TEST(WaveRenderer, ClickPositionsTruncateTheUnroundedViewStart) {
    // With a half fraction, column 0 is the whole part of ViewStart, one before the first sample.
    EXPECT_EQ(PositionAt(0, W, 100000.0f, 10.5f), 10);
    EXPECT_EQ(FirstSample(10.5f), 11);
    EXPECT_EQ(PositionAt(0, W, 100000.0f, 10.49f), 10);
    EXPECT_EQ(FirstSample(10.49f), 10);
    EXPECT_EQ(PositionAt(100, W, 100000.0f, 0.0f), 11668);
    EXPECT_EQ(PositionAt(W, W, 100000.0f, 0.0f), 100000);
    // Outside the view: before it or past it, not limited.
    EXPECT_EQ(PositionAt(-200, W, 100000.0f, 0.0f), -23337);
    EXPECT_EQ(PositionAt(2 * W, W, 100000.0f, 500.0f), 200500);
}

TEST(WaveRenderer, FloatConversionsTruncateAndSaturate) {
    EXPECT_EQ(TruncToInt32(-2.7f), -2);
    EXPECT_EQ(TruncToInt32(2.7f), 2);
    EXPECT_EQ(TruncToInt32(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(TruncToInt32(1e20f), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(TruncToInt32(-1e20f), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(TruncToInt32(-2147483648.0f), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(TruncToInt64(-3.5f), -3);
    EXPECT_EQ(TruncToInt64(std::numeric_limits<float>::infinity()), int64_t(1) << 62);
}

TEST(WaveRenderer, ViewBoundsKeepEveryRealViewAndCatchTheDegenerate) {
    const float tenHours = 11025.0f * 3600.0f * 10.0f;
    struct Case {
        float start, span, wantStart, wantSpan;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {0.0f, 100000.0f, 0.0f, 100000.0f},
        {300.25f, float(W), 300.25f, float(W)},    // one sample per pixel
        {tenHours, tenHours, tenHours, tenHours},  // a whole ten-hour recording
        {-200.0f, 1.0f, 0.0f, 1.0f},
        {nan, nan, 0.0f, MinViewSpan},
        {inf, inf, MaxViewPositions, MaxViewPositions},
        {-inf, 0.0f, 0.0f, MinViewSpan},
        {1e20f, 1e-20f, MaxViewPositions, MinViewSpan},
    };
    for (const Case& c : cases) {
        float start = c.start;
        float span = c.span;
        ClampView(start, span);
        EXPECT_EQ(start, c.wantStart) << c.start;
        EXPECT_EQ(span, c.wantSpan) << c.span;
    }
    EXPECT_GT(MaxViewPositions, 2.0f * tenHours);
    EXPECT_LE(MinViewSpan, 1.0f);
}
