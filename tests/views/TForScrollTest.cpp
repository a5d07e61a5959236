#include <gtest/gtest.h>

#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>
#include <memory>

#include "ButtonGlyphs.h"
#include "TForScroll.h"

namespace {

int notifications = 0;
int secondNotifications = 0;
TForScroll* notifiedBy = nullptr;
void CountNotify(TForScroll* s) {
    ++notifications;
    notifiedBy = s;
}
void CountSecond(TForScroll*) {
    // The second notification comes after the first.
    EXPECT_GT(notifications, secondNotifications);
    ++secondNotifications;
}

bool HasColour(const QImage& img, QRgb colour) {
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if ((img.pixel(x, y) | 0xff000000) == colour && qAlpha(img.pixel(x, y)) == 255) return true;
        }
    }
    return false;
}

const QRgb Blue = qRgb(0, 0, 255);
const QRgb Red = qRgb(255, 0, 0);

// value / step applied n times, each quotient rounded to a float.
float DividedNTimes(float value, float step, int n) {
    for (int i = 0; i < n; ++i) value = value / step;
    return value;
}

class ScrollerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        notifications = secondNotifications = 0;
        notifiedBy = nullptr;
        parent = std::make_unique<QWidget>();
        parent->resize(200, 100);
        image = new TImage(parent.get());
        image->setGeometry(50, 50, 25, 25);
        images = std::make_unique<TImageList>(25, 25);
        for (const QImage& g : MakeScrollerGlyphs()) images->Add(g);
        image->Picture = images->Glyphs[0];
    }
    void TearDown() override {
        // QTest remembers the buttons it pressed; leave none held for the next test. The
        // scroller is gone by now, and so must be its handlers.
        image->OnMouseDown = nullptr;
        image->OnMouseMove = nullptr;
        image->OnMouseUp = nullptr;
        for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
            QTest::mouseRelease(image, b, {}, QPoint(1, 1));
        }
    }
    std::unique_ptr<TForScroll> Make(int additive, int vertical, QLabel* label = nullptr) {
        return std::make_unique<TForScroll>(label, image, images.get(), 0, &value, &step, additive, vertical,
                                            CountNotify, CountSecond);
    }

    std::unique_ptr<QWidget> parent;
    TImage* image = nullptr;
    std::unique_ptr<TImageList> images;
    float value = 100000.0f;
    float step = 1.03f;
};

}  // namespace

TEST_F(ScrollerTest, ConstructorReplacesTheImagesHandlersAndDrawsNothing) {
    bool oldCalled = false;
    image->OnMouseDown = [&](QObject*, TMouseButton, TShiftState, int, int) { oldCalled = true; };
    image->OnMouseMove = [&](QObject*, TShiftState, int, int) { oldCalled = true; };
    image->OnMouseUp = [&](QObject*, TMouseButton, TShiftState, int, int) { oldCalled = true; };
    const QImage before = image->Picture;
    auto scroller = Make(0, 0);
    EXPECT_EQ(image->Picture, before);
    EXPECT_EQ(scroller->Pressed, 0);
    QTest::mousePress(image, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(image, QPoint(6, 5));
    QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(6, 5));
    EXPECT_FALSE(oldCalled);
    EXPECT_EQ(notifications, 1);
    EXPECT_EQ(notifiedBy, scroller.get());
}

TEST_F(ScrollerTest, ZoomDragTenPixelsRightDividesTenTimesWithRoundingEachTime) {
    auto scroller = Make(0, 0);
    QTest::mousePress(image, Qt::LeftButton, {}, QPoint(12, 12));
    QTest::mouseMove(image, QPoint(22, 12));
    const float expected = DividedNTimes(100000.0f, 1.03f, 10);
    EXPECT_EQ(value, expected);
    EXPECT_NEAR(value, 74409.4f, 0.05f);
    EXPECT_EQ(notifications, 1);
    EXPECT_EQ(secondNotifications, 1);
    EXPECT_EQ(scroller->LastX, 22);
    QTest::mouseMove(image, QPoint(12, 12));
    EXPECT_NEAR(value, 100000.0f, 0.1f);
    EXPECT_EQ(notifications, 2);
    QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(12, 12));
}

