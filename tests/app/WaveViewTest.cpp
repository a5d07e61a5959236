// The waveform view and its two drag handles in the real window, driven by mouse events.
#include <gtest/gtest.h>

#include <QStringList>
#include <QTest>
#include <memory>

#include "EditorState.h"
#include "ExceptionDialog.h"
#include "TAddItemsForm.h"
#include "TestSupport.h"
#include "Timeline.h"
#include "WaveRenderer.h"

namespace QTestPrivate {
extern Q_TESTLIB_EXPORT Qt::MouseButtons qtestMouseButtons;
}

namespace {

const QRgb Red = qRgb(255, 0, 0);
const QRgb Silver = qRgb(192, 192, 192);
const QPoint Centre(12, 12);

QRgb At(const QImage& img, int x, int y) { return img.pixel(x, y) | 0xff000000; }

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

class WaveViewTest : public FreshStateTest {
  protected:
    void SetUp() override {
        FreshStateTest::SetUp();
        ExceptionDialogOverride = [this](const QString& m) { messages << m; };
        form = std::make_unique<TAddItemsForm>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
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
        form.reset();
        ExceptionDialogOverride = nullptr;
        EXPECT_TRUE(messages.isEmpty()) << messages.join(QStringLiteral("; ")).toStdString();
        FreshStateTest::TearDown();
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

    // What the view must show for the editor's current state.
    QImage Expected() const {
        QImage img(857, 80, QImage::Format_RGB32);
        TWaveView view;
        view.Width = 857;
        view.Height = 80;
        view.ViewStart = EditorState.ViewStart;
        view.ViewSpan = EditorState.ViewSpan;
        view.SelStart = EditorState.SelStart;
        view.SelEnd = EditorState.SelEnd;
        RenderWave(img, EditorState.Samples, EditorState.SampleCount, view);
        return img;
    }
    const QImage& Bitmap() const { return *EditorState.WaveBitmap; }

    void Click(Qt::MouseButton b, int x) { QTest::mouseClick(form->SoundView, b, {}, QPoint(x, 40)); }

    std::unique_ptr<TAddItemsForm> form;
    QStringList messages;
};

}  // namespace

TEST_F(WaveViewTest, TwoClicksSelectTheRangeBetweenThemAndTheFirstStartsFromZero) {
    LoadSine();
    Click(Qt::LeftButton, 100);  // 100 / 857 of 100000 positions
    EXPECT_EQ(EditorState.MarkA, 11668);
    EXPECT_EQ(EditorState.MarkB, 0);
    EXPECT_EQ(EditorState.SelStart, 0);
    EXPECT_EQ(EditorState.SelEnd, 11668);
    Click(Qt::LeftButton, 50);
    EXPECT_EQ(EditorState.MarkA, 5834);
    EXPECT_EQ(EditorState.MarkB, 11668);
    EXPECT_EQ(EditorState.SelStart, 5834);
    EXPECT_EQ(EditorState.SelEnd, 11668);
    // Each click redraws with the selection's two red lines.
    EXPECT_EQ(Bitmap(), Expected());
    EXPECT_EQ(At(Bitmap(), 49, 60), Red);
    EXPECT_EQ(At(Bitmap(), 99, 60), Red);
    Click(Qt::LeftButton, 200);  // replaces the older end
    EXPECT_EQ(EditorState.SelStart, 5834);
    EXPECT_EQ(EditorState.SelEnd, 23337);
}

TEST_F(WaveViewTest, AClickAtTheLeftEdgeTakesTheWholePartOfViewStart) {
    LoadSine();
    EditorState.ViewStart = 10.5f;
    Click(Qt::LeftButton, 0);
    EXPECT_EQ(EditorState.MarkA, 10);
    EXPECT_EQ(FirstSample(EditorState.ViewStart), 11);
    EditorState.ViewStart = 7.99f;
    Click(Qt::LeftButton, 0);
    EXPECT_EQ(EditorState.MarkA, 7);
    EXPECT_EQ(EditorState.SelStart, 7);
    EXPECT_EQ(EditorState.SelEnd, 10);
}

TEST_F(WaveViewTest, RightAndMiddleClicksChangeNothing) {
    LoadSine();
    Click(Qt::LeftButton, 300);
    Click(Qt::LeftButton, 100);
    const QImage before = Bitmap();
    const TEditorState state = EditorState;
    Click(Qt::RightButton, 600);
    Click(Qt::MiddleButton, 700);
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
    Click(Qt::LeftButton, 5000);
    EXPECT_EQ(EditorState.MarkA, 583430);
    EXPECT_EQ(EditorState.SelStart, -23337);
    EXPECT_EQ(EditorState.SelEnd, 583430);
    EXPECT_EQ(Bitmap(), Expected());
}

TEST_F(WaveViewTest, WithoutARecordingClicksMoveTheMarksAndTheViewShowsNothing) {
    // The bitmap lives for the whole run; as the window starts, it is empty.
    *EditorState.WaveBitmap = QImage();
    Click(Qt::LeftButton, 100);
    EXPECT_EQ(EditorState.SelEnd, 11668);
    EXPECT_TRUE(Bitmap().isNull());
    // A recording drawn once stays in the bitmap when the samples go.
    LoadSine();
    form->DrawWave();
    const QImage drawn = Bitmap();
    ReleaseSamples(EditorState.Samples);
    EditorState.Samples = nullptr;
    Click(Qt::LeftButton, 300);
    EXPECT_EQ(EditorState.SelStart, 11668);
    EXPECT_EQ(Bitmap(), drawn);
    EXPECT_TRUE(HasColour(form->SoundView->grab().toImage().convertToFormat(QImage::Format_RGB32),
                          qRgb(255, 255, 255)));
}

TEST_F(WaveViewTest, PaintingCopiesTheBitmap) {
    LoadSine();
    Click(Qt::LeftButton, 400);
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
    EXPECT_EQ(Bitmap(), Expected());
    EXPECT_EQ(At(Bitmap(), 428, 60), Red);
}

TEST_F(WaveViewTest, ZoomDragOfTenPixelsRightAndBack) {
    LoadSine();
    QTest::mousePress(form->SqzImg, Qt::LeftButton, {}, Centre);
    QTest::mouseMove(form->SqzImg, Centre + QPoint(10, 0));
    EXPECT_EQ(EditorState.ViewSpan, DividedNTimes(100000.0f, 1.03f, 10));
    EXPECT_NEAR(EditorState.ViewSpan, 74409.4f, 0.05f);
    EXPECT_EQ(EditorState.ViewStart, 0.0f);
    EXPECT_EQ(Bitmap(), Expected());
    QTest::mouseMove(form->SqzImg, Centre);
    EXPECT_NEAR(EditorState.ViewSpan, 100000.0f, 0.1f);
    EXPECT_EQ(Bitmap(), Expected());
    QTest::mouseRelease(form->SqzImg, Qt::LeftButton, {}, Centre);
}

TEST_F(WaveViewTest, PanDragOfOnePixelFromThreeHundredIsClampedToZero) {
    LoadSine();
    EditorState.ViewStart = 300.0f;
    form->DrawWave();
    const QImage at300 = Bitmap();
    QTest::mousePress(form->PosImg, Qt::LeftButton, {}, Centre);
    QTest::mouseMove(form->PosImg, Centre + QPoint(1, 0));
    EXPECT_EQ(EditorState.ViewStart, 0.0f);
    EXPECT_EQ(EditorState.ViewSpan, 100000.0f);
    EXPECT_EQ(Bitmap(), Expected());
    EXPECT_NE(Bitmap(), at300);
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
    QTest::mousePress(form->SqzImg, Qt::LeftButton, {}, Centre);
    // About 160 pixels right reach one sample per pixel; nothing stops there.
    QTest::mouseMove(form->SqzImg, Centre + QPoint(162, 0));
    EXPECT_EQ(EditorState.ViewSpan, DividedNTimes(100000.0f, 1.03f, 162));
    EXPECT_LT(EditorState.ViewSpan, 857.0f);
    QTest::mouseMove(form->SqzImg, Centre + QPoint(5000, 0));
    EXPECT_EQ(EditorState.ViewSpan, MinViewSpan);
    EXPECT_EQ(Bitmap(), Expected());
    // Back left: a whole ten-hour recording fits, and farther out the span stops at the bound.
    QTest::mouseMove(form->SqzImg, Centre + QPoint(5000 - 700, 0));
    EXPECT_GT(EditorState.ViewSpan, 11025.0f * 3600.0f * 10.0f);
    EXPECT_LT(EditorState.ViewSpan, MaxViewPositions);
    QTest::mouseMove(form->SqzImg, Centre + QPoint(-10000, 0));
    EXPECT_EQ(EditorState.ViewSpan, MaxViewPositions);
    EXPECT_EQ(Bitmap(), Expected());
    QTest::mouseRelease(form->SqzImg, Qt::LeftButton, {}, Centre);

    QTest::mousePress(form->PosImg, Qt::LeftButton, {}, Centre);
    QTest::mouseMove(form->PosImg, Centre + QPoint(-3000, 0));
    EXPECT_EQ(EditorState.ViewStart, MaxViewPositions);
    EXPECT_EQ(Bitmap(), Expected());
    QTest::mouseMove(form->PosImg, Centre + QPoint(3000, 0));
    EXPECT_EQ(EditorState.ViewStart, 0.0f);
    QTest::mouseRelease(form->PosImg, Qt::LeftButton, {}, Centre);
}
