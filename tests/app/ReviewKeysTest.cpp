// The window's keys, the wheel over the waveform and the list's double click.
#include <QListWidget>

#include "LineBinding.h"
#include "ReviewFixture.h"
#include "WaveRenderer.h"

namespace {

class ReviewKeysTest : public ReviewTest {};

TEST_F(ReviewKeysTest, F8StoresTheSelectionAndGoesOnSoConsecutiveLinesJoinUp) {
    Text(QStringLiteral("one\ntwo\nthree"));
    CaretAt(0);
    ClickView(100);  // selects 0 .. 11668
    Key(form->Memo1, Qt::Key_F8);
    EXPECT_EQ(CaretLine(form->Memo1), 1);
    EXPECT_EQ(EditorState.MarkA, 11668);
    EXPECT_EQ(EditorState.MarkB, 11668);
    ClickView(200);  // one click: from the stored end to 23337
    Key(form->Memo1, Qt::Key_F8);
    EXPECT_EQ(CaretLine(form->Memo1), 2);

    EXPECT_EQ(ItemTable[0].Flag, 1);
    EXPECT_EQ(ItemTable[0].Start, 0);
    EXPECT_EQ(ItemTable[0].Finish, 11668);
    EXPECT_EQ(ItemTable[1].Flag, 1);
    EXPECT_EQ(ItemTable[1].Start, 11668);
    EXPECT_EQ(ItemTable[1].Finish, 23337);
    // The keys typed nothing.
    EXPECT_EQ(form->Memo1->toPlainText(), QStringLiteral("one\ntwo\nthree"));
    EXPECT_TRUE(messages.isEmpty());

    // On the last line the caret stays where it is.
    ClickView(300);
    Key(form->ListBox1, Qt::Key_F8);
    EXPECT_EQ(ItemTable[2].Start, 23337);
    EXPECT_EQ(CaretLine(form->Memo1), 2);
}

TEST_F(ReviewKeysTest, F8OnLine500IsRefusedAsSetTextAndMovesNothing) {
    Text(QString(QStringLiteral("line\n")).repeated(505));
    CaretAt(500);
    ClickView(100);
    ClickView(200);
    Key(form->Memo1, Qt::Key_F8);
    EXPECT_EQ(messages, QStringList{ExceptionText(NoRecordMessage(500))});
    EXPECT_EQ(CaretLine(form->Memo1), 500);
    EXPECT_EQ(EditorState.MarkA, 23337);
    EXPECT_EQ(EditorState.MarkB, 11668);
    EXPECT_TRUE(LateRecords.empty());
    EXPECT_FALSE(form->History().CanUndo());
}

TEST_F(ReviewKeysTest, F5AndF6PlayFromWhereverTheFocusIs) {
    LoadRecording();
    Text(QStringLiteral("a\nb\nc"));
    SetRecord(1, 1, 20 * 288 + 100, 30 * 288 + 100);
    CaretAt(1);
    form->ListBox1->setFocus();
    Key(form->ListBox1, Qt::Key_F6);
    // As a Shift click on line 1: selection, marks and view on its segment.
    EXPECT_EQ(EditorState.SelStart, 20 * 288 + 100);
    EXPECT_EQ(EditorState.SelEnd, 30 * 288 + 100);
    EXPECT_EQ(EditorState.MarkA, EditorState.SelStart);
    EXPECT_EQ(EditorState.MarkB, EditorState.SelEnd);
    EXPECT_EQ(EditorState.ViewStart, float(20 * 288 + 100 - 2880 / 3));
    ASSERT_EQ(output.plays, 1);
    EXPECT_EQ(Player.PlayFrom, 20);
    EXPECT_EQ(Player.PlayTo, 30);

    output.Stop();
    EditorState.SelStart = 40 * 288 + 100;
    EditorState.SelEnd = 60 * 288 + 100;
    Key(form->Memo1, Qt::Key_F5);
    EXPECT_EQ(output.plays, 2);
    EXPECT_EQ(Player.PlayTo, 60);

    // A line without a stored segment shows it but plays nothing.
    output.Stop();
    CaretAt(2);
    Key(form->Memo1, Qt::Key_F6);
    EXPECT_EQ(EditorState.SelEnd, 0);
    EXPECT_EQ(output.plays, 2);
}

TEST_F(ReviewKeysTest, CtrlOOpensAndCtrlSSavesAndTheButtonsNameTheirKeys) {
    const QString text = Path(QStringLiteral("p.txt"));
    WriteAll(text, "first\r\nsecond");
    DialogAnswers(text);
    Key(form->Memo1, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(TextName, text);
    EXPECT_EQ(form->Memo1->toPlainText(), QStringLiteral("first\nsecond"));
    form->Memo1->moveCursor(QTextCursor::End);
    QTest::keyClicks(form->Memo1, QStringLiteral("!"));
    Key(form->Memo1, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(ReadAll(text), QByteArray("first\r\nsecond!"));
    EXPECT_EQ(ReadAll(Path(QStringLiteral("p.pos"))).size(), 12004);

    EXPECT_TRUE(form->OpenBtn->toolTip().contains(QStringLiteral("Ctrl+O")));
    EXPECT_TRUE(form->SaveBtn->toolTip().contains(QStringLiteral("Ctrl+S")));
    EXPECT_TRUE(form->BitBtn1->toolTip().contains(QStringLiteral("F5")));
    EXPECT_TRUE(form->BitBtn1->toolTip().contains(QStringLiteral("F6")));
    EXPECT_TRUE(form->BitBtn3->toolTip().contains(QStringLiteral("F8")));
}

TEST_F(ReviewKeysTest, DoubleClickOnAListRowGoesToItsLineAndPlaysIt) {
    LoadRecording();
    Text(QStringLiteral("a\nb\nc\nd"));
    SetRecord(2, 1, 20 * 288 + 100, 30 * 288 + 100);
    ClickRow(form->Memo1, 0);
    QListWidgetItem* row = form->ListBox1->item(2);
    ASSERT_NE(row, nullptr);
    const QPoint centre = form->ListBox1->visualItemRect(row).center();
    QTest::mouseClick(form->ListBox1->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(form->ListBox1->viewport(), Qt::LeftButton, {}, centre);
    QApplication::processEvents();
    EXPECT_EQ(CaretLine(form->Memo1), 2);
    EXPECT_EQ(EditorState.SelStart, 20 * 288 + 100);
    EXPECT_EQ(output.plays, 1);

    // A row below the end of the text goes nowhere.
    const QPoint below = form->ListBox1->visualItemRect(form->ListBox1->item(6)).center();
    QTest::mouseClick(form->ListBox1->viewport(), Qt::LeftButton, {}, below);
    QTest::mouseDClick(form->ListBox1->viewport(), Qt::LeftButton, {}, below);
    EXPECT_EQ(CaretLine(form->Memo1), 2);
}

TEST_F(ReviewKeysTest, TheWheelPansByATenthAndWithCtrlZoomsAroundThePointer) {
    EditorState.ViewStart = 50000.0f;
    Wheel(QPoint(0, 120));  // away from the user: towards the start
    EXPECT_EQ(EditorState.ViewStart, 40000.0f);
    Wheel(QPoint(0, -240));
    EXPECT_EQ(EditorState.ViewStart, 60000.0f);
    Wheel(QPoint(120, 0));  // a horizontal wheel to the left
    EXPECT_EQ(EditorState.ViewStart, 50000.0f);
    // A touchpad's pixels, without an angle, add up to notches.
    Wheel(QPoint(), {}, 300, QPoint(0, 60));
    EXPECT_EQ(EditorState.ViewStart, 50000.0f);
    Wheel(QPoint(), {}, 300, QPoint(0, 60));
    EXPECT_EQ(EditorState.ViewStart, 40000.0f);
    // Never before the start.
    EditorState.ViewStart = 3000.0f;
    Wheel(QPoint(0, 120));
    EXPECT_EQ(EditorState.ViewStart, 0.0f);

    EditorState.ViewStart = 20000.0f;
    const int32_t under = PositionAt(300, 857, EditorState.ViewSpan, EditorState.ViewStart);
    Wheel(QPoint(0, 360), Qt::ControlModifier, 300);
    EXPECT_EQ(EditorState.ViewSpan, 100000.0f / 1.03f / 1.03f / 1.03f);
    EXPECT_NEAR(PositionAt(300, 857, EditorState.ViewSpan, EditorState.ViewStart), under, 1);
    Wheel(QPoint(0, -120), Qt::ControlModifier, 300);
    EXPECT_EQ(EditorState.ViewSpan, 100000.0f / 1.03f / 1.03f / 1.03f * 1.03f);
    EXPECT_NEAR(PositionAt(300, 857, EditorState.ViewSpan, EditorState.ViewStart), under, 1);
}

}  // namespace
