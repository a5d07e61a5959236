// The waveform view and its two drag handles in the real window, driven by mouse events.
#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>
#include <QTest>
#include <cmath>
#include <memory>
#include <vector>

#include "EditorState.h"
#include "PixelColours.h"
#include "Timeline.h"
#include "WaveRenderer.h"
#include "WindowTest.h"

namespace QTestPrivate {
extern Q_TESTLIB_EXPORT Qt::MouseButtons qtestMouseButtons;
}

namespace {

const QPoint Centre(12, 12);

bool HasColour(const QImage& img, QRgb colour) {
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (img.pixel(x, y) == colour) return true;
        }
    }
    return false;
}

float DividedNTimes(float value, float step, int n) {
    for (int i = 0; i < n; ++i) value = value / step;
    return value;
}

class WaveViewTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        // The positions below are worked out for the designed 857-pixel view; a window whose
        // panels leave the view another width is widened or narrowed to give it that.
        const int wider = 857 - form->SoundView->width();
        if (wider != 0) {
            form->resize(form->width() + wider, form->height());
            QCoreApplication::processEvents();
        }
        ASSERT_EQ(form->SoundView->size(), QSize(857, 80));
    }
    void TearDown() override {
        // QTest remembers held buttons between tests; let go of them on a handle.
        for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
            if (QTestPrivate::qtestMouseButtons & b) QTest::mouseRelease(form->SqzImg, b, {}, Centre);
        }
        EXPECT_TRUE(messages.isEmpty()) << messages.join(QStringLiteral("; ")).toStdString();
        WindowTest::TearDown();
    }

    // A recording of n samples, each made by value(i); ResetEditorState releases it.
    template <typename F>
    void LoadSamples(int32_t n, F value) {
        EditorState.Samples = AllocateSamples(n);
        EditorState.SampleCount = n;
        for (int32_t i = 0; i < n; ++i) EditorState.Samples[i] = int16_t(value(i));
    }
    void LoadSine() {
        LoadSamples(300000, [](int32_t i) { return (i % 400 < 200) ? 9000 : -9000; });
    }

    // Columns below the labels (rows 20 .. 79) where the waveform left a black pixel.
    std::vector<int> BlackColumns() const {
        std::vector<int> columns;
        for (int x = 0; x < Bitmap().width(); ++x) {
            for (int y = 20; y < Bitmap().height(); ++y) {
                if (At(Bitmap(), x, y) == Black) {
                    columns.push_back(x);
                    break;
                }
            }
        }
        return columns;
    }
    // The column of position s in the current view, worked out in double precision; the cases
    // below keep it well away from a column boundary.
    static int ColumnOf(int32_t s) {
        const double column =
            (s - std::floor(double(EditorState.ViewStart) + 0.5)) * 857.0 / EditorState.ViewSpan;
        EXPECT_GT(std::fabs(column - std::round(column)), 0.05) << column;
        return int(column);
    }
    const QImage& Bitmap() const { return *EditorState.WaveBitmap; }

    void ClickView(Qt::MouseButton b, int x) { QTest::mouseClick(form->SoundView, b, {}, QPoint(x, 40)); }
};

}  // namespace

TEST_F(WaveViewTest, TwoClicksSelectTheRangeBetweenThemAndTheFirstStartsFromZero) {
    LoadSine();
    ClickView(Qt::LeftButton, 100);  // 100 / 857 of 100000 positions
    EXPECT_EQ(EditorState.MarkA, 11668);
    EXPECT_EQ(EditorState.MarkB, 0);
    EXPECT_EQ(EditorState.SelStart, 0);
    EXPECT_EQ(EditorState.SelEnd, 11668);
    ClickView(Qt::LeftButton, 50);
    EXPECT_EQ(EditorState.MarkA, 5834);
    EXPECT_EQ(EditorState.MarkB, 11668);
    EXPECT_EQ(EditorState.SelStart, 5834);
    EXPECT_EQ(EditorState.SelEnd, 11668);
    // Each click redraws with the selection's two red lines.
    EXPECT_EQ(At(Bitmap(), 49, 60), Red);
    EXPECT_EQ(At(Bitmap(), 99, 60), Red);
    ClickView(Qt::LeftButton, 200);  // replaces the older end
    EXPECT_EQ(EditorState.SelStart, 5834);
    EXPECT_EQ(EditorState.SelEnd, 23337);
}

