// "Open" and "Save" of a text project through the window's buttons.
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTextBlock>

#include "EditorState.h"
#include "PosBytes.h"
#include "ProjectBaseline.h"
#include "SoundMain.h"
#include "Timeline.h"
#include "WindowTest.h"

namespace {

class OpenSaveTest : public WindowTest {
  protected:
    // A project "lesson" in the test's folder with the given files.
    QString MakeProject(const QString& folder,
                        const QByteArray& text,
                        const QByteArray* txr,
                        const QByteArray* pos) {
        QDir(dir.path()).mkpath(folder);
        const QString stem = dir.filePath(folder + QStringLiteral("/lesson."));
        WriteAll(stem + QStringLiteral("txt"), text);
        if (txr) WriteAll(stem + QStringLiteral("txr"), *txr);
        if (pos) WriteAll(stem + QStringLiteral("pos"), *pos);
        return stem + QStringLiteral("txt");
    }
};

// Without CAP_DAC_OVERRIDE in this thread's effective set, root too obeys a folder's permission
// bits, so a folder made read-only is read-only for the test.
class TObeyPermissions {
  public:
    TObeyPermissions() {
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        header_.pid = 0;
        if (syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        active_ = syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~TObeyPermissions() {
        if (active_) syscall(SYS_capset, &header_, saved_);
    }
    TObeyPermissions(const TObeyPermissions&) = delete;
    TObeyPermissions& operator=(const TObeyPermissions&) = delete;

  private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};

}  // namespace

TEST_F(OpenSaveTest, OpenThenSaveWithoutChanges) {
    const QByteArray pos = PosWithRecords(2);
    const QString text = MakeProject(QStringLiteral("p"), "first line\nsecond\r\nthird\rlast", nullptr, &pos);
    Open(text);
    ASSERT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(form->Memo1->document()->blockCount(), 4);
    EXPECT_EQ(form->Memo1->document()->findBlockByNumber(2).text(), QStringLiteral("third"));
    EXPECT_EQ(TextName, text);
    EXPECT_EQ(TxrName, dir.filePath(QStringLiteral("p/lesson.txr")));
    EXPECT_EQ(PosName, dir.filePath(QStringLiteral("p/lesson.pos")));
    EXPECT_EQ(EditorState.ArchiveName, dir.filePath(QStringLiteral("p/lesson.ims")));
    EXPECT_EQ(Player.FileName, dir.filePath(QStringLiteral("p/lesson.mp3")));
    EXPECT_EQ(ItemTable[1].Start, 1010);
    EXPECT_EQ(ItemTable[1].Pics[4], 14);

    Save();
    ASSERT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(ReadAll(text), QByteArray("first line\r\nsecond\r\nthird\r\nlast"));
    ASSERT_TRUE(QFileInfo::exists(TxrName));
    EXPECT_EQ(ReadAll(TxrName), QByteArray());
    const QByteArray saved = ReadAll(PosName);
    ASSERT_EQ(saved.size(), 12004);
    EXPECT_EQ(Int32At(saved, 0), 500);
    for (int i = 0; i < 500; ++i) {
        const bool fromFile = i < 2;
        EXPECT_EQ(Int32At(saved, 4 + 12 * i), fromFile ? 1 : 0);
        EXPECT_EQ(Int32At(saved, 4 + 12 * i + 4), fromFile ? 1000 * i + 10 : 0);
        EXPECT_EQ(Int32At(saved, 4 + 12 * i + 8), fromFile ? 1000 * i + 20 : 0);
        EXPECT_EQ(Int16At(saved, 6004 + 12 * i), fromFile ? 1 : 0);
        for (int k = 0; k < 5; ++k)
            EXPECT_EQ(Int16At(saved, 6004 + 12 * i + 2 + 2 * k), fromFile ? 10 * i + k : 0);
    }
}

TEST_F(OpenSaveTest, Windows1251AndUtf8TextsRoundTripByteForByte) {
    QByteArray every;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r' && b != '\n') every.append(char(b));
    }
    const QByteArray cp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2\r\n" + every + "\r\nend\r\n";
    const QByteArray utf8 =
        QStringLiteral("Привет, мир 🙂\r\nnbsp\u00a0tab\t\r\n\u2028x\r\n").toUtf8();
    const QString text1 = MakeProject(QStringLiteral("a"), cp1251, &utf8, nullptr);
    Open(text1);
    ASSERT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(form->Memo1->document()->firstBlock().text(), QStringLiteral("Привет"));
    EXPECT_EQ(form->Memo2->document()->firstBlock().text(), QStringLiteral("Привет, мир 🙂"));
    Save();
    ASSERT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(ReadAll(text1), cp1251);
    EXPECT_EQ(ReadAll(TxrName), utf8);
}

TEST_F(OpenSaveTest, ASecondTextIsLoadedOrMemo2KeepsItsText) {
    const QByteArray txr("translation\r\n");
    const QString first = MakeProject(QStringLiteral("a"), "one", &txr, nullptr);
    const QString second = MakeProject(QStringLiteral("b"), "two", nullptr, nullptr);
    Open(first);
    EXPECT_EQ(MemoText(*form->Memo2), QStringLiteral("translation\r\n"));
    Open(second);
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("two"));
    EXPECT_EQ(MemoText(*form->Memo2), QStringLiteral("translation\r\n"));
    Save();
    EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("b/lesson.txr"))), txr);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(OpenSaveTest, RecordsAndViewThatNoFileCoversKeepTheirValues) {
    const QByteArray pos = PosWithRecords(3);
    const QString first = MakeProject(QStringLiteral("a"), "one", nullptr, &pos);
    const QString second = MakeProject(QStringLiteral("b"), "two", nullptr, nullptr);
    ItemTable[7].Start = 77;
    answer = TSaveChangesAnswer::Discard;  // record 7 counts as an unsaved change of the empty editor
    EditorState.ViewSpan = 5000.0f;
    EditorState.ViewStart = 12.0f;
    EditorState.SelStart = 3;
    EditorState.SelEnd = 9;
    EditorState.MarkA = 9;
    EditorState.StripStart = 2;
    Open(first);
    EXPECT_EQ(ItemTable[2].Finish, 2020);
    EXPECT_EQ(ItemTable[7].Start, 77);
    Open(second);
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(ItemTable[2].Finish, 2020);
    EXPECT_EQ(EditorState.ViewSpan, 5000.0f);
    EXPECT_EQ(EditorState.ViewStart, 12.0f);
    EXPECT_EQ(EditorState.SelStart, 3);
    EXPECT_EQ(EditorState.SelEnd, 9);
    EXPECT_EQ(EditorState.MarkA, 9);
    EXPECT_EQ(EditorState.StripStart, 2);
    Save();
    const QByteArray saved = ReadAll(dir.filePath(QStringLiteral("b/lesson.pos")));
    ASSERT_EQ(saved.size(), 12004);
    EXPECT_EQ(Int32At(saved, 4 + 12 * 2 + 8), 2020);
    EXPECT_EQ(Int32At(saved, 4 + 12 * 7 + 4), 77);
}

