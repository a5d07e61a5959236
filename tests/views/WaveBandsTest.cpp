// Stored segments as bands under the waveform.
#include <gtest/gtest.h>

#include <QImage>
#include <vector>

#include "PixelColours.h"
#include "WaveRenderer.h"

namespace {

constexpr int W = 857;
constexpr int H = 80;

// Silence at one position per pixel from position 0: the waveform is the baseline (row 40).
QImage Render(const std::vector<TWaveBand>& bands, TWaveRenderInfo* info = nullptr) {
    static const std::vector<int16_t> silence(5000, 0);
    QImage image(W, H, QImage::Format_RGB32);
    TWaveView view;
    view.Width = W;
    view.Height = H;
    view.ViewStart = 0.0f;
    view.ViewSpan = float(W);
    view.SelStart = view.SelEnd = -10;
    view.Bands = bands;
    RenderWave(image, silence.data(), int32_t(silence.size()), view, info);
    return image;
}

}  // namespace

TEST(WaveBands, ABandFillsItsColumnsUnderTheGridAndTheWaveform) {
    TWaveRenderInfo info;
    const QImage image = Render({{100, 200, Band, QString()}}, &info);
    EXPECT_EQ(info.BandsDrawn, 1);
    for (int y : {0, 20, 60, 79}) {
        EXPECT_EQ(At(image, 100, y), Band) << y;
        EXPECT_EQ(At(image, 200, y), Band) << y;
        EXPECT_EQ(At(image, 99, y), White) << y;
        EXPECT_EQ(At(image, 201, y), White) << y;
    }
    // The waveform and the grid line at column 127 are drawn over it.
    EXPECT_EQ(At(image, 150, 40), Black);
    EXPECT_EQ(At(image, 127, 60), Silver);
}

TEST(WaveBands, LaterBandsLieOverEarlierOnesAndBandsOutsideTheViewAreLeftOut) {
    TWaveRenderInfo info;
    const QImage image = Render({{300, 500, Band, QString()},
                                 {450, 400, CaretBand, QString()},
                                 {-50, 20, Band, QString()},
                                 {900, 1200, CaretBand, QString()},
                                 {-900, -1, CaretBand, QString()}},
                                &info);
    EXPECT_EQ(info.BandsDrawn, 3);
    // Ends in either order.
    EXPECT_EQ(At(image, 399, 60), Band);
    EXPECT_EQ(At(image, 400, 60), CaretBand);
    EXPECT_EQ(At(image, 450, 60), CaretBand);
    EXPECT_EQ(At(image, 451, 60), Band);
    // A band from before the view starts at column 0.
    EXPECT_EQ(At(image, 0, 60), Band);
    EXPECT_EQ(At(image, 20, 60), Band);
    EXPECT_EQ(At(image, 21, 60), White);
    EXPECT_EQ(At(image, 856, 60), White);
}

TEST(WaveBands, TheLineNumberStandsAtTheBottomLeftInsideTheBand) {
    const QImage plain = Render({{100, 160, Band, QString()}});
    const QImage labelled = Render({{100, 160, Band, QStringLiteral("17")}});
    int first = W;
    int last = -1;
    int lowest = -1;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            if (At(plain, x, y) == At(labelled, x, y)) continue;
            first = std::min(first, x);
            last = std::max(last, x);
            lowest = std::max(lowest, y);
        }
    }
    ASSERT_GE(last, 0) << "no label drawn";
    EXPECT_GE(first, 100);
    EXPECT_LE(first, 106);
    EXPECT_LE(last, 160);
    EXPECT_GE(lowest, H - 8);
    EXPECT_LT(lowest, H);

    // A band narrower than its label shows none; of bands that start on one column, the top one
    // shows its label.
    EXPECT_EQ(Render({{100, 104, Band, QStringLiteral("499")}}), Render({{100, 104, Band, QString()}}));
    EXPECT_EQ(Render({{100, 160, Band, QStringLiteral("5")}, {100, 160, Band, QStringLiteral("17")}}),
              labelled);
}