TEST_F(WaveViewTest, AClickAtTheLeftEdgeTakesTheWholePartOfViewStart) {
    LoadSine();
    EditorState.ViewStart = 10.5f;
    ClickView(Qt::LeftButton, 0);
    EXPECT_EQ(EditorState.MarkA, 10);
    EXPECT_EQ(FirstSample(EditorState.ViewStart), 11);
    EditorState.ViewStart = 7.99f;
    ClickView(Qt::LeftButton, 0);
    EXPECT_EQ(EditorState.MarkA, 7);
    EXPECT_EQ(EditorState.SelStart, 7);
    EXPECT_EQ(EditorState.SelEnd, 10);
}

TEST_F(WaveViewTest, RightAndMiddleClicksChangeNothing) {
    LoadSine();
    ClickView(Qt::LeftButton, 300);
    ClickView(Qt::LeftButton, 100);
    const QImage before = Bitmap();
    const TEditorState state = EditorState;
    ClickView(Qt::RightButton, 600);
    ClickView(Qt::MiddleButton, 700);
    EXPECT_EQ(EditorState.MarkA, state.MarkA);
    EXPECT_EQ(EditorState.MarkB, state.MarkB);
    EXPECT_EQ(EditorState.SelStart, state.SelStart);
    EXPECT_EQ(EditorState.SelEnd, state.SelEnd);
    EXPECT_EQ(Bitmap(), before);
}

TEST_F(WaveViewTest, AReleaseOutsideTheViewStoresItsPositionUnclamped) {
    LoadSamples(50000, [](int32_t) { return -7000; });
    QTest::mousePress(form->SoundView, Qt::LeftButton, {}, QPoint(100, 40));
    QTest::mouseRelease(form->SoundView, Qt::LeftButton, {}, QPoint(-200, 40));
    EXPECT_EQ(EditorState.MarkA, -23337);
    EXPECT_EQ(EditorState.SelStart, -23337);
    EXPECT_EQ(EditorState.SelEnd, 0);
    // Past the end of the recording, too; drawing such a view reads nothing outside it.
    ClickView(Qt::LeftButton, 5000);
    EXPECT_EQ(EditorState.MarkA, 583430);
    EXPECT_EQ(EditorState.SelStart, -23337);
    EXPECT_EQ(EditorState.SelEnd, 583430);
    // Both ends lie outside the view: no red line; the waveform (row 30) ends with the recording
    // at 50000 / 100000 x 857 = column 428.
    EXPECT_FALSE(HasColour(Bitmap(), Red));
    EXPECT_EQ(At(Bitmap(), 300, 30), Black);
    EXPECT_EQ(BlackColumns().back(), 428);
}

TEST_F(WaveViewTest, WithoutARecordingClicksMoveTheMarksAndTheViewShowsNothing) {
    // The bitmap lives for the whole run; as the window starts, it is empty.
    *EditorState.WaveBitmap = QImage();
    ClickView(Qt::LeftButton, 100);
    EXPECT_EQ(EditorState.SelEnd, 11668);
    EXPECT_TRUE(Bitmap().isNull());
    // A recording drawn once stays in the bitmap when the samples go.
    LoadSine();
    form->DrawWave();
    const QImage drawn = Bitmap();
    ReleaseSamples(EditorState.Samples);
    EditorState.Samples = nullptr;
    ClickView(Qt::LeftButton, 300);
    EXPECT_EQ(EditorState.SelStart, 11668);
    EXPECT_EQ(Bitmap(), drawn);
    EXPECT_TRUE(HasColour(form->SoundView->grab().toImage().convertToFormat(QImage::Format_RGB32), White));
}

