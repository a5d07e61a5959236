// Texts whose encoding cannot simply be kept on Save, and texts the editor would split or cannot
// hold, through the window's buttons.
#include <QDir>
#include <QTextBlock>
#include <QTextLayout>

#include "EditorState.h"
#include "ProjectBaseline.h"
#include "ProjectBytes.h"
#include "ProjectFiles.h"
#include "SaveAsUtf8Dialog.h"
#include "WindowTest.h"

namespace {

class TextSaveTest : public WindowTest {
  protected:
    QStringList asked;  // what "Save it as UTF-8?" asked
    bool saveAsUtf8 = true;

    void SetUp() override {
        WindowTest::SetUp();
        SaveAsUtf8DialogOverride = [this](const QString& question) {
            asked << question;
            return saveAsUtf8;
        };
    }
    void TearDown() override {
        SaveAsUtf8DialogOverride = nullptr;
        WindowTest::TearDown();
    }

    // Files of the project "lesson" in the test's folder; a null array leaves that file out.
    QString Project(const QByteArray& text, const QByteArray* txr, const QByteArray* pos) {
        WriteAll(Path(QStringLiteral("lesson.txt")), text);
        if (txr) WriteAll(Path(QStringLiteral("lesson.txr")), *txr);
        if (pos) WriteAll(Path(QStringLiteral("lesson.pos")), *pos);
        return Path(QStringLiteral("lesson.txt"));
    }

    // Types at the end of the memo, one key per character, as a keyboard layout sends them.
    static void TypeAtEnd(TMemo* memo, const QString& text) {
        memo->setFocus();
        memo->moveCursor(QTextCursor::End);
        for (QChar c : text)
            QTest::sendKeyEvent(QTest::Click, memo, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }

    // Every file of the folder with its bytes, hidden ones included.
    QMap<QString, QByteArray> Files() const {
        QMap<QString, QByteArray> files;
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
            files[name] = ReadAll(Path(name));
        return files;
    }
};

}  // namespace

TEST_F(TextSaveTest, ACharacterWindows1251LacksIsAskedAboutBeforeAnyFileIsWritten) {
    const QByteArray txr("\xCF\xE5\xF0\xE5\xE2\xEE\xE4");  // "Перевод"
    const QByteArray pos = PosWithRecords(1);
    const QString text = Project("\xC4\xE0", &txr, &pos);
    Open(text);
    ASSERT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
    // The first text could be saved as it is; the second cannot hold the typed character.
    TypeAtEnd(form->Memo1, QStringLiteral("!"));
    TypeAtEnd(form->Memo2, QStringLiteral("中"));
    ItemTable[0].Start = 5;
    const QMap<QString, QByteArray> before = Files();

    saveAsUtf8 = false;
    Save();
    EXPECT_EQ(asked,
              QStringList{TxrName + QStringLiteral(" was read as Windows-1251, which cannot hold some of "
                                                   "its characters (for example 中). Save it as UTF-8?")});
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(Files(), before);

    asked.clear();
    saveAsUtf8 = true;
    Save();
    EXPECT_EQ(asked.size(), 1);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(ReadAll(text), QByteArray("\xC4\xE0!"));
    EXPECT_EQ(ReadAll(TxrName), QStringLiteral("Перевод中").toUtf8());
    EXPECT_EQ(Int32At(ReadAll(PosName), 8), 5);
    // Saved as UTF-8, the text is UTF-8 from now on: nothing more to ask.
    asked.clear();
    Save();
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(TextSaveTest, BytesThatWouldReadBackAsOtherLettersAreAskedAboutAndReopenAsTyped) {
    const QString text = Project("\xC4\xE0", nullptr, nullptr);  // "Да", not UTF-8
    Open(text);
    form->Memo1->selectAll();
    QTest::keyClick(form->Memo1, Qt::Key_Delete);
    // D0 83 in Windows-1251, which a load would take for the UTF-8 of "Ѓ".
    TypeAtEnd(form->Memo1, QStringLiteral("Рѓ"));
    ASSERT_EQ(MemoText(*form->Memo1), QStringLiteral("Рѓ"));
    saveAsUtf8 = false;
    Save();
    EXPECT_EQ(asked,
              QStringList{text + QStringLiteral(" was read as Windows-1251, but its bytes would read back "
                                                "as other letters. Save it as UTF-8?")});
    EXPECT_EQ(ReadAll(text), QByteArray("\xC4\xE0"));
    EXPECT_FALSE(QFile::exists(TxrName));

    saveAsUtf8 = true;
    Save();
    EXPECT_EQ(ReadAll(text), QStringLiteral("Рѓ").toUtf8());
    Open(text);
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("Рѓ"));
}

TEST_F(TextSaveTest, SeparatorCharactersStayInsideTheirLineAndSaveBackAsTheyCame) {
    const QByteArray utf8 = QStringLiteral("one\u2028two\r\nthree\u2029four\uFDD0\uFDD1\r\nfive").toUtf8();
    const QString text = Project(utf8, nullptr, nullptr);
    Open(text);
    ASSERT_TRUE(messages.isEmpty());
    QApplication::processEvents();
    QTextDocument* document = form->Memo1->document();
    ASSERT_EQ(document->blockCount(), 3);
    for (int line = 0; line < 3; ++line) {
        const QTextBlock block = document->findBlockByNumber(line);
        ASSERT_NE(block.layout(), nullptr);
        EXPECT_EQ(block.layout()->lineCount(), 1) << "line " << line;
    }
    EXPECT_EQ(document->findBlockByNumber(2).text(), QStringLiteral("five"));
    Save();
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(ReadAll(text), utf8);
}

TEST_F(TextSaveTest, AUtf16TextWithItsMarkSavesBackInUtf16) {
    // "Да" and a lone LF, as a Windows editor's "Unicode" leaves it.
    const QString text = Project(QByteArray("\xFF\xFE\x14\x04\x30\x04\x0A\x00", 8), nullptr, nullptr);
    Open(text);
    EXPECT_EQ(form->Memo1->document()->firstBlock().text(), QStringLiteral("Да"));
    TypeAtEnd(form->Memo1, QStringLiteral("中"));
    Save();
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(ReadAll(text), QByteArray("\xFF\xFE\x14\x04\x30\x04\x0D\x00\x0A\x00\x2D\x4E", 12));
}

TEST_F(TextSaveTest, ATextBeyondTheMemoCapacityLeavesTheProjectAsItWas) {
    const QString first = Project("kept", nullptr, nullptr);
    Open(first);
    // Sparse: larger than any text the editor holds, and nothing of it on disk.
    const QString huge = Path(QStringLiteral("huge.txt"));
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(4 * MemoCapacity));
    }
    Open(huge);
    EXPECT_EQ(messages, QStringList{QStringLiteral("Text exceeds memo capacity.")});
    EXPECT_EQ(TextName, first);
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("kept"));
}
