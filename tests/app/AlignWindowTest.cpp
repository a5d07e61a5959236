// "Align" in the window: it runs beside the window with its progress shown, Cancel and Escape
// change nothing, and the result marks the project changed and refreshes the list.
#include <QListWidget>
#include <QTextBlock>
#include <QTextCursor>
#include <cstring>
#include <vector>

#include "ProjectBaseline.h"
#include "ProjectFiles.h"
#include "TAlignJob.h"
#include "WindowTest.h"

namespace {

class AlignWindowTest : public WindowTest {
  protected:
    QStringList alignMessages;

    void SetUp() override {
        WindowTest::SetUp();
        AlignMessageOverride = [this](const QString& m) { alignMessages << m; };
    }
    void TearDown() override {
        AlignMessageOverride = nullptr;
        WindowTest::TearDown();
    }

    // The "three" narration as project p, opened in the window; line 1 already has a segment.
    void OpenNarration() {
        QFile::copy(FixturePath(QStringLiteral("align/three.txt")), Path(QStringLiteral("p.txt")));
        QFile::copy(FixturePath(QStringLiteral("align/three.mp3")), Path(QStringLiteral("p.mp3")));
        ResetEditorState();
        ItemTable[1].Flag = 1;
        ItemTable[1].Start = 3 * 11025;
        ItemTable[1].Finish = 6 * 11025;
        ItemTable[2].PicCount = 1;
        ItemTable[2].Pics[0] = 4;
        ASSERT_TRUE(WritePosFile(Path(QStringLiteral("p.pos"))));
        ResetEditorState();
        Open(Path(QStringLiteral("p.txt")));
        ASSERT_NE(EditorState.Samples, nullptr);
        ASSERT_FALSE(ProjectChanged(*form));
    }