TEST_F(WaveViewTest, PaintingCopiesTheBitmap) {
    LoadSine();
    ClickView(Qt::LeftButton, 400);
    const QImage shown = form->SoundView->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, Bitmap());
    EXPECT_EQ(At(shown, 399, 60), Red);
}

TEST_F(WaveViewTest, ResizingThePanelRedrawsAtTheNewWidth) {
    LoadSine();
    form->resize(form->width() + 143, form->height());
    QCoreApplication::processEvents();
    ASSERT_EQ(form->SoundView->width(), 1000);
    EXPECT_EQ(Bitmap().size(), QSize(1000, 80));
    // Ten marks of 100 pixels: the first at 50.
    EXPECT_EQ(At(Bitmap(), 50, 70), Silver);
    EXPECT_EQ(At(Bitmap(), 950, 70), Silver);
}

TEST_F(WaveViewTest, CheckBox1RedrawsWithViewStartClamped) {
    LoadSine();
    EditorState.ViewStart = -5.0f;
    EditorState.SelStart = 50000;  // column 428
    form->CheckBox1->click();
    EXPECT_EQ(EditorState.ViewStart, 0.0f);
    EXPECT_EQ(At(Bitmap(), 428, 60), Red);
}

TEST_F(WaveViewTest, ZoomDragOfTenPixelsRightAndBack) {
    LoadSine();
    EditorState.SelStart = EditorState.SelEnd = 50000;
    QTest::mousePress(form->SqzImg, Qt::LeftButton, {}, Centre);
    QTest::mouseMove(form->SqzImg, Centre + QPoint(10, 0));
    EXPECT_EQ(EditorState.ViewSpan, DividedNTimes(100000.0f, 1.03f, 10));
    EXPECT_NEAR(EditorState.ViewSpan, 74409.4f, 0.05f);
    EXPECT_EQ(EditorState.ViewStart, 0.0f);
    // The selection line follows the zoom: 50000 / 74409.4 x 857 = column 575.
    EXPECT_EQ(ColumnOf(50000), 575);
    EXPECT_EQ(At(Bitmap(), 575, 60), Red);
    QTest::mouseMove(form->SqzImg, Centre);
    EXPECT_NEAR(EditorState.ViewSpan, 100000.0f, 0.1f);
    EXPECT_EQ(At(Bitmap(), 428, 60), Red);
    EXPECT_NE(At(Bitmap(), 575, 60), Red);
    QTest::mouseRelease(form->SqzImg, Qt::LeftButton, {}, Centre);
}

TEST_F(WaveViewTest, PanDragOfOnePixelFromThreeHundredIsClampedToZero) {
    LoadSine();
    EditorState.ViewStart = 300.0f;
    EditorState.SelStart = EditorState.SelEnd = 50000;
    form->DrawWave();
    EXPECT_EQ(At(Bitmap(), 425, 60), Red);  // (50000 - 300) / 100000 x 857
    QTest::mousePress(form->PosImg, Qt::LeftButton, {}, Centre);
    QTest::mouseMove(form->PosImg, Centre + QPoint(1, 0));
    EXPECT_EQ(EditorState.ViewStart, 0.0f);
    EXPECT_EQ(EditorState.ViewSpan, 100000.0f);
    EXPECT_EQ(At(Bitmap(), 428, 60), Red);
    EXPECT_NE(At(Bitmap(), 425, 60), Red);
    // Dragging left moves forward by 0.5 % of the span per pixel.
    QTest::mouseMove(form->PosImg, Centre + QPoint(-2, 0));
    EXPECT_EQ(EditorState.ViewStart, 1500.0f);
    QTest::mouseRelease(form->PosImg, Qt::LeftButton, {}, Centre);
}

