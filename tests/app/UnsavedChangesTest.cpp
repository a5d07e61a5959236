// "Save changes?" before the window closes or another project replaces the one in it.
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include "EditorState.h"
#include "ProjectBaseline.h"
#include "WindowTest.h"

namespace {

class UnsavedChangesTest : public WindowTest {
  protected:
    QString first;
    QString second;

    void SetUp() override {
        WindowTest::SetUp();
        first = Path(QStringLiteral("first.txt"));
        second = Path(QStringLiteral("second.txt"));
        WriteAll(first, "first\r\n");
        WriteAll(second, "second\r\n");
    }

    void Type(QPlainTextEdit* memo, const QString& keys) {
        memo->moveCursor(QTextCursor::End);
        QTest::keyClicks(memo, keys);
    }
};

}  // namespace

TEST_F(UnsavedChangesTest, NothingChangedClosesWithoutAsking) {
    Open(first);
    EXPECT_TRUE(form->close());
    EXPECT_EQ(questions, 0);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(UnsavedChangesTest, TypedTextAsksAndCancelKeepsTheWindow) {
    Open(first);
    Type(form->Memo1, QStringLiteral("more"));
    answer = TSaveChangesAnswer::Cancel;
    EXPECT_FALSE(form->close());
    EXPECT_EQ(questions, 1);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(ReadAll(first), QByteArray("first\r\n"));
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("first\r\nmore"));

    answer = TSaveChangesAnswer::Discard;
    EXPECT_TRUE(form->close());
    EXPECT_EQ(questions, 2);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ReadAll(first), QByteArray("first\r\n"));
}

TEST_F(UnsavedChangesTest, SaveAnswerWritesTheProjectThenCloses) {
    Open(first);
    Type(form->Memo1, QStringLiteral("more"));
    answer = TSaveChangesAnswer::Save;
    EXPECT_TRUE(form->close());
    EXPECT_EQ(ReadAll(first), QByteArray("first\r\nmore"));
    EXPECT_EQ(ReadAll(Path(QStringLiteral("first.pos"))).size(), 12004);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(UnsavedChangesTest, AChangedItemRecordAsks) {
    Open(first);
    ItemTable[3].Finish = 4410;
    EXPECT_FALSE(form->close());
    EXPECT_EQ(questions, 1);
    ItemTable[3].Finish = 0;
    EXPECT_TRUE(form->close());
    EXPECT_EQ(questions, 1);
}

TEST_F(UnsavedChangesTest, AChangedPictureAttachmentAsks) {
    Open(first);
    ItemTable[0].Pics[4] = 1;
    EXPECT_FALSE(form->close());
    EXPECT_EQ(questions, 1);
}

TEST_F(UnsavedChangesTest, AChangedSecondTextAsks) {
    Open(first);
    form->Memo2->show();
    Type(form->Memo2, QStringLiteral("note"));
    EXPECT_FALSE(form->close());
    EXPECT_EQ(questions, 1);
}

TEST_F(UnsavedChangesTest, TextTypedAndTakenBackDoesNotAsk) {
    Open(first);
    Type(form->Memo1, QStringLiteral("x"));
    QTest::keyClick(form->Memo1, Qt::Key_Backspace);
    EXPECT_TRUE(form->close());
    EXPECT_EQ(questions, 0);
}

TEST_F(UnsavedChangesTest, AfterSaveNothingIsAsked) {
    Open(first);
    Type(form->Memo1, QStringLiteral("x"));
    ItemTable[0].Flag = 1;
    Save();
    EXPECT_TRUE(form->close());
    EXPECT_EQ(questions, 0);
}

TEST_F(UnsavedChangesTest, OpeningAnotherProjectAsksFirst) {
    Open(first);
    Type(form->Memo1, QStringLiteral("edit"));

    answer = TSaveChangesAnswer::Cancel;
    Open(second);
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(TextName, first);
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("first\r\nedit"));

    answer = TSaveChangesAnswer::Save;
    Open(second);
    EXPECT_EQ(questions, 2);
    EXPECT_EQ(ReadAll(first), QByteArray("first\r\nedit"));
    EXPECT_EQ(TextName, second);
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("second\r\n"));

    Type(form->Memo1, QStringLiteral("dropped"));
    answer = TSaveChangesAnswer::Discard;
    Open(first);
    EXPECT_EQ(questions, 3);
    EXPECT_EQ(ReadAll(second), QByteArray("second\r\n"));
    EXPECT_EQ(TextName, first);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(UnsavedChangesTest, ASaveThatFailsKeepsTheWindowOpen) {
    // No project is open, so the save cannot name a file.
    Type(form->Memo1, QStringLiteral("typed before any Open"));
    answer = TSaveChangesAnswer::Save;
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(messages, QStringList{QStringLiteral("Cannot create file ")});
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("typed before any Open"));
}

TEST_F(UnsavedChangesTest, ASaveThatFailsKeepsTheProjectWhenOpeningAnother) {
    Open(first);
    Type(form->Memo1, QStringLiteral("edit"));
    ASSERT_TRUE(QFile::remove(first));
    ASSERT_TRUE(QDir().mkdir(first));  // the text's name is now taken by a folder
    answer = TSaveChangesAnswer::Save;
    Open(second);
    EXPECT_EQ(messages, QStringList{QStringLiteral("Cannot create file ") + first + QLatin1Char('.')});
    EXPECT_EQ(TextName, first);
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("first\r\nedit"));
}

TEST(SaveChangesQuestion, IsAskedInABoxTitledSorvelle) {
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        title = box->windowTitle();
        text = box->text();
        buttons = box->standardButtons();
        box->button(QMessageBox::Discard)->click();
    });
    EXPECT_EQ(AskSaveChanges(nullptr), TSaveChangesAnswer::Discard);
    EXPECT_EQ(title, QStringLiteral("Sorvelle"));
    EXPECT_EQ(text, QStringLiteral("Save changes?"));
    EXPECT_EQ(buttons, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
}
