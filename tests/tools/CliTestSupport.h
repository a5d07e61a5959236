#pragma once
// Runs the built sorvelle-cli and builds projects for it in a temporary folder.

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <vector>

#include "TestSupport.h"

struct TCliResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// With stdoutFile, standard output goes to that file instead of out.
TCliResult RunCli(const QStringList& args, const QString& stdoutFile = {});
// Arguments as bytes, for file names that are not UTF-8 (QProcess passes UTF-8 only).
TCliResult RunCliBytes(const QList<QByteArray>& args);

// stderr as its lines, without the trailing break.
QStringList ErrLines(const TCliResult& result);

// Segments for line i of a project: Flag, Start, Finish, then the pictures.
struct TRecordSpec {
    int line = 0;
    int32_t flag = 1;
    int32_t start = 0;
    int32_t finish = 0;
    std::vector<int16_t> pics;
    int16_t picCount = -1;  // -1: the number of pics
};

// A project "p" in its own temporary folder.
class TTestProject : public FreshStateTest {
  protected:
    void SetUp() override;

    QString Path(const QString& ext) const;  // p.<ext>
    QString Text() const { return Path(QStringLiteral("txt")); }
    void WriteText(const QByteArray& bytes) const;
    // Writes the .pos with the editor's own writer from a fresh table holding the given records.
    void WritePos(const std::vector<TRecordSpec>& records) const;
    // An archive of these picture files, as the editor lays it out.
    void WriteArchive(const std::vector<QByteArray>& pictures) const;
    void CopyRecording(const QString& fixture) const;

    struct TFileState {
        QByteArray bytes;
        QDateTime modified;
    };
    // Every file of the folder with its bytes and modification time.
    QMap<QString, TFileState> Snapshot() const;

    QTemporaryDir dir_;
};

QByteArray Jpeg(const QString& name);  // a fixture picture's bytes

// The bytes of a UTF-8 literal.
inline QByteArray Utf8(const char8_t* text) { return QByteArray(reinterpret_cast<const char*>(text)); }