TEST_F(WaveViewTest, AVerticalMoveStepsNothingButRedrawsEveryTime) {
    LoadSine();
    QTest::mousePress(form->SqzImg, Qt::LeftButton, {}, Centre);
    EditorState.SelStart = 50000;  // column 428, not drawn yet
    EditorState.ViewStart = -3.0f;
    QTest::mouseMove(form->SqzImg, Centre + QPoint(0, 15));
    EXPECT_EQ(EditorState.ViewSpan, 100000.0f);
    EXPECT_EQ(EditorState.ViewStart, 0.0f);
    EXPECT_EQ(At(Bitmap(), 428, 60), Red);
    EditorState.SelEnd = 60000;  // column 514
    QTest::mouseMove(form->SqzImg, Centre + QPoint(0, 30));
    EXPECT_EQ(At(Bitmap(), 514, 60), Red);
    EXPECT_EQ(EditorState.ViewSpan, 100000.0f);
    QTest::mouseRelease(form->SqzImg, Qt::LeftButton, {}, Centre + QPoint(0, 30));
}

TEST_F(WaveViewTest, HandlesShowPressedOnlyAfterALeftPress) {
    for (TImage* handle : {form->SqzImg, form->PosImg}) {
        EXPECT_FALSE(HasColour(handle->Picture, Red));
        EXPECT_TRUE(HasColour(handle->Picture, qRgb(0, 0, 255)));
        QTest::mousePress(handle, Qt::RightButton, {}, Centre);
        EXPECT_FALSE(HasColour(handle->Picture, Red));
        QTest::mouseRelease(handle, Qt::RightButton, {}, Centre);
        EXPECT_FALSE(HasColour(handle->Picture, Red));
        QTest::mousePress(handle, Qt::LeftButton, {}, Centre);
        EXPECT_TRUE(HasColour(handle->Picture, Red));
        EXPECT_FALSE(HasColour(handle->Picture, qRgb(0, 0, 255)));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, Centre);
        EXPECT_FALSE(HasColour(handle->Picture, Red));
        EXPECT_TRUE(HasColour(handle->Picture, qRgb(0, 0, 255)));
    }
    // The pressed zoom handle and the pressed pan handle are different pictures.
    QTest::mousePress(form->SqzImg, Qt::LeftButton, {}, Centre);
    const QImage zoomPressed = form->SqzImg->Picture;
    QTest::mouseRelease(form->SqzImg, Qt::LeftButton, {}, Centre);
    QTest::mousePress(form->PosImg, Qt::LeftButton, {}, Centre);
    EXPECT_NE(form->PosImg->Picture, zoomPressed);
    QTest::mouseRelease(form->PosImg, Qt::LeftButton, {}, Centre);
}

TEST_F(WaveViewTest, AMoveBeforeAnyPressOnTheHandleStartsWhereItIs) {
    LoadSine();
    // The button went down in the waveform; the handle has never been pressed.
    QTest::mousePress(form->SoundView, Qt::LeftButton, {}, QPoint(10, 10));
    EditorState.SelStart = 50000;
    QTest::mouseMove(form->SqzImg, QPoint(300, 12));
    EXPECT_EQ(EditorState.ViewSpan, 100000.0f);
    EXPECT_EQ(At(Bitmap(), 428, 60), Red);  // notified and redrawn all the same
    QTest::mouseMove(form->SqzImg, QPoint(301, 12));
    EXPECT_EQ(EditorState.ViewSpan, 100000.0f / 1.03f);
    QTest::mouseRelease(form->SqzImg, Qt::LeftButton, {}, QPoint(301, 12));
}