TEST_F(ScrollerTest, OneMoveOfNPixelsEqualsNMovesOfOnePixel) {
    auto scroller = Make(0, 0);
    QTest::mousePress(image, Qt::LeftButton, {}, QPoint(12, 12));
    QTest::mouseMove(image, QPoint(52, 12));
    const float jumped = value;
    QTest::mouseMove(image, QPoint(12, 12));
    value = 100000.0f;
    for (int x = 13; x <= 52; ++x) QTest::mouseMove(image, QPoint(x, 12));
    EXPECT_EQ(value, jumped);
    EXPECT_EQ(value, DividedNTimes(100000.0f, 1.03f, 40));
    QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(52, 12));
}

TEST_F(ScrollerTest, MovesOutsideTheHandleKeepStepping) {
    auto scroller = Make(0, 0);
    QTest::mousePress(image, Qt::LeftButton, {}, QPoint(12, 12));
    // Left of the handle: negative coordinates, each pixel multiplies.
    QTest::mouseMove(image, QPoint(-8, 30));
    float expected = 100000.0f;
    for (int i = 0; i < 20; ++i) expected = 1.03f * expected;
    EXPECT_EQ(value, expected);
    QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(-8, 30));
    EXPECT_EQ(scroller->Pressed, 0);
}

TEST_F(ScrollerTest, PanStepsByHalfAPercentOfTheSpanPerPixel) {
    value = 300.0f;
    step = 100000.0f;
    auto scroller = Make(1, 0);
    QTest::mousePress(image, Qt::LeftButton, {}, QPoint(12, 12));
    QTest::mouseMove(image, QPoint(13, 12));
    EXPECT_EQ(value, -200.0f);  // the scroller itself has no bounds
    QTest::mouseMove(image, QPoint(9, 12));
    EXPECT_EQ(value, 1800.0f);
    QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(9, 12));
}

TEST_F(ScrollerTest, APanStepIsHalfAPercentOfTheSpanRoundedToAFloat) {
    // 0.005 x 100001 is 500.005, which a float holds only as 500.00497...; in double arithmetic
    // the step from 300 would end at -200.0050048828125 instead.
    value = 300.0f;
    step = 100001.0f;
    auto scroller = Make(1, 0);
    QTest::mousePress(image, Qt::LeftButton, {}, QPoint(12, 12));
    QTest::mouseMove(image, QPoint(13, 12));
    EXPECT_EQ(value, -200.00497436523438f);
    EXPECT_NE(value, float(300.0 - 0.005 * 100001.0));
    QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(13, 12));
}

TEST_F(ScrollerTest, VerticalScrollersFollowTheVerticalAxis) {
    auto zoom = Make(0, 1);
    QTest::mousePress(image, Qt::LeftButton, {}, QPoint(12, 12));
    QTest::mouseMove(image, QPoint(40, 14));  // down two: multiplied twice; across: ignored
    EXPECT_EQ(value, 1.03f * (1.03f * 100000.0f));
    EXPECT_EQ(zoom->LastY, 14);
    EXPECT_EQ(zoom->LastX, 12);
    QTest::mouseMove(image, QPoint(40, 13));
    EXPECT_EQ(value, (1.03f * (1.03f * 100000.0f)) / 1.03f);
    QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(40, 13));
    zoom.reset();

    value = 0.0f;
    step = 1000.0f;
    auto pan = Make(1, 1);
    QTest::mousePress(image, Qt::LeftButton, {}, QPoint(12, 12));
    QTest::mouseMove(image, QPoint(12, 15));  // down adds
    EXPECT_EQ(value, 15.0f);
    QTest::mouseMove(image, QPoint(12, 11));  // up subtracts
    EXPECT_EQ(value, -5.0f);
    QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(12, 11));
}

TEST_F(ScrollerTest, MoveAcrossTheOtherAxisStepsNothingButNotifies) {
    auto scroller = Make(0, 0);
    QTest::mousePress(image, Qt::LeftButton, {}, QPoint(12, 12));
    QTest::mouseMove(image, QPoint(12, 20));
    QTest::mouseMove(image, QPoint(12, 40));
    EXPECT_EQ(value, 100000.0f);
    EXPECT_EQ(notifications, 2);
    EXPECT_EQ(scroller->LastY, 12);  // the other coordinate is left as it was
    QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(12, 40));
}

