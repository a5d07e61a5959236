#include "TestSupport.h"

#include <QFile>
#include <QProcessEnvironment>

#include "ExceptionDialog.h"
#include "KeyboardInput.h"
#include "LateRecordsDialog.h"
#include "LineRecords.h"
#include "PictureArchive.h"
#include "ProjectRecovery.h"
#include "RecoveryDialogs.h"
#include "SaveAsUtf8Dialog.h"
#include "SaveChangesDialog.h"
#include "SoundMain.h"
#include "SoundOutput.h"
#include "TOpenDialog.h"

void ResetTestWorld() {
    // A hook may belong to a test that has ended: clear it before the real output is stopped.
    SoundOutputOverride = nullptr;
    StopSound();
    FirstAudioBufferObserver = nullptr;
    ExceptionDialogOverride = nullptr;
    SaveChangesDialogOverride = nullptr;
    SaveAsUtf8DialogOverride = nullptr;
    TOpenDialog::ExecuteOverride = nullptr;
    KeyboardInputOverride = nullptr;
    LateRecordsDialogOverride = nullptr;
    RestoreDialogOverride = nullptr;
    DiscardUnsavableDialogOverride = nullptr;
    RecoveryNoticeOverride = nullptr;
    SnapshotWriteObserver = nullptr;
    RecoveryFolderOverride.clear();
    SetRecoveryInterval(DefaultRecoveryInterval);
    Player.Release();
    Player.FileName.clear();
    SetPictureDecodeSize(QSize());
    SetPictureMemoryBudget(PictureMemoryBudget);
    ResetEditorState();
    LateRecords.clear();
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        ADD_FAILURE() << "cannot write " << path.toStdString();
        return;
    }
    f.write(bytes);
}

QString FixturePath(const QString& name) { return QStringLiteral(SORVELLE_FIXTURES_DIR "/") + name; }

int RunUnderXvfb(const QString& program,
                 const QStringList& arguments,
                 const QStringList& environment,
                 QString* output,
                 QString* errors) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : environment) {
        const qsizetype eq = entry.indexOf(QLatin1Char('='));
        env.insert(entry.left(eq), entry.mid(eq + 1));
    }
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(SORVELLE_WITH_XVFB), QStringList{program} + arguments);
    const bool ended = process.waitForStarted(10000) && process.waitForFinished(120000);
    if (!ended) {
        process.kill();
        process.waitForFinished(5000);
    }
    if (output) *output = QString::fromLocal8Bit(process.readAllStandardOutput());
    if (errors) *errors = QString::fromLocal8Bit(process.readAllStandardError());
    if (!ended || process.exitStatus() != QProcess::NormalExit) return -1;
    return process.exitCode();
}