    std::vector<TItemRec> Records() const { return {ItemTable, ItemTable + ItemTableSize}; }
    static bool Same(const std::vector<TItemRec>& a, const std::vector<TItemRec>& b) {
        return std::memcmp(a.data(), b.data(), sizeof(TItemRec) * a.size()) == 0;
    }
};

TEST_F(AlignWindowTest, ButtonSitsOnTheToolbar) {
    EXPECT_EQ(form->AlignBtn->parentWidget(), form->Panel7);
    EXPECT_EQ(form->AlignBtn->geometry(), QRect(360, 9, 73, 25));
    EXPECT_EQ(form->AlignBtn->text(), QStringLiteral("Align"));
    EXPECT_TRUE(form->AlignBtn->isVisible());
    // Without a recording there is nothing to align.
    Click(form->AlignBtn);
    EXPECT_EQ(alignMessages, QStringList{QStringLiteral("Open a project with a recording first.")});
    EXPECT_EQ(form->AlignBtn->text(), QStringLiteral("Align"));
}

TEST_F(AlignWindowTest, AlignsInTheBackgroundAndMarksTheProjectChanged) {
    OpenNarration();
    const std::vector<TItemRec> before = Records();
    // Place the caret on line 2, so the list is rebuilt around it.
    QTextCursor cursor(form->Memo1->document()->findBlockByNumber(2));
    form->Memo1->setTextCursor(cursor);

    QTest::mouseClick(form->AlignBtn, Qt::LeftButton);
    EXPECT_EQ(form->AlignBtn->text(), QStringLiteral("Cancel"));
    EXPECT_TRUE(form->ProgressBar1->isVisible());
    // A line typed above the text while it runs moves every record down one line; the segments
    // still go to the lines that were aligned, and the typed line gets none.
    QTextCursor(form->Memo1->document()).insertText(QStringLiteral("A line typed while aligning.\n"));
    const std::vector<TItemRec> typed = Records();
    ASSERT_EQ(typed[2].Start, before[1].Start);
    QTRY_COMPARE_WITH_TIMEOUT(form->AlignBtn->text(), QStringLiteral("Align"), 120000);
    EXPECT_FALSE(form->ProgressBar1->isVisible());

    ASSERT_EQ(alignMessages, QStringList{QStringLiteral("Aligned 2 lines.")});
    EXPECT_EQ(ItemTable[0].Flag, 0);
    EXPECT_EQ(ItemTable[1].Flag, 1);
    EXPECT_GT(ItemTable[1].Finish, ItemTable[1].Start + 11025);
    EXPECT_EQ(ItemTable[3].Flag, 1);
    EXPECT_GT(ItemTable[3].Start, ItemTable[2].Finish);
    EXPECT_EQ(ItemTable[3].PicCount, 1);
    EXPECT_EQ(ItemTable[3].Pics[0], 4);
    EXPECT_EQ(ItemTable[2].Start, before[1].Start);
    EXPECT_EQ(ItemTable[2].Finish, before[1].Finish);
    EXPECT_TRUE(ProjectChanged(*form));
    // The list shows the new records, the caret line (moved down with its text) starred.
    bool starred = false;
    for (int i = 0; i < form->ListBox1->count(); ++i) {
        const QString row = form->ListBox1->item(i)->text();
        if (row.startsWith(QLatin1Char('*'))) {
            starred = true;
            EXPECT_TRUE(row.contains(QString::number(ItemTable[3].Start))) << row.toStdString();
        }
    }
    EXPECT_TRUE(starred);
    // The whole result is one undo step.
    QTest::keyClick(form->Memo1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(Same(Records(), typed));
}

TEST_F(AlignWindowTest, CancelAndEscapeChangeNothing) {
    OpenNarration();
    const std::vector<TItemRec> before = Records();

    QTest::mouseClick(form->AlignBtn, Qt::LeftButton);
    ASSERT_EQ(form->AlignBtn->text(), QStringLiteral("Cancel"));
    QTest::mouseClick(form->AlignBtn, Qt::LeftButton);
    EXPECT_EQ(form->AlignBtn->text(), QStringLiteral("Align"));
    EXPECT_FALSE(form->ProgressBar1->isVisible());

    QTest::mouseClick(form->AlignBtn, Qt::LeftButton);
    ASSERT_EQ(form->AlignBtn->text(), QStringLiteral("Cancel"));
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_EQ(form->AlignBtn->text(), QStringLiteral("Align"));

    // Whatever the stopped workers had queued arrives now and must change nothing.
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    EXPECT_TRUE(Same(Records(), before));
    EXPECT_TRUE(alignMessages.isEmpty()) << alignMessages.join(u'|').toStdString();
    EXPECT_FALSE(ProjectChanged(*form));
}

TEST_F(AlignWindowTest, ASegmentStoredByHandWhileItRunsIsKept) {
    OpenNarration();
    QTest::mouseClick(form->AlignBtn, Qt::LeftButton);
    ASSERT_EQ(form->AlignBtn->text(), QStringLiteral("Cancel"));
    form->Memo1->setTextCursor(QTextCursor(form->Memo1->document()->findBlockByNumber(0)));
    EditorState.SelStart = 111;
    EditorState.SelEnd = 2222;
    QTest::mouseClick(form->BitBtn3, Qt::LeftButton);
    ASSERT_EQ(ItemTable[0].Start, 111);
    // A picture attached meanwhile is no reason to keep a line unaligned.
    ItemTable[2].PicCount = 2;
    ItemTable[2].Pics[1] = 5;
    QTRY_COMPARE_WITH_TIMEOUT(form->AlignBtn->text(), QStringLiteral("Align"), 120000);
    EXPECT_EQ(ItemTable[0].Start, 111);
    EXPECT_EQ(ItemTable[0].Finish, 2222);
    EXPECT_EQ(ItemTable[2].Flag, 1);
    EXPECT_EQ(ItemTable[2].PicCount, 2);
    EXPECT_EQ(alignMessages, QStringList{QStringLiteral("Aligned 1 line.")});
}

TEST_F(AlignWindowTest, OpeningAnotherProjectCancelsTheAlignment) {
    OpenNarration();
    QTest::mouseClick(form->AlignBtn, Qt::LeftButton);
    ASSERT_EQ(form->AlignBtn->text(), QStringLiteral("Cancel"));
    WriteAll(Path(QStringLiteral("q.txt")), "Another text.\r\n");
    Open(Path(QStringLiteral("q.txt")));
    EXPECT_EQ(form->AlignBtn->text(), QStringLiteral("Align"));
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    EXPECT_TRUE(alignMessages.isEmpty());
    EXPECT_EQ(ItemTable[0].Flag, 0);
}

}  // namespace
