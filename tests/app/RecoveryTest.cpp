// Unsaved work survives a crash: snapshots while the project has unsaved changes, offered back at
// the next Open; and a project open in two windows, the second of them read-only.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include "EditorState.h"
#include "PictureArchive.h"
#include "ProjectBaseline.h"
#include "ProjectBytes.h"
#include "ProjectLock.h"
#include "ProjectRecovery.h"
#include "RecoveryDialogs.h"
#include "RecoverySnapshot.h"
#include "WindowTest.h"

namespace {

class RecoveryTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(state.isValid());
        RecoveryFolderOverride = state.filePath(QStringLiteral("recovery"));
        RestoreDialogOverride = [this](const QString& question) {
            restoreQuestions << question;
            return restoreAnswer;
        };
        RecoveryNoticeOverride = [this](const QString& notice) { notices << notice; };
        DiscardUnsavableDialogOverride = [this](const QString& question) {
            unsavableQuestions << question;
            return discardUnsavable;
        };
        text = Path(QStringLiteral("lesson.txt"));
        WriteAll(text, "one\r\ntwo\r\n");
        WriteAll(Path(QStringLiteral("lesson.txr")), "uno\r\n");
        WriteAll(Path(QStringLiteral("lesson.pos")), PosWithRecords(2));
        WriteAll(Path(QStringLiteral("lesson.ims")),
                 ArchiveBytes({ReadAll(FixturePath(QStringLiteral("jpeg/red.jpg")))}));
        // Written an hour ago: a snapshot taken now is newer, whatever the clock's resolution.
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files)) {
            QFile file(Path(name));
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                         QFileDevice::FileModificationTime));
        }
    }

    QString Snapshot() const { return SnapshotPathFor(text); }

    void Type(QPlainTextEdit* memo, const QString& keys) {
        memo->moveCursor(QTextCursor::End);
        QTest::keyClicks(memo, keys);
    }

    // Typed into both texts, a segment and a picture for line 1: what hours of marking look like.
    void MarkWork() {
        Type(form->Memo1, QStringLiteral("three"));
        form->Memo2->show();
        Type(form->Memo2, QStringLiteral("dos"));
        ItemTable[1].Flag = 1;
        ItemTable[1].Start = 44100;
        ItemTable[1].Finish = 66150;
        ItemTable[1].PicCount = 2;
        ItemTable[1].Pics[1] = 7;
    }

    void Tick() {
        RunRecoveryTick(*form);
        WaitForSnapshotWrites(*form);
    }

    // What a crash or a kill leaves: the window gone without being closed, a fresh world.
    void Crash() {
        form.reset();
        ResetEditorState();
        form = std::make_unique<TAddItemsForm>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    // Every file of the project's folder with its bytes.
    QMap<QString, QByteArray> ProjectFolder() const {
        QMap<QString, QByteArray> files;
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
            files[name] = ReadAll(Path(name));
        return files;
    }

    QTemporaryDir state;  // the user's data folder, apart from the project's
    QString text;
    QStringList restoreQuestions;
    TRestoreAnswer restoreAnswer = TRestoreAnswer::Restore;
    QStringList notices;
    QStringList unsavableQuestions;
    bool discardUnsavable = false;
};

class TDefaultLocale {
  public:
    explicit TDefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~TDefaultLocale() { QLocale::setDefault(QLocale::system()); }
};

}  // namespace

