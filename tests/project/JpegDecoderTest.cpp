#include <gtest/gtest.h>

#include <QColor>

#include "JpegDecoder.h"
#include "ProjectBytes.h"
#include "TestSupport.h"

namespace {

TJpegResult Decode(const QByteArray& bytes, QSize minSize = QSize()) {
    return DecodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()),
                      static_cast<size_t>(bytes.size()), minSize);
}

QSize Scaled(const QByteArray& bytes, QSize minSize) {
    return ScaledJpegSize(reinterpret_cast<const unsigned char*>(bytes.constData()),
                          static_cast<size_t>(bytes.size()), minSize);
}

void ExpectColourNear(const QImage& image, int x, int y, QColor want) {
    const QColor got = image.pixelColor(x, y);
    EXPECT_NEAR(got.red(), want.red(), 8) << "at " << x << "," << y;
    EXPECT_NEAR(got.green(), want.green(), 8) << "at " << x << "," << y;
    EXPECT_NEAR(got.blue(), want.blue(), 8) << "at " << x << "," << y;
}

}  // namespace

TEST(JpegDecoder, SmallPictureDecodesAtFullSizeWithItsColours) {
    const TJpegResult red = Decode(ReadAll(FixturePath("jpeg/red.jpg")), PictureDecodeSize(1.0));
    ASSERT_FALSE(red.image.isNull()) << red.error.toStdString();
    EXPECT_EQ(red.image.size(), QSize(60, 40));
    EXPECT_EQ(red.image.format(), QImage::Format_RGB888);
    ExpectColourNear(red.image, 30, 20, QColor(255, 0, 0));
    const TJpegResult blue = Decode(ReadAll(FixturePath("jpeg/blue.jpg")));
    ASSERT_FALSE(blue.image.isNull());
    ExpectColourNear(blue.image, 59, 39, QColor(0, 0, 255));
}

TEST(JpegDecoder, ScalesToTheSmallestEighthThatStillCoversTheCell) {
    const QByteArray gradient = ReadAll(FixturePath("jpeg/gradient.jpg"));  // 640 x 480
    // 3/8 gives 240 x 180, narrower than 250: 4/8 is the smallest that covers 250 x 167.
    EXPECT_EQ(Decode(gradient, QSize(250, 167)).image.size(), QSize(320, 240));
    EXPECT_EQ(Scaled(gradient, QSize(250, 167)), QSize(320, 240));
    EXPECT_EQ(Decode(gradient, QSize(80, 60)).image.size(), QSize(80, 60));
    EXPECT_EQ(Decode(gradient, QSize(81, 60)).image.size(), QSize(160, 120));
    EXPECT_EQ(Decode(gradient, QSize(500, 334)).image.size(), QSize(560, 420));
    EXPECT_EQ(Decode(gradient, QSize()).image.size(), QSize(640, 480));
    // Larger than the picture itself: full size, never enlarged.
    EXPECT_EQ(Decode(gradient, QSize(2000, 2000)).image.size(), QSize(640, 480));
}

TEST(JpegDecoder, DecodeSizeFollowsTheDevicePixelRatio) {
    EXPECT_EQ(PictureDecodeSize(1.0), QSize(250, 167));
    EXPECT_EQ(PictureDecodeSize(2.0), QSize(500, 334));
    EXPECT_EQ(PictureDecodeSize(1.5), QSize(375, 251));
    // Nonsense ratios fall back to 1.
    EXPECT_EQ(PictureDecodeSize(0.0), QSize(250, 167));
    EXPECT_EQ(PictureDecodeSize(-3.0), QSize(250, 167));
}

