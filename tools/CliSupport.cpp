#include "CliSupport.h"

#include <QFile>
#include <cstdio>

#include "EditorState.h"
#include "FileError.h"
#include "NumberRuns.h"
#include "ProjectFiles.h"

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

QString PathFromArg(const std::string& arg) { return QString::fromLocal8Bit(arg.c_str()); }

std::string Printable(const QString& text) { return text.toLocal8Bit().toStdString(); }

QStringList SplitLines(const QString& crlfText) {
    if (crlfText.isEmpty()) return {};
    QStringList lines = crlfText.split(QStringLiteral("\r\n"));
    if (crlfText.endsWith(QStringLiteral("\r\n"))) lines.removeLast();
    return lines;
}

bool LoadProjectText(const QString& path, TProjectText& text, std::string& error) {
    if (!FileExists(path)) {
        error = "no such file: " + Printable(path);
        return false;
    }
    try {
        const TLoadedText loaded = LoadTextFile(path);
        text.name = path;
        text.lines = SplitLines(loaded.text);
        text.encoding = loaded.encoding;
        return true;
    } catch (const EFileError& e) {
        error = e.what();
        return false;
    }
}

bool LoadSegmentTable(const QString& posName, std::string& error) {
    ResetEditorState();
    if (!FileExists(posName)) return true;
    QFile probe(posName);
    if (!probe.open(QIODevice::ReadOnly)) {
        error = "cannot read " + Printable(posName);
        return false;
    }
    probe.close();
    ReadPosFile(posName);
    return true;
}

std::string RunList(const std::vector<int>& ascending) { return NumberRuns(ascending).toStdString(); }