TEST_F(OpenSaveTest, AProjectWithoutRecordingOpensAsTextOnly) {
    EditorState.Samples = AllocateSamples(16);
    EditorState.SampleCount = 16;
    const QString text = MakeProject(QStringLiteral("a"), "only text", nullptr, nullptr);
    Open(text);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(EditorState.Samples, nullptr);
    EXPECT_TRUE(form->ProgressBar1->isHidden());
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("only text"));
}

TEST_F(OpenSaveTest, ALongSegmentTableKeepsItsTailAfterSave) {
    QByteArray pos = PosWithRecords(2);
    pos.append(QByteArray(12004 - pos.size(), '\0'));
    pos.append("tail bytes kept");
    const QString text = MakeProject(QStringLiteral("a"), "x", nullptr, &pos);
    Open(text);
    Save();
    const QByteArray saved = ReadAll(PosName);
    ASSERT_EQ(saved.size(), pos.size());
    EXPECT_EQ(saved.mid(12004), QByteArray("tail bytes kept"));
}

TEST_F(OpenSaveTest, SaveBeforeAnyOpenWritesNothing) {
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    Save();
    QDir::setCurrent(previous);
    EXPECT_EQ(messages, QStringList{QStringLiteral("Cannot create file ")});
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST_F(OpenSaveTest, OpeningATypedNameThatDoesNotExistKeepsTheProject) {
    const QByteArray pos = PosWithRecords(1);
    const QString text = MakeProject(QStringLiteral("a"), "kept", nullptr, &pos);
    Open(text);
    const QString missing = dir.filePath(QStringLiteral("a/none.txt"));
    Open(missing);
    EXPECT_EQ(messages, QStringList{QStringLiteral("Cannot open file ") + missing + QLatin1Char('.')});
    EXPECT_EQ(TextName, text);
    EXPECT_EQ(PosName, dir.filePath(QStringLiteral("a/lesson.pos")));
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("kept"));
    EXPECT_EQ(ItemTable[0].Finish, 20);
}