TEST(JpegDecoder, GreyProgressiveAndCmykPicturesDecodeToRgb) {
    const TJpegResult gray = Decode(ReadAll(FixturePath("jpeg/gray.jpg")));
    ASSERT_FALSE(gray.image.isNull()) << gray.error.toStdString();
    ExpectColourNear(gray.image, 10, 10, QColor(128, 128, 128));
    const TJpegResult progressive = Decode(ReadAll(FixturePath("jpeg/progressive.jpg")));
    ASSERT_FALSE(progressive.image.isNull()) << progressive.error.toStdString();
    EXPECT_EQ(progressive.image.size(), QSize(64, 48));
    ExpectColourNear(progressive.image, 5, 5, QColor(255, 255, 0));
    const TJpegResult cmyk = Decode(ReadAll(FixturePath("jpeg/cmyk.jpg")));
    ASSERT_FALSE(cmyk.image.isNull()) << cmyk.error.toStdString();
    ExpectColourNear(cmyk.image, 16, 16, QColor(255, 0, 0));
}

TEST(JpegDecoder, NonJpegBytesFailWithLibjpegsMessage) {
    const TJpegResult text = Decode(ReadAll(FixturePath("jpeg/not-a-jpeg.jpg")));
    EXPECT_TRUE(text.image.isNull());
    EXPECT_FALSE(text.error.isEmpty());
    const TJpegResult cut = Decode(ReadAll(FixturePath("jpeg/cut-header.jpg")));
    EXPECT_TRUE(cut.image.isNull());
    EXPECT_FALSE(cut.error.isEmpty());
    EXPECT_TRUE(Decode(QByteArray()).image.isNull());
    EXPECT_TRUE(DecodeJpeg(nullptr, 10, QSize()).image.isNull());
    EXPECT_FALSE(Scaled(ReadAll(FixturePath("jpeg/not-a-jpeg.jpg")), QSize(250, 167)).isValid());
}

TEST(JpegDecoder, EveryPrefixOfAJpegIsSafeToDecode) {
    // Whatever a damaged archive cuts off, the decoder reads nothing outside the buffer (the
    // sanitizers watch) and either recovers or fails cleanly.
    const QByteArray whole = ReadAll(FixturePath("jpeg/progressive.jpg"));
    int decoded = 0;
    for (qsizetype n = 1; n < whole.size(); ++n) {
        const QByteArray prefix(whole.constData(), n);
        if (!Decode(prefix).image.isNull()) ++decoded;
    }
    // Once the header is complete, libjpeg fills the missing rest and the picture still shows.
    EXPECT_GT(decoded, 0);
    EXPECT_LT(decoded, whole.size() - 1);
}

TEST(JpegDecoder, HeaderClaimingAGiganticPictureIsRefusedBeforeDecoding) {
    const QByteArray red = ReadAll(FixturePath("jpeg/red.jpg"));
    for (const QSize claimed : {QSize(37800, 37800), QSize(65000, 4200), QSize(16385, 16384)}) {
        const QByteArray bytes = JpegClaimingSize(red, uint16_t(claimed.width()), uint16_t(claimed.height()));
        EXPECT_FALSE(Scaled(bytes, QSize(250, 167)).isValid());
        const TJpegResult result = Decode(bytes, QSize(1, 1));
        EXPECT_TRUE(result.image.isNull());
        EXPECT_EQ(result.error, QStringLiteral("Picture of %1 x %2 pixels is too large")
                                    .arg(claimed.width())
                                    .arg(claimed.height()));
    }
    // 16384 x 16384 is the most a header may claim, and only in a file of 256 KiB or more: a byte
    // for every 1024 pixels.
    const QByteArray most = JpegClaimingSize(red, 16384, 16384);
    const auto scaledIn = [&](size_t fileSize) {
        return ScaledJpegSize(reinterpret_cast<const unsigned char*>(most.constData()), size_t(most.size()),
                              QSize(250, 167), fileSize);
    };
    EXPECT_EQ(scaledIn(256 * 1024), QSize(2048, 2048));
    EXPECT_FALSE(scaledIn(256 * 1024 - 1).isValid());
    const TJpegResult thin = Decode(JpegClaimingSize(red, 5000, 5000), QSize(1, 1));
    EXPECT_TRUE(thin.image.isNull());
    EXPECT_EQ(thin.error,
              QStringLiteral("%1 bytes cannot hold a picture of 5000 x 5000 pixels").arg(red.size()));
}