TEST_F(WaveViewTest, ExtremeDragsStayWithinTheViewBounds) {
    LoadSine();
    EditorState.SelStart = EditorState.SelEnd = -1000000000;  // left of every view below
    QTest::mousePress(form->SqzImg, Qt::LeftButton, {}, Centre);
    // About 160 pixels right reach one sample per pixel; nothing stops there.
    QTest::mouseMove(form->SqzImg, Centre + QPoint(162, 0));
    EXPECT_EQ(EditorState.ViewSpan, DividedNTimes(100000.0f, 1.03f, 162));
    EXPECT_LT(EditorState.ViewSpan, 857.0f);
    QTest::mouseMove(form->SqzImg, Centre + QPoint(5000, 0));
    EXPECT_EQ(EditorState.ViewSpan, MinViewSpan);
    // One position across the view: the first line of the waveform runs past the right edge.
    EXPECT_GT(BlackColumns().size(), 800u);
    // Back left: a whole ten-hour recording fits, and farther out the span stops at the bound.
    QTest::mouseMove(form->SqzImg, Centre + QPoint(5000 - 700, 0));
    EXPECT_GT(EditorState.ViewSpan, 11025.0f * 3600.0f * 10.0f);
    EXPECT_LT(EditorState.ViewSpan, MaxViewPositions);
    QTest::mouseMove(form->SqzImg, Centre + QPoint(-10000, 0));
    EXPECT_EQ(EditorState.ViewSpan, MaxViewPositions);
    // Only column 0 lies inside the 300000 positions of the recording.
    EXPECT_EQ(BlackColumns(), std::vector<int>{0});
    QTest::mouseRelease(form->SqzImg, Qt::LeftButton, {}, Centre);

    QTest::mousePress(form->PosImg, Qt::LeftButton, {}, Centre);
    QTest::mouseMove(form->PosImg, Centre + QPoint(-3000, 0));
    EXPECT_EQ(EditorState.ViewStart, MaxViewPositions);
    EXPECT_TRUE(BlackColumns().empty());
    EXPECT_EQ(At(Bitmap(), 42, 70), Silver);
    QTest::mouseMove(form->PosImg, Centre + QPoint(3000, 0));
    EXPECT_EQ(EditorState.ViewStart, 0.0f);
    QTest::mouseRelease(form->PosImg, Qt::LeftButton, {}, Centre);
}

TEST_F(WaveViewTest, ATextOnlyProjectAfterARecordingShowsAnEmptyView) {
    WriteAll(Path("a.txt"), "a\r\n");
    ASSERT_TRUE(QFile::copy(FixturePath("playback/tone-22050-mono-64k.mp3"), Path("a.mp3")));
    WriteAll(Path("b.txt"), "b\r\n");
    EditorState.SelStart = 50000;  // column 428
    Open(Path("a.txt"));
    ASSERT_NE(EditorState.Samples, nullptr);
    EXPECT_TRUE(HasColour(Bitmap(), Black));
    EXPECT_EQ(At(Bitmap(), 428, 60), Red);
    Open(Path("b.txt"));
    EXPECT_EQ(EditorState.Samples, nullptr);
    QImage white(857, 80, QImage::Format_RGB32);
    white.fill(Qt::white);
    EXPECT_EQ(Bitmap(), white);
    QApplication::processEvents();
    EXPECT_EQ(form->SoundView->grab().toImage().convertToFormat(QImage::Format_RGB32), white);
}

TEST_F(WaveViewTest, TheHandlesShowThePanelAroundTheirGlyphAfterAPress) {
    const QColor panel = form->Panel5->palette().color(QPalette::Window);
    ASSERT_NE(panel, QColor(Qt::white));
    for (TImage* handle : {form->SqzImg, form->PosImg}) {
        QTest::mousePress(handle, Qt::LeftButton, {}, Centre);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, Centre);
        QApplication::processEvents();
        const QImage shown = form->Panel5->grab(handle->geometry()).toImage();
        EXPECT_EQ(shown.pixelColor(0, 0), panel);
        EXPECT_EQ(shown.pixelColor(24, 24), panel);
    }
}