TEST_F(RecoveryTest, AfterACrashOpenOffersTheWorkAndRestoreBringsItAllBack) {
    const TDefaultLocale german(QLocale(QLocale::German, QLocale::Germany));
    Open(text);
    const QMap<QString, QByteArray> files = ProjectFolder();
    MarkWork();
    const QDateTime before = QDateTime::currentDateTime();
    Tick();
    const QDateTime after = QDateTime::currentDateTime();
    ASSERT_TRUE(QFileInfo::exists(Snapshot()));
    EXPECT_EQ(ProjectFolder(), files) << "a snapshot wrote into the project's folder";

    Crash();
    Open(text);
    ASSERT_EQ(restoreQuestions.size(), 1);
    // German short format: 05.03.24 14:07.
    const QRegularExpressionMatch match =
        QRegularExpression(
            QStringLiteral("^Unsaved work on lesson\\.txt from (.*) was found\\. Restore it\\?$"))
            .match(restoreQuestions[0]);
    ASSERT_TRUE(match.hasMatch()) << restoreQuestions[0].toStdString();
    const QString format = QStringLiteral("dd.MM.yy HH:mm");
    EXPECT_TRUE(match.captured(1) == before.toString(format) || match.captured(1) == after.toString(format))
        << match.captured(1).toStdString();

    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("one\r\ntwo\r\nthree"));
    EXPECT_EQ(MemoText(*form->Memo2), QStringLiteral("uno\r\ndos"));
    EXPECT_EQ(ItemTable[1].Flag, 1);
    EXPECT_EQ(ItemTable[1].Start, 44100);
    EXPECT_EQ(ItemTable[1].Finish, 66150);
    EXPECT_EQ(ItemTable[1].PicCount, 2);
    EXPECT_EQ(ItemTable[1].Pics[1], 7);
    EXPECT_EQ(ItemTable[0].Start, 10);  // the .pos's own record 0
    EXPECT_EQ(EditorState.PictureCount, 1);
    EXPECT_EQ(ProjectFolder(), files) << "restoring wrote into the project's folder";
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();

    // The project counts as changed: the user still decides whether to save.
    answer = TSaveChangesAnswer::Save;
    EXPECT_TRUE(form->close());
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(ReadAll(text), QByteArray("one\r\ntwo\r\nthree"));
    EXPECT_EQ(ReadAll(Path(QStringLiteral("lesson.txr"))), QByteArray("uno\r\ndos"));
    EXPECT_EQ(Int32At(ReadAll(Path(QStringLiteral("lesson.pos"))), 4 + 12 + 4), 44100);
    EXPECT_FALSE(QFileInfo::exists(Snapshot()));
}

TEST_F(RecoveryTest, DiscardDropsTheSnapshotAndKeepsTheFiles) {
    Open(text);
    MarkWork();
    Tick();
    Crash();
    restoreAnswer = TRestoreAnswer::Discard;
    Open(text);
    EXPECT_EQ(restoreQuestions.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(Snapshot()));
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("one\r\ntwo\r\n"));
    EXPECT_EQ(ItemTable[1].Start, 1010);
    EXPECT_TRUE(form->close());
    EXPECT_EQ(questions, 0);
    Crash();
    Open(text);
    EXPECT_EQ(restoreQuestions.size(), 1);
}

TEST_F(RecoveryTest, ASnapshotLivesExactlyAsLongAsTheUnsavedWork) {
    Open(text);
    Tick();
    EXPECT_FALSE(QFileInfo::exists(Snapshot())) << "nothing changed";
    Type(form->Memo1, QStringLiteral("x"));
    Tick();
    EXPECT_TRUE(QFileInfo::exists(Snapshot()));
    QTest::keyClick(form->Memo1, Qt::Key_Backspace);
    Tick();
    EXPECT_FALSE(QFileInfo::exists(Snapshot())) << "typed and taken back";

    ItemTable[4].Finish = 9;
    Tick();
    EXPECT_TRUE(QFileInfo::exists(Snapshot())) << "a record alone";
    Save();
    EXPECT_FALSE(QFileInfo::exists(Snapshot())) << "saved";

    Type(form->Memo1, QStringLiteral("y"));
    Tick();
    ASSERT_TRUE(QFileInfo::exists(Snapshot()));
    answer = TSaveChangesAnswer::Cancel;
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(QFileInfo::exists(Snapshot())) << "Cancel keeps the work, and its snapshot";
    answer = TSaveChangesAnswer::Discard;
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(QFileInfo::exists(Snapshot())) << "Discard";

    Crash();
    Open(text);
    Type(form->Memo1, QStringLiteral("z"));
    Tick();
    ASSERT_TRUE(QFileInfo::exists(Snapshot()));
    QTest::keyClick(form->Memo1, Qt::Key_Backspace);
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(QFileInfo::exists(Snapshot())) << "closed without changes";
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

TEST_F(RecoveryTest, TheTimerWritesTheWorkAndKeepsUpWithIt) {
    SetRecoveryInterval(20);
    Open(text);
    Type(form->Memo1, QStringLiteral("first"));
    TRecoverySnapshot snapshot;
    const auto holds = [&](const QString& wanted) {
        return ReadSnapshotFile(Snapshot(), &snapshot) == TSnapshotRead::Found &&
               snapshot.Text.endsWith(wanted);
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return holds(QStringLiteral("first")); }, 10000));
    Type(form->Memo1, QStringLiteral(" second"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return holds(QStringLiteral("first second")); }, 10000));
    EXPECT_EQ(snapshot.TextName, QFile::encodeName(text));
    EXPECT_EQ(snapshot.Items[0].Start, 10);
}

