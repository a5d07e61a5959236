#include <gtest/gtest.h>

#include <QFont>
#include <QImage>
#include <QPainter>
#include <algorithm>

#include "PictureStrip.h"
#include "TestSupport.h"

namespace {

const QColor Aqua(0, 255, 255);
const QColor Grey(212, 208, 200);

QImage Solid(QColor colour, int w = 40, int h = 30) {
    QImage image(w, h, QImage::Format_RGB888);
    image.fill(colour);
    return image;
}

// Renders a strip of the window's width into an image filled with the box's background.
template <typename Paint>
QImage Render(int height, QColor background, Paint paint) {
    QImage canvas(817, height, QImage::Format_RGB32);
    canvas.fill(background);
    QPainter painter(&canvas);
    QFont font;
    font.setPixelSize(11);
    painter.setFont(font);
    paint(painter, canvas.size());
    painter.end();
    return canvas;
}

QColor At(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

// Near-black pixels (label text) inside a rectangle; no picture colour of these tests counts.
int DarkPixels(const QImage& image, const QRect& rect) {
    int dark = 0;
    const QRect inside = rect.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (std::max({qRed(c), qGreen(c), qBlue(c)}) < 90) ++dark;
        }
    return dark;
}

class PictureStripTest : public FreshStateTest {
  protected:
    TPictureTable pictures;
};

}  // namespace

TEST(PictureStripGeometry, CellWidthIsOneAndAHalfHeightsTruncated) {
    EXPECT_EQ(StripCellWidth(167), 250);
    EXPECT_EQ(StripCellWidth(146), 219);
    EXPECT_EQ(StripCellWidth(3), 4);
    EXPECT_EQ(StripCellWidth(1), 1);
    EXPECT_EQ(StripCellWidth(0), 0);
}

TEST(PictureStripGeometry, ClickPositionNamesAPictureFromTheStripStart) {
    EXPECT_EQ(StripPictureAt(600, 167, 4), 6);
    EXPECT_EQ(StripPictureAt(249, 167, 4), 4);
    EXPECT_EQ(StripPictureAt(250, 167, 4), 5);
    EXPECT_EQ(StripPictureAt(0, 167, 0), 0);
    // Truncation toward zero: a release left of the box still counts as the first cell.
    EXPECT_EQ(StripPictureAt(-100, 167, 4), 4);
    EXPECT_EQ(StripPictureAt(10, 167, INT32_MAX), int64_t(INT32_MAX));
    EXPECT_EQ(StripPictureAt(600, 0, 3), 3);
}

TEST_F(PictureStripTest, ArchiveStripStretchesPicturesIntoCellsWithLabelsAndFrame) {
    pictures[0] = Solid(Qt::red, 8, 80);  // proportions are ignored
    pictures[1] = Solid(Qt::green);
    pictures[2] = Solid(Qt::blue);
    const QImage strip = Render(
        167, Aqua, [&](QPainter& p, QSize size) { PaintArchiveStrip(p, size, Aqua, 0, 3, 1, pictures); });
    // Cell 0: x 0 .. 248 filled, the cell's last column 249 left to the background.
    EXPECT_EQ(At(strip, 100, 100), QColor(Qt::red));
    EXPECT_EQ(At(strip, 248, 166), QColor(Qt::red));
    EXPECT_EQ(At(strip, 200, 100), QColor(Qt::red));
    // Cell 1 framed: red lines 2 wide at y = 1, y = 166, x = 250 and x = 499.
    EXPECT_EQ(At(strip, 350, 100), QColor(Qt::green));
    EXPECT_EQ(At(strip, 350, 0), QColor(Qt::red));
    EXPECT_EQ(At(strip, 350, 1), QColor(Qt::red));
    EXPECT_EQ(At(strip, 350, 2), QColor(Qt::green));
    EXPECT_EQ(At(strip, 350, 166), QColor(Qt::red));
    EXPECT_EQ(At(strip, 249, 100), QColor(Qt::red));
    EXPECT_EQ(At(strip, 250, 100), QColor(Qt::red));
    EXPECT_EQ(At(strip, 498, 100), QColor(Qt::red));
    EXPECT_EQ(At(strip, 499, 100), QColor(Qt::red));
    EXPECT_EQ(At(strip, 251, 100), QColor(Qt::green));
    EXPECT_EQ(At(strip, 497, 100), QColor(Qt::green));
    EXPECT_EQ(At(strip, 350, 165), QColor(Qt::red));
    EXPECT_EQ(At(strip, 350, 164), QColor(Qt::green));
    // Cell 2 without a frame, and nothing right of it.
    EXPECT_EQ(At(strip, 600, 1), QColor(Qt::blue));
    EXPECT_EQ(At(strip, 748, 100), QColor(Qt::blue));
    EXPECT_EQ(At(strip, 760, 100), Aqua);
    EXPECT_EQ(At(strip, 816, 166), Aqua);
    // Labels at (d*w + 3, 3): text on the box's background over the picture.
    EXPECT_EQ(At(strip, 3, 3), Aqua);
    EXPECT_GT(DarkPixels(strip, QRect(3, 3, 10, 12)), 3);
    EXPECT_GT(DarkPixels(strip, QRect(503, 3, 10, 12)), 3);
    EXPECT_EQ(At(strip, 503, 3), Aqua);
    EXPECT_EQ(DarkPixels(strip, QRect(20, 20, 200, 140)), 0);
    EXPECT_EQ(At(strip, 2, 2), QColor(Qt::red));
}