TEST_F(ScrollerTest, MovesWithoutTheLeftButtonDoNothing) {
    auto scroller = Make(0, 0);
    // No button: QTest only moves the cursor, and a move event without buttons is ignored too.
    QTest::mouseMove(image, QPoint(20, 12));
    QMouseEvent bare(QEvent::MouseMove, QPointF(22, 12), image->mapToGlobal(QPointF(22, 12)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(image, &bare);
    QTest::mousePress(image, Qt::RightButton, {}, QPoint(12, 12));
    QTest::mouseMove(image, QPoint(30, 12));
    QTest::mouseRelease(image, Qt::RightButton, {}, QPoint(30, 12));
    EXPECT_EQ(value, 100000.0f);
    EXPECT_EQ(notifications, 0);
}

TEST_F(ScrollerTest, AMoveBeforeAnyPressStartsFromItsOwnPosition) {
    auto scroller = Make(0, 0);
    // The left button went down elsewhere; the moves reach the handle anyway.
    TImage elsewhere(parent.get());
    QTest::mousePress(&elsewhere, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(image, QPoint(300, 12));
    EXPECT_EQ(value, 100000.0f);
    EXPECT_EQ(notifications, 1);
    QTest::mouseMove(image, QPoint(301, 12));
    EXPECT_EQ(value, 100000.0f / 1.03f);
    EXPECT_EQ(scroller->Pressed, 0);
    QTest::mouseRelease(&elsewhere, Qt::LeftButton, {}, QPoint(5, 5));
    // A press sets the start anew.
    QTest::mousePress(image, Qt::LeftButton, {}, QPoint(12, 12));
    QTest::mouseMove(image, QPoint(13, 12));
    EXPECT_EQ(value, (100000.0f / 1.03f) / 1.03f);
    QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(13, 12));
}

TEST_F(ScrollerTest, TheGlyphShowsPressedOnlyAfterALeftPress) {
    auto scroller = Make(0, 0);
    EXPECT_FALSE(HasColour(image->Picture, Red));
    QTest::mousePress(image, Qt::RightButton, {}, QPoint(12, 12));
    EXPECT_EQ(scroller->Pressed, 0);
    EXPECT_FALSE(HasColour(image->Picture, Red));
    QTest::mouseRelease(image, Qt::RightButton, {}, QPoint(12, 12));
    EXPECT_TRUE(HasColour(image->Picture, Blue));
    EXPECT_FALSE(HasColour(image->Picture, Red));

    QTest::mousePress(image, Qt::LeftButton, {}, QPoint(12, 12));
    EXPECT_EQ(scroller->Pressed, 1);
    EXPECT_TRUE(HasColour(image->Picture, Red));
    EXPECT_FALSE(HasColour(image->Picture, Blue));
    QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(12, 12));
    EXPECT_EQ(scroller->Pressed, 0);
    EXPECT_TRUE(HasColour(image->Picture, Blue));
    // The handle stays transparent around the round glyph.
    EXPECT_EQ(image->Picture.size(), QSize(25, 25));
    EXPECT_EQ(qAlpha(image->Picture.pixel(0, 0)), 0);
}

TEST_F(ScrollerTest, ALabelShowsTheValue) {
    QLabel label(parent.get());
    auto scroller = Make(0, 0, &label);
    EXPECT_EQ(label.text(), QStringLiteral("100000.00"));
    QTest::mousePress(image, Qt::LeftButton, {}, QPoint(12, 12));
    QTest::mouseMove(image, QPoint(22, 12));
    EXPECT_EQ(label.text(), QString::asprintf("%.2f", double(DividedNTimes(100000.0f, 1.03f, 10))));
    QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(22, 12));
}

TEST(ScrollerGlyphs, FourHandlesOfTwentyFivePixelsInBlueAndRed) {
    const std::vector<QImage> glyphs = MakeScrollerGlyphs();
    ASSERT_EQ(glyphs.size(), 4u);
    for (size_t i = 0; i < glyphs.size(); ++i) {
        const QImage& g = glyphs[i];
        EXPECT_EQ(g.size(), QSize(25, 25)) << i;
        const bool pressed = i % 2 == 1;
        EXPECT_EQ(HasColour(g, Red), pressed) << i;
        EXPECT_EQ(HasColour(g, Blue), !pressed) << i;
        EXPECT_TRUE(HasColour(g, qRgb(0, 0, 0))) << i;  // the wave peak
        // Round: the centre is the grey face, the corners are see-through.
        EXPECT_EQ(qAlpha(g.pixel(12, 3)), 255) << i;
        EXPECT_EQ(qAlpha(g.pixel(0, 24)), 0) << i;
    }
    // The two kinds differ: zoom has arrows at the edges, pan its bars and double arrow.
    EXPECT_NE(glyphs[0], glyphs[2]);
    EXPECT_NE(glyphs[1], glyphs[3]);
}