TEST_F(RecoveryTest, TextsKeepTheirEncodingsAndEveryCharacter) {
    WriteAll(text, "\xef\xf0\xe8\r\n");                                  // Windows-1251
    WriteAll(Path(QStringLiteral("lesson.txr")), "a\xe2\x80\xa8z\r\n");  // UTF-8 with U+2028
    Open(text);
    ASSERT_EQ(form->Memo1->Format.encoding, TTextEncoding::Windows1251);
    Type(form->Memo1, QStringLiteral("ok"));
    Tick();
    Crash();
    Open(text);
    ASSERT_EQ(restoreQuestions.size(), 1);
    EXPECT_EQ(form->Memo1->Format.encoding, TTextEncoding::Windows1251);
    EXPECT_EQ(FromEditorText(MemoText(*form->Memo2), form->Memo2->Format), QStringLiteral("a\u2028z\r\n"));
    EXPECT_EQ(form->Memo2->document()->blockCount(), 2) << "U+2028 is shown as one line";
    Save();
    EXPECT_EQ(ReadAll(text), QByteArray("\xef\xf0\xe8\r\nok"));
    EXPECT_EQ(ReadAll(Path(QStringLiteral("lesson.txr"))), QByteArray("a\xe2\x80\xa8z\r\n"));
}

TEST_F(RecoveryTest, WorkOlderThanTheFilesIsNotOffered) {
    Open(text);
    Type(form->Memo1, QStringLiteral("old"));
    Tick();
    Crash();
    // Saved again since, by another program.
    QFile pos(Path(QStringLiteral("lesson.pos")));
    ASSERT_TRUE(pos.open(QIODevice::ReadWrite));
    ASSERT_TRUE(pos.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    Open(text);
    EXPECT_TRUE(restoreQuestions.isEmpty());
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("one\r\ntwo\r\n"));
}

TEST_F(RecoveryTest, ASaveThatFailsPartWayKeepsTheWorkOffered) {
    Open(text);
    MarkWork();
    Tick();
    // The texts are written, the segment table cannot be (a folder in its place): the texts are
    // now newer than the snapshot, but the segment lives in it only.
    const QString pos = Path(QStringLiteral("lesson.pos"));
    const QByteArray posBytes = ReadAll(pos);
    ASSERT_TRUE(QFile::remove(pos));
    ASSERT_TRUE(QDir().mkdir(pos));
    // File times come from a clock that may step only every few milliseconds: the texts must be
    // written clearly after the snapshot's time for the test to see the fault.
    QTest::qWait(50);
    Save();
    ASSERT_EQ(messages, QStringList{QStringLiteral("Cannot create file %1.").arg(pos)});
    WaitForSnapshotWrites(*form);
    Crash();
    ASSERT_TRUE(QDir().rmdir(pos));
    WriteAll(pos, posBytes);
    QFile old(pos);
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        old.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    Open(text);
    ASSERT_EQ(restoreQuestions.size(), 1);
    EXPECT_EQ(ItemTable[1].Start, 44100);
    EXPECT_EQ(ItemTable[1].Finish, 66150);
}

