// The segment overlay: stored segments under the waveform and the playback cursor; with the
// toggle up, the waveform exactly as without it.
#include <QElapsedTimer>
#include <QFontMetrics>
#include <functional>

#include "PixelColours.h"
#include "ReviewFixture.h"

namespace {

bool Eventually(const std::function<bool()>& condition) {
    QElapsedTimer waited;
    waited.start();
    while (!condition()) {
        if (waited.elapsed() > 5000) return false;
        QTest::qWait(5);
    }
    return true;
}

class OverlayTest : public ReviewTest {
  protected:
    void SetUp() override {
        ReviewTest::SetUp();
        // Silence: with 100000 positions across 857 pixels the waveform is the baseline, row 40.
        EditorState.Samples = AllocateSamples(200000);
        EditorState.SampleCount = 200000;
        Text(QStringLiteral("zero\none\ntwo\nthree"));
        CaretAt(0);
        EditorState.SelStart = 10000;   // column 85
        EditorState.SelEnd = 20000;     // column 171
        SetRecord(1, 1, 30000, 40000);  // columns 257 .. 342
        SetRecord(2, 0, 50000, 60000);  // no stored segment: never shown
        SetRecord(3, 2, 50000, 60000);
        form->CheckBox1Click(form->CheckBox1);
    }
    const QImage& Bitmap() const { return *EditorState.WaveBitmap; }
    // What Memo1 shows at the right end of `row`, behind any text.
    QRgb MemoRowColour(int row) const {
        const QImage shown = form->Memo1->viewport()->grab().toImage();
        const QPoint at = form->Memo1->ViewportFromClient(QPoint(0, 12 * row + 6));
        return At(shown, shown.width() - 3, at.y());
    }

    // The plain view below its time labels, worked out from the drawing rules: the baseline in
    // black, ten silver grid lines over it, the two red selection lines over everything.
    void ExpectPlainView(int selStartX, int selEndX) const {
        const int labelsEnd = 3 + QFontMetrics(QFont()).height() + 1;
        int wrong = 0;
        for (int y = labelsEnd; y < 80; ++y) {
            for (int x = 0; x < 857; ++x) {
                QRgb expected = y == 40 ? Black : White;
                if (x >= 42 && (x - 42) % 85 == 0 && x <= 807) expected = Silver;
                if (x == selStartX || x == selEndX) expected = Red;
                if (At(Bitmap(), x, y) != expected && ++wrong < 5)
                    ADD_FAILURE() << "pixel " << x << ", " << y << std::hex << " " << At(Bitmap(), x, y);
            }
        }
        EXPECT_EQ(wrong, 0);
    }
};

TEST_F(OverlayTest, UpTheViewIsPlainDownStoredSegmentsAreTinted) {
    // A toggle of its own group that starts up.
    ASSERT_TRUE(form->SpeedButton8->isCheckable());
    ASSERT_FALSE(form->SpeedButton8->isChecked());
    EXPECT_EQ(form->SpeedButton8->geometry(), QRect(328, 9, 25, 25));
    for (QToolButton* other : {form->SpeedButton6, form->SpeedButton7})
        EXPECT_NE(form->SpeedButton8->property("GroupIndex"), other->property("GroupIndex"));
    ExpectPlainView(85, 171);

    Click(form->SpeedButton8);
    ASSERT_TRUE(form->SpeedButton8->isChecked());
    for (const int x : {257, 300, 342}) EXPECT_EQ(At(Bitmap(), x, 60), Band) << x;
    EXPECT_EQ(At(Bitmap(), 256, 60), White);
    EXPECT_EQ(At(Bitmap(), 343, 60), White);
    EXPECT_EQ(At(Bitmap(), 450, 60), White);  // records 2 and 3: no Flag 1
    EXPECT_EQ(At(Bitmap(), 300, 40), Black);  // the waveform over the band
    EXPECT_EQ(At(Bitmap(), 297, 60), Silver);

    // The caret line's band is green, and follows the caret, as does its row in the memo.
    CaretAt(1);
    EXPECT_EQ(At(Bitmap(), 300, 60), CaretBand);
    EXPECT_EQ(MemoRowColour(1), CaretBand);
    EXPECT_EQ(MemoRowColour(0), White);
    CaretAt(2);
    EXPECT_EQ(At(Bitmap(), 300, 60), Band);
    // A stored segment shows at once.
    ClickView(500);
    ClickView(550);
    Click(form->BitBtn3);
    EXPECT_EQ(At(Bitmap(), 520, 60), CaretBand);

    Click(form->SpeedButton8);
    // 500 and 550 of 857 pixels: positions 58343 and 64177, back at columns 499 and 549.
    ExpectPlainView(499, 549);
}

TEST_F(OverlayTest, TheCursorFollowsThePlayedSoundAndGoesWhenItEnds) {
    LoadRecording(false);
    EditorState.SelStart = 20 * 288 + 100;
    EditorState.SelEnd = 30 * 288 + 100;
    Click(form->SpeedButton8);
    Click(form->BitBtn1);
    ASSERT_TRUE(output.playing);
    ASSERT_EQ(Player.PlayFrom, 20);
    const auto cursorAt = [&](int64_t playedUs) {
        const double position = double(Player.PlayFrom) * double(Player.FrameDuration) * 11025.0 +
                                double(playedUs) / 1e6 * 11025.0;
        return int(position * 857.0 / 100000.0);
    };
    const auto columnIs = [&](int x, QRgb colour) {
        const QImage shown = form->SoundView->grab().toImage();
        return At(shown, x, 60) == colour && At(shown, x, 75) == colour;
    };
    output.played = 100000;
    const int first = cursorAt(output.played);
    EXPECT_TRUE(Eventually([&] { return columnIs(first, Cursor); }));
    output.played = 400000;
    const int second = cursorAt(output.played);
    ASSERT_GT(second, first + 2);
    EXPECT_TRUE(Eventually([&] { return columnIs(second, Cursor); }));
    EXPECT_TRUE(columnIs(first, White));
    // Painted over the copy: the bitmap itself holds no cursor.
    EXPECT_EQ(At(Bitmap(), second, 60), White);

    // With the toggle up the view shows only the bitmap.
    Click(form->SpeedButton8);
    EXPECT_TRUE(Eventually([&] { return columnIs(second, White); }));
    Click(form->SpeedButton8);
    EXPECT_TRUE(Eventually([&] { return columnIs(second, Cursor); }));

    output.Stop();
    EXPECT_TRUE(Eventually([&] { return columnIs(second, White); }));
}

}  // namespace
