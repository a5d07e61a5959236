#include "CliTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtEndian>

#include "EditorState.h"
#include "ProjectFiles.h"

namespace {

TCliResult Run(const QString& program, const QStringList& args, const QString& stdoutFile) {
    QProcess process;
    if (!stdoutFile.isEmpty()) process.setStandardOutputFile(stdoutFile);
    process.start(program, args);
    TCliResult result;
    if (!process.waitForStarted(30000)) {
        ADD_FAILURE() << "sorvelle-cli did not start";
        return result;
    }
    process.closeWriteChannel();
    // Generous: the binary runs under the sanitizers.
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "sorvelle-cli did not finish";
        return result;
    }
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

}  // namespace

TCliResult RunCli(const QStringList& args, const QString& stdoutFile) {
    return Run(QStringLiteral(SORVELLE_CLI), args, stdoutFile);
}

TCliResult RunCliBytes(const QList<QByteArray>& args) {
    // The shell's printf turns \0ooo back into the byte; the "." keeps a trailing line break.
    QStringList escaped;
    for (const QByteArray& arg : args) {
        QString e;
        for (const char c : arg) {
            const auto b = static_cast<unsigned char>(c);
            if (b == '\\')
                e += QStringLiteral("\\\\");
            else if (b >= 0x80 || b < 0x20)
                e += QStringLiteral("\\0%1").arg(b, 3, 8, QLatin1Char('0'));
            else
                e += QLatin1Char(c);
        }
        escaped << e;
    }
    const QString script = QStringLiteral(
        "cli=$1; shift; for a do v=$(printf '%b.' \"$a\"); set -- \"$@\" \"${v%.}\"; shift; done; "
        "exec \"$cli\" \"$@\"");
    return Run(QStringLiteral("/bin/sh"),
               QStringList{QStringLiteral("-c"), script, QStringLiteral("sh"), QStringLiteral(SORVELLE_CLI)} +
                   escaped,
               {});
}

QStringList ErrLines(const TCliResult& result) {
    QString err = QString::fromUtf8(result.err);
    if (err.endsWith(u'\n')) err.chop(1);
    return err.isEmpty() ? QStringList{} : err.split(u'\n');
}

void TTestProject::SetUp() {
    FreshStateTest::SetUp();
    ASSERT_TRUE(dir_.isValid());
}

QString TTestProject::Path(const QString& ext) const { return dir_.filePath(QStringLiteral("p.") + ext); }

void TTestProject::WriteText(const QByteArray& bytes) const { WriteAll(Text(), bytes); }

void TTestProject::WritePos(const std::vector<TRecordSpec>& records) const {
    ResetEditorState();
    for (const TRecordSpec& r : records) {
        TItemRec& rec = ItemTable[r.line];
        rec.Flag = r.flag;
        rec.Start = r.start;
        rec.Finish = r.finish;
        rec.PicCount = r.picCount >= 0 ? r.picCount : int16_t(r.pics.size());
        for (size_t k = 0; k < r.pics.size() && k < 5; ++k) rec.Pics[k] = r.pics[k];
    }
    ASSERT_TRUE(WritePosFile(Path(QStringLiteral("pos"))));
    ResetEditorState();
}

void TTestProject::WriteArchive(const std::vector<QByteArray>& pictures) const {
    QByteArray header(2008, '\0');
    qToLittleEndian<int32_t>(1, header.data());
    qToLittleEndian<int32_t>(int32_t(pictures.size()), header.data() + 4);
    QByteArray data;
    for (size_t i = 0; i < pictures.size(); ++i) {
        qToLittleEndian<int32_t>(int32_t(pictures[i].size()), header.data() + 8 + 4 * i);
        data += pictures[i];
    }
    WriteAll(Path(QStringLiteral("ims")), header + data);
}

void TTestProject::CopyRecording(const QString& fixture) const {
    QFile::remove(Path(QStringLiteral("mp3")));
    ASSERT_TRUE(QFile::copy(FixturePath(QStringLiteral("mp3/") + fixture), Path(QStringLiteral("mp3"))));
}

QMap<QString, TTestProject::TFileState> TTestProject::Snapshot() const {
    QMap<QString, TFileState> files;
    for (const QFileInfo& info : QDir(dir_.path()).entryInfoList(QDir::Files | QDir::Hidden)) {
        files.insert(info.fileName(), TFileState{ReadAll(info.filePath()), info.lastModified()});
    }
    return files;
}

QByteArray Jpeg(const QString& name) { return ReadAll(FixturePath(QStringLiteral("jpeg/") + name)); }