TEST_F(RecoveryTest, ADamagedSnapshotIsSetAsideOnceAndTheOpenGoesOn) {
    ASSERT_TRUE(MakePrivateFolder(RecoveryFolder()));
    TRecoverySnapshot snapshot;
    snapshot.TextName = QFile::encodeName(text);
    snapshot.TimeMs = QDateTime::currentMSecsSinceEpoch();
    QByteArray bytes = EncodeSnapshot(snapshot);
    bytes[40] = char(bytes[40] ^ 1);
    WriteAll(Snapshot(), bytes);
    Open(text);
    EXPECT_TRUE(restoreQuestions.isEmpty());
    EXPECT_EQ(notices,
              QStringList{QStringLiteral("The unsaved work found for lesson.txt is damaged and cannot be "
                                         "restored; it was set aside as %1.bad.")
                              .arg(Snapshot())});
    EXPECT_EQ(ReadAll(Snapshot() + QStringLiteral(".bad")), bytes);
    EXPECT_FALSE(QFileInfo::exists(Snapshot()));
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("one\r\ntwo\r\n"));
    EXPECT_EQ(PosName, Path(QStringLiteral("lesson.pos")));
    EXPECT_EQ(EditorState.PictureCount, 1);
    Open(text);
    EXPECT_EQ(notices.size(), 1);
}

TEST_F(RecoveryTest, AnOpenThatReportsDamagedPicturesStillOffersTheWork) {
    Open(text);
    Type(form->Memo1, QStringLiteral("kept"));
    Tick();
    Crash();
    WriteAll(Path(QStringLiteral("lesson.ims")), ArchiveBytes({QByteArray("not a picture")}));
    Open(text);
    EXPECT_EQ(messages.size(), 1);
    ASSERT_EQ(restoreQuestions.size(), 1);
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("one\r\ntwo\r\nkept"));
}

TEST_F(RecoveryTest, AProjectOpenInAnotherWindowOpensReadOnly) {
    // The other window: its lock, and its own snapshot of its own work.
    ASSERT_TRUE(MakePrivateFolder(RecoveryFolder()));
    TProjectLock other;
    ASSERT_EQ(other.Acquire(LockPath(RecoveryFolder(), RecoveryKey(text))), TLockResult::Held);
    TRecoverySnapshot theirs;
    theirs.TextName = QFile::encodeName(text);
    theirs.TimeMs = QDateTime::currentMSecsSinceEpoch();
    theirs.Text = QStringLiteral("their work");
    WriteAll(Snapshot(), EncodeSnapshot(theirs));
    const QByteArray theirSnapshot = ReadAll(Snapshot());
    const QMap<QString, QByteArray> files = ProjectFolder();

    Open(text);
    EXPECT_EQ(notices, QStringList{QStringLiteral(
                           "lesson.txt is open in another Sorvelle window. It opens here read-only.")});
    EXPECT_TRUE(restoreQuestions.isEmpty()) << "the other window's work is not offered here";
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("one\r\ntwo\r\n"));
    EXPECT_EQ(EditorState.PictureCount, 1);
    EXPECT_FALSE(PictureTable[0].isNull()) << "its pictures can be looked at";
    EXPECT_TRUE(ArchiveReadOnly());

    Type(form->Memo1, QStringLiteral("mine"));
    ItemTable[0].Flag = 5;
    Save();
    EXPECT_EQ(messages,
              QStringList{QStringLiteral("lesson.txt is open in another Sorvelle window; save it there.")});
    DialogAnswers(FixturePath(QStringLiteral("jpeg/blue.jpg")));
    Click(form->SpeedButton1);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].endsWith(QStringLiteral("lesson.ims is open in another Sorvelle window.")))
        << messages[1].toStdString();
    Tick();
    EXPECT_EQ(ProjectFolder(), files);
    EXPECT_EQ(ReadAll(Snapshot()), theirSnapshot);

    // Closing with changes asks whether to let them go; nothing is saved either way.
    EXPECT_FALSE(form->close());
    EXPECT_EQ(
        unsavableQuestions,
        QStringList{QStringLiteral("lesson.txt is open in another Sorvelle window, so the changes made here "
                                   "cannot be saved. Discard them?")});
    discardUnsavable = true;
    EXPECT_TRUE(form->close());
    EXPECT_EQ(questions, 0);
    EXPECT_EQ(ProjectFolder(), files);
    EXPECT_EQ(ReadAll(Snapshot()), theirSnapshot);

    // Once the other window is gone, its work is offered here.
    other.Release();
    Crash();
    Open(text);
    EXPECT_EQ(notices.size(), 1);
    ASSERT_EQ(restoreQuestions.size(), 1);
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("their work"));
}

