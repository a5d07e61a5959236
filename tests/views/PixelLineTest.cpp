#include <gtest/gtest.h>

#include <QImage>

#include "PixelLine.h"

namespace {

const QRgb Ink = qRgb(0, 0, 0);

QImage Blank(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

int Inked(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) n += (img.pixel(x, y) | 0xff000000) == Ink;
    }
    return n;
}

}  // namespace

TEST(PixelLine, DrawsBothEndsAndOnePixelPerStepOfTheLongerAxis) {
    QImage img = Blank(20, 20);
    DrawPixelLine(img, 2, 3, 12, 7, Ink);  // x-major: 11 pixels
    EXPECT_EQ(Inked(img), 11);
    EXPECT_EQ(img.pixel(2, 3) | 0xff000000, Ink);
    EXPECT_EQ(img.pixel(12, 7) | 0xff000000, Ink);

    img = Blank(20, 20);
    DrawPixelLine(img, 5, 18, 6, 1, Ink);  // y-major, drawn from either end alike: 18 pixels
    EXPECT_EQ(Inked(img), 18);
    QImage reverse = Blank(20, 20);
    DrawPixelLine(reverse, 6, 1, 5, 18, Ink);
    EXPECT_EQ(reverse, img);
    for (int y = 1; y <= 18; ++y) {
        const bool left = (img.pixel(5, y) | 0xff000000) == Ink;
        const bool right = (img.pixel(6, y) | 0xff000000) == Ink;
        EXPECT_NE(left, right) << y;  // one pixel per row, in one of the two columns
    }

    img = Blank(20, 20);
    DrawPixelLine(img, 4, 4, 4, 4, Ink);
    EXPECT_EQ(Inked(img), 1);
}

TEST(PixelLine, ClipsWhatLiesOutsideTheImage) {
    QImage img = Blank(10, 10);
    // A horizontal line from far left to far right leaves exactly its row inked.
    DrawPixelLine(img, -1000000000000LL, 4, 1000000000000LL, 4, Ink);
    EXPECT_EQ(Inked(img), 10);
    img = Blank(10, 10);
    DrawPixelLine(img, 3, -50, 3, 50, Ink);
    EXPECT_EQ(Inked(img), 10);
    img = Blank(10, 10);
    DrawPixelLine(img, -5, -5, -1, 20, Ink);  // wholly outside
    DrawPixelLine(img, 10, 0, 10, 9, Ink);
    DrawPixelLine(img, 0, 10, 9, 10, Ink);
    EXPECT_EQ(Inked(img), 0);
    // A steep line entering from above keeps its slope inside.
    img = Blank(10, 10);
    DrawPixelLine(img, 0, -10, 2, 9, Ink);
    EXPECT_EQ(img.pixel(2, 9) | 0xff000000, Ink);
    EXPECT_EQ(Inked(img), 10);
}

TEST(PixelLine, LeavesOtherFormatsAlone) {
    QImage img(10, 10, QImage::Format_Grayscale8);
    img.fill(255);
    DrawPixelLine(img, 0, 0, 9, 9, Ink);
    EXPECT_EQ(qGray(img.pixel(5, 5)), 255);
}
