// Records follow their lines when line breaks are typed, pasted or deleted in Memo1, and come
// back with undo; records pushed past line 499 are kept and warned about on Save.
#include <QClipboard>

#include "LateRecordsDialog.h"
#include "PosBytes.h"
#include "ReviewFixture.h"

namespace {

class RecordsFollowLinesTest : public ReviewTest {
  protected:
    void SetUp() override {
        ReviewTest::SetUp();
        Text(QStringLiteral("l0\nl1\nl2\nl3"));
        for (int line = 0; line < 4; ++line) SetRecord(line, 1, 100 * (line + 1), 100 * (line + 1) + 50);
    }
    void Undo() { Key(form->Memo1, Qt::Key_Z, Qt::ControlModifier); }
    void Redo() { Key(form->Memo1, Qt::Key_Y, Qt::ControlModifier); }
    QString Lines() const { return form->Memo1->toPlainText(); }

    const std::vector<int> original{100, 200, 300, 400, -1};
};

TEST_F(RecordsFollowLinesTest, SplitAndJoinMoveTheLaterRecordsAndUndoPutsThemBack) {
    CaretAt(1, 1);
    Key(form->Memo1, Qt::Key_Return);
    EXPECT_EQ(Lines(), QStringLiteral("l0\nl\n1\nl2\nl3"));
    EXPECT_EQ(Starts(5), (std::vector<int>{100, 200, -1, 300, 400}));
    Undo();
    EXPECT_EQ(Starts(5), original);
    Redo();
    EXPECT_EQ(Starts(5), (std::vector<int>{100, 200, -1, 300, 400}));
    Undo();

    // Joined: line 1 keeps its record; line 2's is kept aside, and undo brings it back.
    CaretAt(2, 0);
    Key(form->Memo1, Qt::Key_Backspace);
    EXPECT_EQ(Lines(), QStringLiteral("l0\nl1l2\nl3"));
    EXPECT_EQ(Starts(4), (std::vector<int>{100, 200, 400, -1}));
    Undo();
    EXPECT_EQ(Lines(), QStringLiteral("l0\nl1\nl2\nl3"));
    EXPECT_EQ(Starts(5), original);

    // A break typed at a line's start moves the line down, with its record.
    CaretAt(1, 0);
    Key(form->Memo1, Qt::Key_Return);
    EXPECT_EQ(Starts(5), (std::vector<int>{100, -1, 200, 300, 400}));
    // Deleting that empty line again: the line below keeps its record.
    CaretAt(1, 0);
    Key(form->Memo1, Qt::Key_Delete);
    EXPECT_EQ(Starts(5), original);
    Undo();
    Undo();
    EXPECT_EQ(Lines(), QStringLiteral("l0\nl1\nl2\nl3"));
    EXPECT_EQ(Starts(5), original);

    // Typing inside a line moves nothing, and loading a text is no edit.
    CaretAt(2, 1);
    QTest::keyClicks(form->Memo1, QStringLiteral("abc"));
    EXPECT_EQ(Starts(5), original);
    Text(QStringLiteral("only\none line\nmore"));
    EXPECT_EQ(Starts(5), original);
}

TEST_F(RecordsFollowLinesTest, PastingAndDeletingManyLinesKeepEveryRecordWithItsLine) {
    QApplication::clipboard()->setText(QStringLiteral("p\nq\nr\n"));
    CaretAt(1, 0);
    Key(form->Memo1, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(Lines(), QStringLiteral("l0\np\nq\nr\nl1\nl2\nl3"));
    const std::vector<int> pasted{100, -1, -1, -1, 200, 300, 400, -1};
    EXPECT_EQ(Starts(8), pasted);

    // Lines l1 and l2 selected whole and deleted.
    QTextCursor c(form->Memo1->document()->findBlockByNumber(4));
    c.setPosition(form->Memo1->document()->findBlockByNumber(6).position(), QTextCursor::KeepAnchor);
    form->Memo1->setTextCursor(c);
    Key(form->Memo1, Qt::Key_Delete);
    ASSERT_EQ(Lines(), QStringLiteral("l0\np\nq\nr\nl3"));
    EXPECT_EQ(Starts(6), (std::vector<int>{100, -1, -1, -1, 400, -1}));

    Undo();
    EXPECT_EQ(Starts(8), pasted);
    Undo();
    EXPECT_EQ(Lines(), QStringLiteral("l0\nl1\nl2\nl3"));
    EXPECT_EQ(Starts(5), original);
    Redo();
    Redo();
    EXPECT_EQ(Starts(6), (std::vector<int>{100, -1, -1, -1, 400, -1}));
}

TEST_F(RecordsFollowLinesTest, RecordsPushedPastLine499ComeBackAndSaveWarnsAboutThem) {
    const QString text = Path(QStringLiteral("long.txt"));
    QByteArray lines;
    for (int i = 0; i < 500; ++i) lines += "line " + QByteArray::number(i) + "\r\n";
    WriteAll(text, lines);
    answer = TSaveChangesAnswer::Discard;
    Open(text);
    ASSERT_EQ(TextName, text);
    SetRecord(498, 1, 4980, 4990);
    SetRecord(499, 1, 4990, 5000);
    CaretAt(0, 0);
    Key(form->Memo1, Qt::Key_Return);
    EXPECT_EQ(ItemTable[499].Start, 4980);
    ASSERT_EQ(LateRecords.size(), 1u);
    EXPECT_EQ(LateRecords[0].Start, 4990);

    QStringList warnings;
    bool saveAnyway = false;
    LateRecordsDialogOverride = [&](const QString& message) {
        warnings << message;
        return saveAnyway;
    };
    Save();
    EXPECT_EQ(warnings, QStringList{QStringLiteral(
                            "Lines from 500 on have no record: the segments of 1 lines from line 500 on will "
                            "not be saved.")});
    EXPECT_EQ(ReadAll(text), lines);
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("long.pos"))));
    // Cancelled on the way out, the window stays with its changes.
    answer = TSaveChangesAnswer::Save;
    EXPECT_FALSE(form->close());
    EXPECT_EQ(warnings.size(), 2);

    saveAnyway = true;
    Save();
    EXPECT_EQ(warnings.size(), 3);
    const QByteArray pos = ReadAll(Path(QStringLiteral("long.pos")));
    ASSERT_EQ(pos.size(), 12004);
    EXPECT_EQ(Int32At(pos, 4 + 12 * 499 + 4), 4980);
    EXPECT_EQ(ReadAll(text), "\r\n" + lines);

    // Deleting the inserted line brings the record back into the table.
    CaretAt(0, 0);
    Key(form->Memo1, Qt::Key_Delete);
    EXPECT_EQ(ItemTable[499].Start, 4990);
    EXPECT_EQ(ItemTable[498].Start, 4980);
    EXPECT_TRUE(LateRecords.empty());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QStringLiteral("; ")).toStdString();
}

}  // namespace