TEST_F(RecoveryTest, ASecondSorvelleOpensReadOnlyAndAKillLeavesNoStaleLock) {
    // The real program, with its own data folder; this window looks into the same one.
    const QString home = state.filePath(QStringLiteral("home"));
    RecoveryFolderOverride = home + QStringLiteral("/Sorvelle/recovery");
    const auto startFirst = [&](QProcess& first) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home);
        first.setProcessEnvironment(env);
        first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        first.start(QStringLiteral(SORVELLE_EDITOR), {text});
        ASSERT_TRUE(first.waitForStarted(30000));
        // Open has come as far as the archive once the archive is locked.
        const QByteArray archive = QFile::encodeName(Path(QStringLiteral("lesson.ims")));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const int fd = ::open(archive.constData(), O_RDONLY | O_CLOEXEC);
                const bool held = fd >= 0 && ::flock(fd, LOCK_SH | LOCK_NB) != 0;
                if (fd >= 0) ::close(fd);
                return held || first.state() == QProcess::NotRunning;
            },
            60000));
        ASSERT_EQ(first.state(), QProcess::Running);
    };

    QProcess first;
    startFirst(first);
    Open(text);
    EXPECT_EQ(notices, QStringList{QStringLiteral(
                           "lesson.txt is open in another Sorvelle window. It opens here read-only.")});
    EXPECT_EQ(EditorState.PictureCount, 1);

    // SIGTERM without unsaved work: the program ends as the signal asks and leaves no snapshot.
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(30000));
    EXPECT_EQ(first.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(first.exitCode(), SIGTERM);
    EXPECT_FALSE(QFileInfo::exists(Snapshot()));

    QProcess second;
    startFirst(second);
    second.kill();
    ASSERT_TRUE(second.waitForFinished(30000));
    notices.clear();
    Open(text);
    EXPECT_TRUE(notices.isEmpty()) << notices.join('|').toStdString();
    EXPECT_FALSE(ArchiveReadOnly());
    Type(form->Memo1, QStringLiteral("x"));
    Save();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
    EXPECT_EQ(ReadAll(text), QByteArray("one\r\ntwo\r\nx"));
}

TEST(RecoveryQuestions, RestoreIsTheDefaultAnswer) {
    QString title;
    QStringList buttons;
    QString defaultButton;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        title = box->windowTitle();
        for (QAbstractButton* b : box->buttons()) buttons << b->text();
        if (box->defaultButton()) defaultButton = box->defaultButton()->text();
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(AskRestore(nullptr, QStringLiteral("Unsaved work on a.txt from now was found. Restore it?")),
              TRestoreAnswer::Restore);
    EXPECT_EQ(title, QStringLiteral("Sorvelle"));
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("Discard"), QStringLiteral("Restore")}));
    EXPECT_EQ(defaultButton, QStringLiteral("Restore"));

    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        for (QAbstractButton* b : box ? box->buttons() : QList<QAbstractButton*>()) {
            if (b->text() == QStringLiteral("Discard")) b->click();
        }
    });
    EXPECT_EQ(AskRestore(nullptr, QStringLiteral("q")), TRestoreAnswer::Discard);
}