TEST_F(PictureStripTest, ArchiveStripStartsAtStripStartAndSkipsEmptySlots) {
    pictures[3] = Solid(Qt::green);
    pictures[5] = Solid(Qt::blue);
    const QImage strip = Render(
        167, Aqua, [&](QPainter& p, QSize size) { PaintArchiveStrip(p, size, Aqua, 3, 6, 0, pictures); });
    EXPECT_EQ(At(strip, 100, 100), QColor(Qt::green));
    EXPECT_EQ(At(strip, 350, 100), Aqua);  // slot 4 is empty: only its label
    EXPECT_GT(DarkPixels(strip, QRect(253, 3, 10, 12)), 3);
    EXPECT_EQ(At(strip, 600, 100), QColor(Qt::blue));
    EXPECT_EQ(At(strip, 800, 100), Aqua);  // no picture 6
    // Chosen picture 0 is off the strip: no red anywhere.
    for (int x = 0; x < 817; x += 7) EXPECT_NE(At(strip, x, 1), QColor(Qt::red)) << x;
}

TEST_F(PictureStripTest, ArchiveStripLabelsShowPictureNumbers) {
    pictures[7] = Solid(Qt::white);
    pictures[12] = Solid(Qt::white);
    const QImage seven = Render(
        167, Aqua, [&](QPainter& p, QSize size) { PaintArchiveStrip(p, size, Aqua, 7, 8, -1, pictures); });
    const QImage twelve = Render(
        167, Aqua, [&](QPainter& p, QSize size) { PaintArchiveStrip(p, size, Aqua, 12, 13, -1, pictures); });
    // "7" is one digit, "12" two: the second label reaches further right.
    QFont font;
    font.setPixelSize(11);
    const QFontMetrics metrics(font);
    const QRect labelArea(3, 3, 30, metrics.height());
    EXPECT_GT(DarkPixels(twelve, labelArea), DarkPixels(seven, labelArea));
    EXPECT_EQ(DarkPixels(seven, QRect(3 + metrics.horizontalAdvance("7"), 3, 20, metrics.height())), 0);
}

TEST_F(PictureStripTest, ArchiveStripBeyondTheLastPictureIsEmpty) {
    pictures[0] = Solid(Qt::red);
    const QImage strip = Render(
        167, Aqua, [&](QPainter& p, QSize size) { PaintArchiveStrip(p, size, Aqua, 10, 1, 0, pictures); });
    EXPECT_EQ(strip.pixelColor(100, 100), Aqua);
    EXPECT_EQ(DarkPixels(strip, strip.rect()), 0);
    // A count beyond the table never reads past slot 499.
    const QImage far = Render(167, Aqua, [&](QPainter& p, QSize size) {
        PaintArchiveStrip(p, size, Aqua, 498, 100000, 499, pictures);
    });
    EXPECT_EQ(At(far, 300, 0), QColor(Qt::red));  // frame around cell 1 (picture 499)
    EXPECT_EQ(At(far, 600, 100), Aqua);           // no cell for a picture 500
}