TEST_F(OpenSaveTest, AFailedOpenLeavesTheWindowUsable) {
    Open(dir.filePath(QStringLiteral("none.txt")));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(form->isVisible());
    const QString text = MakeProject(QStringLiteral("a"), "second try", nullptr, nullptr);
    Open(text);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("second try"));
}

TEST_F(OpenSaveTest, CancellingTheDialogChangesNothing) {
    const QString text = MakeProject(QStringLiteral("a"), "kept", nullptr, nullptr);
    Open(text);
    Open(QString());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(questions, 0);
    EXPECT_EQ(TextName, text);
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("kept"));
}

TEST_F(OpenSaveTest, OpenOffersTextFilesAfterThePictureFilter) {
    form->OD2->Filter = QStringLiteral("*.jpg,*.jpeg|*.jpg;*.jpeg");
    Open(QString());
    EXPECT_EQ(filtersSeen, QStringList{QStringLiteral("*.txt|*.txt")});
}

TEST_F(OpenSaveTest, ASegmentTableThatCannotBeWrittenIsReported) {
    const QString text = MakeProject(QStringLiteral("a"), "x", nullptr, nullptr);
    Open(text);
    ASSERT_TRUE(QDir().mkdir(PosName));
    form->Memo1->moveCursor(QTextCursor::End);
    QTest::keyClicks(form->Memo1, QStringLiteral("y"));
    Save();
    EXPECT_EQ(messages, QStringList{QStringLiteral("Cannot create file ") + PosName + QLatin1Char('.')});
    EXPECT_EQ(ReadAll(text), QByteArray("xy"));
    EXPECT_TRUE(QFileInfo(PosName).isDir());
}

TEST_F(OpenSaveTest, SaveIntoAFolderThatCannotBeWrittenWritesTheFilesInPlace) {
    const QByteArray txr("old second\r\n");
    const QByteArray pos = PosWithRecords(2);
    const QString text = MakeProject(QStringLiteral("ro"), "old text\r\n", &txr, &pos);
    Open(text);
    form->Memo1->moveCursor(QTextCursor::End);
    QTest::keyClicks(form->Memo1, QStringLiteral("new words"));
    form->Memo2->setPlainText(QStringLiteral("new second"));
    ItemTable[0].Start = 5;

    const QString folder = dir.filePath(QStringLiteral("ro"));
    const QStringList filesBefore = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(::chmod(folder.toLocal8Bit().constData(), 0555), 0);
    {
        TObeyPermissions obey;
        QFile probe(folder + QStringLiteral("/probe"));
        const bool folderWritable = probe.open(QIODevice::WriteOnly);
        if (folderWritable) probe.remove();
        if (!folderWritable) Save();
        ::chmod(folder.toLocal8Bit().constData(), 0755);
        ASSERT_FALSE(folderWritable) << "the folder could not be made read-only";
    }
    // No temporary file can be made there, but the files themselves can be written.
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(ReadAll(text), QByteArray("old text\r\nnew words"));
    EXPECT_EQ(ReadAll(TxrName), QByteArray("new second"));
    const QByteArray saved = ReadAll(PosName);
    ASSERT_EQ(saved.size(), 12004);
    EXPECT_EQ(Int32At(saved, 8), 5);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), filesBefore);
}
