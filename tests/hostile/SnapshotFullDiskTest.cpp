// Recovery snapshots onto a full disk: the write fails without harm (the previous snapshot and
// the project stay, no temporary file is left), and the user is told once, not at every attempt,
// until a snapshot can be written again.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "EditorState.h"
#include "ExceptionDialog.h"
#include "ProjectRecovery.h"
#include "RecoveryDialogs.h"
#include "RecoverySnapshot.h"
#include "TAddItemsForm.h"
#include "TOpenDialog.h"
#include "TestSupport.h"
#include "TmpfsMount.h"

TEST(SnapshotFullDisk, FailsWithoutHarmAndSaysSoOnceUntilItWorksAgain) {
    ResetTestWorld();
    TTmpfsMount disk(128 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << disk.Error().toStdString() << ")";
    QTemporaryDir project;
    const QString text = project.filePath(QStringLiteral("lesson.txt"));
    WriteAll(text, "one\r\n");
    RecoveryFolderOverride = disk.FilePath(QStringLiteral("recovery"));
    QStringList notices;
    RecoveryNoticeOverride = [&](const QString& notice) { notices << notice; };
    QStringList messages;
    ExceptionDialogOverride = [&](const QString& message) { messages << message; };
    int written = 0;
    int failed = 0;
    SnapshotWriteObserver = [&](bool ok) { ++(ok ? written : failed); };
    TOpenDialog::ExecuteOverride = [text](TOpenDialog& dialog) {
        dialog.FileName = text;
        return true;
    };
    SetRecoveryInterval(10);

    auto form = std::make_unique<TAddItemsForm>();
    form->show();
    QTest::mouseClick(form->OpenBtn, Qt::LeftButton);
    // Pasted, as a long text would be: typing it key by key takes minutes under the sanitizers.
    const auto type = [&](const QString& keys) {
        form->Memo1->moveCursor(QTextCursor::End);
        form->Memo1->insertPlainText(keys);
    };
    type(QStringLiteral("first"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return written >= 1; }, 10000));
    const QString snapshot = SnapshotPathFor(text);
    const QByteArray good = ReadAll(snapshot);

    // A text larger than what is left: every attempt fails, the user hears of it once.
    ASSERT_GT(disk.FillUp(), 0);
    type(QString(8000, QLatin1Char('w')));
    ASSERT_TRUE(QTest::qWaitFor([&] { return failed >= 5; }, 20000));
    EXPECT_EQ(notices.size(), 1);
    ASSERT_FALSE(notices.isEmpty());
    EXPECT_TRUE(notices[0].startsWith(QStringLiteral("Cannot write the recovery file %1").arg(snapshot)))
        << notices[0].toStdString();
    EXPECT_EQ(ReadAll(snapshot), good) << "the last snapshot that could be written stays";
    EXPECT_EQ(QDir(RecoveryFolderOverride).entryList(QDir::Files | QDir::Hidden).join(' ').toStdString(),
              (RecoveryKey(text) + QStringLiteral(".lock ") + QFileInfo(snapshot).fileName()).toStdString())
        << "no temporary file is left";
    EXPECT_EQ(ReadAll(text), QByteArray("one\r\n"));

    // Room again: the work is written, and the next failure is news again.
    disk.FreeFillers(1000);
    const int before = written;
    ASSERT_TRUE(QTest::qWaitFor([&] { return written > before; }, 10000));
    TRecoverySnapshot back;
    ASSERT_EQ(ReadSnapshotFile(snapshot, &back), TSnapshotRead::Found);
    EXPECT_TRUE(back.Text.endsWith(QString(8000, QLatin1Char('w'))));
    ASSERT_GT(disk.FillUp(), 0);
    type(QString(40000, QLatin1Char('v')));
    ASSERT_TRUE(QTest::qWaitFor([&] { return notices.size() == 2; }, 20000));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();

    form.reset();
    ResetTestWorld();
}
