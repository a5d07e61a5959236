#include <QListWidget>
#include <QScrollBar>
#include <QTextBlock>
#include <cstring>

#include "WindowTest.h"

namespace {

struct TItemSnapshot {
    std::vector<TItemRec> Records;
    explicit TItemSnapshot() : Records(ItemTable, ItemTable + ItemTableSize) {}
    bool operator==(const TItemSnapshot& o) const {
        return std::memcmp(Records.data(), o.Records.data(), sizeof(TItemRec) * Records.size()) == 0;
    }
};

void SetRecord(int line, int flag, int start, int finish, int pics = 0) {
    ItemTable[line].Flag = flag;
    ItemTable[line].Start = start;
    ItemTable[line].Finish = finish;
    ItemTable[line].PicCount = int16_t(pics);
}

class Memo1BindingTest : public WindowTest {};

TEST_F(Memo1BindingTest, ListShowsTheVisibleLinesRecords) {
    ShowAllPanes();
    const QString longLine = QString(99, QLatin1Char('x')) + QLatin1Char('Y') + QString(30, QLatin1Char('z'));
    form->Memo1->setPlainText(QStringLiteral("alpha\nbeta\n") + longLine + QStringLiteral("\ndelta\nomega"));
    SetRecord(0, 1, 3000, 6000, 2);
    SetRecord(1, 7, -5, 123456789);
    SetRecord(3, 1, 10, 20, 5);

    ClickRow(form->Memo1, 1);

    const QStringList expected{
        QStringLiteral("   0  2 1     3000     6000 alpha..."),
        QStringLiteral("*  1  0 7       -5 123456789 beta..."),
        QStringLiteral("   2  0 0        0        0 ") + longLine.left(100) + QStringLiteral("..."),
        QStringLiteral("   3  5 1       10       20 delta..."),
        QStringLiteral("   4  0 0        0        0 omega..."),
        QStringLiteral("   5  0 0        0        0 ..."),
        QStringLiteral("   6  0 0        0        0 ..."),
        QStringLiteral("   7  0 0        0        0 ..."),
    };
    EXPECT_EQ(ListRows(), expected);
    EXPECT_EQ(form->ListBox1->count(), form->Memo1->height() / 12 - 2);
    EXPECT_EQ(form->ListBox1->visualItemRect(form->ListBox1->item(1)).height(), 12);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Memo1BindingTest, RowCountFollowsMemoHeight) {
    // The window as it opens: Memo1 fills the text area, about 590 pixels, 47 rows.
    ClickRow(form->Memo1, 0);
    EXPECT_EQ(form->ListBox1->count(), 47);
    EXPECT_EQ(form->ListBox1->count(), form->Memo1->height() / 12 - 2);
    EXPECT_TRUE(ListRows()[0].startsWith(QStringLiteral("*  0 ")));
}

TEST_F(Memo1BindingTest, ReleaseBelowTheLastRowListsWithoutStar) {
    ShowAllPanes();
    form->Memo1->setPlainText(QStringLiteral("a\nb\nc"));
    ClickRow(form->Memo1, 6);
    // The caret stays on line 2, so the first visible line counts as 2 - 6 = -4.
    EXPECT_EQ(CaretLine(form->Memo1), 2);
    const QString blank = QStringLiteral(" ") + QString(27, QLatin1Char(' ')) + QStringLiteral("...");
    const QStringList expected{
        blank,
        blank,
        blank,
        blank,
        QStringLiteral("   0  0 0        0        0 a..."),
        QStringLiteral("   1  0 0        0        0 b..."),
        // The release row R = 6 carries the star: it lists the caret line.
        QStringLiteral("*  2  0 0        0        0 c..."),
        QStringLiteral("   3  0 0        0        0 ..."),
    };
    EXPECT_EQ(ListRows(), expected);

    // A release on row 8, below the V = 8 listed rows, on a line of the text.
    form->Memo1->setPlainText(QString(QStringLiteral("t\n")).repeated(30));
    ASSERT_LT(form->Memo1->ViewportFromClient(QPoint(30, 12 * 8 + 5)).y(), form->Memo1->viewport()->height());
    ClickRow(form->Memo1, 8);
    ASSERT_EQ(CaretLine(form->Memo1), 8);
    ASSERT_EQ(form->ListBox1->count(), 8);
    EXPECT_TRUE(ListRows()[0].startsWith(QStringLiteral("   0 ")));
    for (const QString& row : ListRows()) EXPECT_FALSE(row.startsWith(QLatin1Char('*'))) << row.toStdString();
}

TEST_F(Memo1BindingTest, ShiftClickOnNeverSetRecordSelectsNothing) {
    form->Memo1->setPlainText(QStringLiteral("a\nb\nc\nd"));
    EditorState.SelStart = 40;
    EditorState.SelEnd = 90;
    EditorState.MarkA = 90;
    EditorState.MarkB = 40;
    EditorState.ViewStart = 555.0f;
    ClickRow(form->Memo1, 3, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(EditorState.SelStart, 0);
    EXPECT_EQ(EditorState.SelEnd, 0);
    EXPECT_EQ(EditorState.MarkA, 0);
    EXPECT_EQ(EditorState.MarkB, 0);
    EXPECT_EQ(EditorState.ViewStart, 0.0f);
}

TEST_F(Memo1BindingTest, ShiftClickShowsSegmentWithLeadIn) {
    form->Memo1->setPlainText(QStringLiteral("a\nb\nc\nd"));
    SetRecord(1, 1, 3000, 6000);
    SetRecord(2, 1, 100, 1000);
    ClickRow(form->Memo1, 0);
    ClickRow(form->Memo1, 1, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(EditorState.SelStart, 3000);
    EXPECT_EQ(EditorState.SelEnd, 6000);
    EXPECT_EQ(EditorState.MarkA, 3000);
    EXPECT_EQ(EditorState.MarkB, 6000);
    EXPECT_EQ(EditorState.ViewStart, 2000.0f);

    ClickRow(form->Memo1, 0);
    ClickRow(form->Memo1, 2, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(EditorState.SelStart, 100);
    EXPECT_EQ(EditorState.SelEnd, 1000);
    EXPECT_EQ(EditorState.ViewStart, 0.0f);
    EXPECT_EQ(ItemTable[2].Flag, 1);
}

TEST_F(Memo1BindingTest, ShiftClickAboveAnchorTakesAnchorLine) {
    ShowAllPanes();
    form->Memo1->setPlainText(QString(QStringLiteral("line\n")).repeated(9));
    SetRecord(5, 1, 3000, 6000);
    SetRecord(2, 1, 9000, 9900);
    ClickRow(form->Memo1, 5);
    ClickRow(form->Memo1, 2, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(EditorState.SelStart, 3000);
    EXPECT_EQ(EditorState.SelEnd, 6000);
    // T = 5 - 2: the list starts at line 3 and its star row (row 2) is line 5.
    const QStringList rows = ListRows();
    ASSERT_EQ(rows.size(), 8);
    EXPECT_TRUE(rows[0].startsWith(QStringLiteral("   3 ")));
    EXPECT_TRUE(rows[2].startsWith(QStringLiteral("*  5  0 1     3000     6000 ")));

    // On or below the anchor the clicked line is taken.
    ClickRow(form->Memo1, 2);
    ClickRow(form->Memo1, 5, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(EditorState.SelStart, 3000);
    ClickRow(form->Memo1, 5);
    ClickRow(form->Memo1, 2);
    ClickRow(form->Memo1, 2, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(EditorState.SelStart, 9000);
}

TEST_F(Memo1BindingTest, AltClickErasesSegmentKeepsPictures) {
    ShowAllPanes();
    form->Memo1->setPlainText(QStringLiteral("a\nb\nc"));
    SetRecord(1, 1, 3000, 6000, 2);
    ItemTable[1].Pics[0] = 7;
    ItemTable[1].Pics[1] = 3;
    EditorState.SelStart = 11;
    EditorState.SelEnd = 22;
    ClickRow(form->Memo1, 1, Qt::LeftButton, Qt::AltModifier);
    EXPECT_EQ(ItemTable[1].Flag, 0);
    EXPECT_EQ(ItemTable[1].Start, 0);
    EXPECT_EQ(ItemTable[1].Finish, 0);
    EXPECT_EQ(ItemTable[1].PicCount, 2);
    EXPECT_EQ(ItemTable[1].Pics[0], 7);
    EXPECT_EQ(ItemTable[1].Pics[1], 3);
    EXPECT_EQ(EditorState.SelStart, 11);
    EXPECT_EQ(EditorState.SelEnd, 22);
    EXPECT_EQ(ListRows().value(1), QStringLiteral("*  1  2 0        0        0 b..."));
}

TEST_F(Memo1BindingTest, ShiftWinsOverAlt) {
    form->Memo1->setPlainText(QStringLiteral("a\nb\nc"));
    SetRecord(1, 1, 3000, 6000);
    ClickRow(form->Memo1, 0);
    ClickRow(form->Memo1, 1, Qt::LeftButton, Qt::ShiftModifier | Qt::AltModifier);
    EXPECT_EQ(ItemTable[1].Flag, 1);
    EXPECT_EQ(ItemTable[1].Start, 3000);
    EXPECT_EQ(EditorState.SelStart, 3000);
    EXPECT_EQ(EditorState.ViewStart, 2000.0f);
}

TEST_F(Memo1BindingTest, CtrlOnlyClickChangesNothingButTheList) {
    ShowAllPanes();
    form->Memo1->setPlainText(QStringLiteral("a\nb\nc"));
    SetRecord(2, 1, 3000, 6000, 1);
    EditorState.SelStart = 5;
    EditorState.SelEnd = 50;
    EditorState.ViewStart = 77.0f;
    const TItemSnapshot before;
    ClickRow(form->Memo1, 2, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_TRUE(TItemSnapshot() == before);
    EXPECT_EQ(EditorState.SelStart, 5);
    EXPECT_EQ(EditorState.SelEnd, 50);
    EXPECT_EQ(EditorState.ViewStart, 77.0f);
    EXPECT_EQ(ListRows().value(2), QStringLiteral("*  2  1 1     3000     6000 c..."));
}

class TPaintCounter : public QObject {
  public:
    int Paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++Paints;
        return false;
    }
};

TEST_F(Memo1BindingTest, RightOrMiddleReleaseRepaintsOnlyTheStrip) {
    ShowAllPanes();
    form->Memo1->setPlainText(QStringLiteral("a\nb\nc\nd"));
    ClickRow(form->Memo1, 1);
    const QStringList listed = ListRows();
    ASSERT_EQ(listed.size(), 8);
    TPaintCounter counter;
    form->SntImsView->installEventFilter(&counter);
    QApplication::processEvents();

    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        counter.Paints = 0;
        SetRecord(3, 1, 1, 2);
        ClickRow(form->Memo1, 3, button, Qt::AltModifier);
        if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        QApplication::processEvents();
        EXPECT_GT(counter.Paints, 0) << int(button);
        EXPECT_EQ(ListRows(), listed) << int(button);
        EXPECT_EQ(ItemTable[3].Flag, 1) << int(button);
    }
    counter.Paints = 0;
    ClickRow(form->Memo1, 2);
    QApplication::processEvents();
    EXPECT_GT(counter.Paints, 0);
    EXPECT_NE(ListRows(), listed);
}

TEST_F(Memo1BindingTest, SetTextStoresSelectionForCaretLineAndKeepsTheSecond) {
    ShowAllPanes();
    form->Memo1->setPlainText(QStringLiteral("a\nb\nc"));
    ClickRow(form->Memo1, 2);
    const QStringList listed = ListRows();
    EditorState.SelStart = 1200;
    EditorState.SelEnd = 3400;
    QTest::mouseClick(form->BitBtn3, Qt::LeftButton);
    EXPECT_EQ(ItemTable[2].Flag, 1);
    EXPECT_EQ(ItemTable[2].Start, 1200);
    EXPECT_EQ(ItemTable[2].Finish, 3400);
    EditorState.SelStart = 5;
    EditorState.SelEnd = 6;
    QTest::mouseClick(form->BitBtn3, Qt::LeftButton);
    EXPECT_EQ(ItemTable[2].Start, 5);
    EXPECT_EQ(ItemTable[2].Finish, 6);
    EXPECT_EQ(ItemTable[1].Flag, 0);
    // The list shows the new values only at the next left click.
    EXPECT_EQ(ListRows(), listed);
    ClickRow(form->Memo1, 2);
    EXPECT_EQ(ListRows().value(2), QStringLiteral("*  2  0 1        5        6 c..."));
}

TEST_F(Memo1BindingTest, KeyboardCaretIsTakenAsIs) {
    form->Memo1->setPlainText(QStringLiteral("a\nb\nc\nd\ne"));
    ClickRow(form->Memo1, 1);
    const QStringList listed = ListRows();
    QTest::keyClick(form->Memo1, Qt::Key_Down);
    QTest::keyClick(form->Memo1, Qt::Key_Down);
    EditorState.SelStart = 70;
    EditorState.SelEnd = 80;
    QTest::mouseClick(form->BitBtn3, Qt::LeftButton);
    EXPECT_EQ(ItemTable[3].Start, 70);
    EXPECT_EQ(ItemTable[1].Flag, 0);
    EXPECT_EQ(ListRows(), listed);
}

TEST_F(Memo1BindingTest, LinesFromFiveHundredOnHaveNoRecord) {
    ShowAllPanes();
    QStringList lines;
    for (int i = 0; i < 510; ++i) lines << QStringLiteral("L%1").arg(i);
    form->Memo1->setPlainText(lines.join(QLatin1Char('\n')));
    SetRecord(499, 1, 40, 50, 3);
    EditorState.SelStart = 123;
    EditorState.SelEnd = 456;
    const TItemSnapshot before;

    // SetText on line 502, reached with the keyboard.
    QTextCursor cursor = form->Memo1->textCursor();
    cursor.setPosition(form->Memo1->document()->findBlockByNumber(502).position());
    form->Memo1->setTextCursor(cursor);
    QTest::mouseClick(form->BitBtn3, Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0],
              QStringLiteral("Line 503 has no record: at most 500 lines carry segments and pictures."));
    EXPECT_TRUE(TItemSnapshot() == before);

    // An Alt click on line 500 is refused too; its list row has blank number columns.
    form->Memo1->verticalScrollBar()->setValue(498);
    QApplication::processEvents();
    ClickRow(form->Memo1, 2, Qt::LeftButton, Qt::AltModifier);
    ASSERT_EQ(CaretLine(form->Memo1), 500);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[1],
              QStringLiteral("Line 501 has no record: at most 500 lines carry segments and pictures."));
    EXPECT_TRUE(TItemSnapshot() == before);
    const QStringList rows = ListRows();
    ASSERT_EQ(rows.size(), 8);
    EXPECT_EQ(rows[1], QStringLiteral(" 499  3 1       40       50 L499..."));
    EXPECT_EQ(rows[2], QStringLiteral("*") + QString(27, QLatin1Char(' ')) + QStringLiteral("L500..."));
    EXPECT_EQ(rows[7], QString(28, QLatin1Char(' ')) + QStringLiteral("L505..."));

    // Shift shows nothing for such a line and says nothing.
    ClickRow(form->Memo1, 3, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(EditorState.SelStart, 123);
    EXPECT_EQ(EditorState.SelEnd, 456);
    EXPECT_EQ(messages.size(), 2);
}

}  // namespace