TEST_F(PictureStripTest, LineStripShowsTheRecordsPicturesInOrderWithoutFrame) {
    pictures[0] = Solid(Qt::red);
    pictures[1] = Solid(Qt::green);
    TItemRec record;
    record.PicCount = 3;
    record.Pics[0] = 1;
    record.Pics[1] = 0;
    record.Pics[2] = 1;
    record.Pics[3] = 0;  // detached earlier: not shown
    const QImage strip =
        Render(146, Grey, [&](QPainter& p, QSize size) { PaintLineStrip(p, size, Grey, &record, pictures); });
    EXPECT_EQ(At(strip, 100, 100), QColor(Qt::green));
    EXPECT_EQ(At(strip, 217, 145), QColor(Qt::green));
    EXPECT_EQ(At(strip, 218, 100), Grey);
    EXPECT_EQ(At(strip, 219, 100), QColor(Qt::red));
    EXPECT_EQ(At(strip, 300, 0), QColor(Qt::red));
    EXPECT_EQ(At(strip, 500, 0), QColor(Qt::green));
    EXPECT_EQ(At(strip, 700, 100), Grey);
    // " %i %i " labels at (j*w + 3, 3), starting with a space.
    EXPECT_EQ(At(strip, 3, 3), Grey);
    EXPECT_GT(DarkPixels(strip, QRect(3, 3, 30, 12)), 3);
    EXPECT_GT(DarkPixels(strip, QRect(222, 3, 30, 12)), 3);
    EXPECT_GT(DarkPixels(strip, QRect(441, 3, 30, 12)), 3);
}

TEST_F(PictureStripTest, LineStripDrawsOnlyWhatIsInRange) {
    pictures[0] = Solid(Qt::red);
    for (int i = 1; i < 500; ++i) pictures[i] = Solid(Qt::blue);
    TItemRec record;
    record.PicCount = 40;  // from a foreign segment table
    record.Pics[0] = -1;
    record.Pics[1] = 600;
    record.Pics[2] = 0;
    record.Pics[3] = 499;
    record.Pics[4] = 0;
    const QImage strip = Render(146, Grey, [&](QPainter& p, QSize size) {
        PaintLineStrip(p, QSize(5 * 219 + 50, size.height()), Grey, &record, pictures);
    });
    EXPECT_EQ(At(strip, 100, 100), Grey);  // -1: label only
    EXPECT_GT(DarkPixels(strip, QRect(3, 3, 30, 12)), 3);
    EXPECT_EQ(At(strip, 300, 100), Grey);  // 600: label only
    EXPECT_EQ(At(strip, 500, 100), QColor(Qt::red));
    EXPECT_EQ(At(strip, 700, 100), QColor(Qt::blue));

    record.PicCount = -7;
    const QImage none =
        Render(146, Grey, [&](QPainter& p, QSize size) { PaintLineStrip(p, size, Grey, &record, pictures); });
    EXPECT_EQ(DarkPixels(none, none.rect()), 0);
    EXPECT_EQ(At(none, 500, 100), Grey);

    const QImage noRecord =
        Render(146, Grey, [&](QPainter& p, QSize size) { PaintLineStrip(p, size, Grey, nullptr, pictures); });
    EXPECT_EQ(DarkPixels(noRecord, noRecord.rect()), 0);
}

TEST(PictureStripGeometry, ShownCountStaysWithinFive) {
    TItemRec record;
    record.PicCount = 3;
    EXPECT_EQ(ShownPictureCount(record), 3);
    record.PicCount = 9;
    EXPECT_EQ(ShownPictureCount(record), 5);
    record.PicCount = -2;
    EXPECT_EQ(ShownPictureCount(record), 0);
}
