#include "CliSupport.h"

#include <QFile>
#include <cstdio>
#include <limits>
#include <memory>

#include "EditorState.h"
#include "FileError.h"
#include "NativeNames.h"
#include "NumberRuns.h"
#include "ProjectFiles.h"
#include "TMyPlayer0802.h"

bool IsHelpOption(const std::string& arg) { return arg == "--help" || arg == "-h"; }

bool IsOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

int UsageError(const char* command, const std::string& message, const char* usage) {
    std::fprintf(stderr, "sorvelle-cli %s: %s (%s)\n", command, message.c_str(), usage);
    return 2;
}

int Fail(const char* command, const std::string& message, int code) {
    std::fprintf(stderr, "sorvelle-cli %s: %s\n", command, message.c_str());
    return code;
}

QString PathFromArg(const std::string& arg) { return NameFromNative(QByteArray::fromStdString(arg)); }

std::string Printable(const QString& name) { return NativeFromName(name).toStdString(); }

bool IsInputFile(const QString& name, std::string& error) {
    switch (KindOf(name)) {
        case TFileKind::File:
            return true;
        case TFileKind::Missing:
            error = "no such file: " + Printable(name);
            return false;
        case TFileKind::Folder:
            error = "is a folder: " + Printable(name);
            return false;
        case TFileKind::Other:
            break;
    }
    error = "not a file: " + Printable(name);
    return false;
}

QStringList SplitLines(const QString& crlfText) {
    if (crlfText.isEmpty()) return {};
    QStringList lines = crlfText.split(QStringLiteral("\r\n"));
    if (crlfText.endsWith(QStringLiteral("\r\n"))) lines.removeLast();
    return lines;
}

bool LoadProjectText(const QString& path, TProjectText& text, std::string& error) {
    if (!IsInputFile(path, error)) return false;
    try {
        const TLoadedText loaded = LoadTextFile(AccessPath(path));
        text.name = path;
        text.lines = SplitLines(loaded.text);
        text.encoding = loaded.encoding;
        return true;
    } catch (const EFileError&) {
        // Its message names the path Qt was given, which may be a descriptor's.
        error = "cannot read " + Printable(path);
        return false;
    }
}

bool LoadSegmentTable(const QString& posName, std::string& error) {
    ResetEditorState();
    const QString path = AccessPath(posName);
    if (!FileExists(path)) return true;
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly)) {
        error = "cannot read " + Printable(posName);
        return false;
    }
    probe.close();
    ReadPosFile(path);
    return true;
}

TRecordingLength MeasureRecording(const QString& mp3Name) {
    TRecordingLength length;
    const QString path = AccessPath(mp3Name);
    if (!FileExists(path)) return length;
    // About 9 MiB of fixed buffers: too large for the stack.
    auto player = std::make_unique<TMyPlayer0802>();
    player->FileName = path;
    if (!player->Open()) {
        length.State =
            player->ReadFailed() ? TRecordingLength::TState::Unreadable : TRecordingLength::TState::NoStream;
        return length;
    }
    // The editor's own measurement of the timeline.
    length.FrameCount = player->FrameCount;
    length.Positions = player->MeasureTimeline();
    length.FrameDuration = player->FrameDuration;
    length.State = length.Positions > std::numeric_limits<int32_t>::max()
                       ? TRecordingLength::TState::TooLong
                       : TRecordingLength::TState::Measured;
    return length;
}

std::string RunList(const std::vector<int>& ascending) { return NumberRuns(ascending).toStdString(); }
