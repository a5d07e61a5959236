#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include "KeyboardInput.h"
#include "LineBinding.h"
#include "TMemo.h"
#include "TestSupport.h"

namespace {

QFont TwelvePixelFont() {
    QFont f;
    f.setFamilies(
        {QStringLiteral("Lucida Console"), QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
    f.setStyleHint(QFont::Monospace);
    f.setPixelSize(12);
    return f;
}

QString NumberedLines(int count) {
    QStringList lines;
    for (int i = 0; i < count; ++i) lines << QStringLiteral("line %1").arg(i);
    return lines.join(QLatin1Char('\n'));
}

struct TRelease {
    TMouseButton Button;
    TShiftState Shift;
    int X;
    int Y;
    int Caret;
};

class TMemoRowsTest : public FreshStateTest {
  protected:
    void SetUp() override {
        FreshStateTest::SetUp();
        memo = std::make_unique<TMemo>(nullptr);
        memo->setFont(TwelvePixelFont());
        memo->setGeometry(100, 100, 300, 126);
        memo->setPlainText(NumberedLines(40));
        memo->OnMouseUp = [this](QObject*, TMouseButton b, TShiftState s, int x, int y) {
            releases.push_back({b, s, x, y, CaretLine(memo.get())});
        };
        memo->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(memo.get()));
    }
    void TearDown() override {
        if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        memo.reset();
        FreshStateTest::TearDown();
    }
    // Clicks at client pixel (x, y) of the memo, the pixels its handler gets.
    void ClickAt(int x, int y, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers mods = {}) {
        QTest::mouseClick(memo->viewport(), button, mods, memo->ViewportFromClient(QPoint(x, y)));
    }

    std::unique_ptr<TMemo> memo;
    std::vector<TRelease> releases;
};

TEST_F(TMemoRowsTest, EveryRowIsTwelvePixelsFromYOne) {
    for (int row = 0; row < 8; ++row) {
        for (int y : {12 * row + 1, 12 * row + 6, 12 * row + 12}) {
            releases.clear();
            ClickAt(20, y);
            ASSERT_EQ(releases.size(), 1u);
            EXPECT_EQ(releases[0].Y, y);
            EXPECT_EQ(ClickedRow(releases[0].Y), row) << "y " << y;
            EXPECT_EQ(releases[0].Caret, row) << "y " << y;
        }
    }
}

TEST_F(TMemoRowsTest, RowsKeepTheirPlaceWhenScrolled) {
    memo->verticalScrollBar()->setValue(5);
    QApplication::processEvents();
    for (int row = 0; row < 8; ++row) {
        for (int y : {12 * row + 1, 12 * row + 12}) {
            releases.clear();
            ClickAt(20, y);
            ASSERT_EQ(releases.size(), 1u);
            EXPECT_EQ(releases[0].Caret - ClickedRow(releases[0].Y), 5) << "y " << y;
        }
    }
}

TEST_F(TMemoRowsTest, LaterFontChangeKeepsTwelvePixelRows) {
    QFont big = TwelvePixelFont();
    big.setPixelSize(16);
    memo->setFont(big);
    QApplication::processEvents();
    EXPECT_EQ(TextLineHeight(memo->document()->defaultFont(), memo.get()), MemoRowHeight);
    ClickAt(20, 12 * 3 + 1);
    ASSERT_EQ(releases.size(), 1u);
    EXPECT_EQ(releases[0].Caret, 3);
}

TEST_F(TMemoRowsTest, ShiftClickAboveAnchorEndsOnAnchorLine) {
    ClickAt(20, 12 * 5 + 4);
    ClickAt(20, 12 * 2 + 4, Qt::LeftButton, Qt::ShiftModifier);
    ASSERT_EQ(releases.size(), 2u);
    EXPECT_EQ(releases[1].Caret, 5);
    EXPECT_TRUE(releases[1].Shift & ssShift);
    EXPECT_EQ(memo->textCursor().blockNumber(), 2);
    // Below the anchor the clicked line is the end.
    ClickAt(20, 12 * 7 + 4, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(releases[2].Caret, 7);
}

TEST_F(TMemoRowsTest, CaretLineFollowsTheKeyboard) {
    ClickAt(20, 12 * 1 + 4);
    QTest::keyClick(memo.get(), Qt::Key_Down);
    QTest::keyClick(memo.get(), Qt::Key_Down);
    EXPECT_EQ(CaretLine(memo.get()), 3);
}

TEST_F(TMemoRowsTest, RightReleaseReachesHandlerBeforeTheMenu) {
    ClickAt(20, 12 * 4 + 4);
    bool menuOpenInHandler = true;
    memo->OnMouseUp = [&](QObject*, TMouseButton b, TShiftState, int, int y) {
        releases.push_back({b, 0, 0, y, CaretLine(memo.get())});
        menuOpenInHandler = QApplication::activePopupWidget() != nullptr;
    };
    ClickAt(20, 12 * 1 + 4, Qt::RightButton);
    ASSERT_EQ(releases.size(), 2u);
    EXPECT_EQ(releases[1].Button, mbRight);
    EXPECT_FALSE(menuOpenInHandler);
    // A right click leaves the caret where it was.
    EXPECT_EQ(releases[1].Caret, 4);
    EXPECT_NE(qobject_cast<QMenu*>(QApplication::activePopupWidget()), nullptr);
}

TEST(KeyboardInputTest, CopyChordIsSixEventsInOrder) {
    TRecordingKeyboardInput input;
    SendCopyChord(input);
    const std::vector<TKeyEvent> expected{
        {TKey::LeftControl, true}, {TKey::C, true},  {TKey::C, false},
        {TKey::C, true},           {TKey::C, false}, {TKey::LeftControl, false},
    };
    EXPECT_EQ(input.Sent, expected);
}

TEST(KeyboardInputTest, OverrideTakesTheEvents) {
    TRecordingKeyboardInput input;
    KeyboardInputOverride = &input;
    SendCopyChord(KeyboardInput());
    KeyboardInputOverride = nullptr;
    EXPECT_EQ(input.Sent.size(), 6u);
}

}  // namespace
