#pragma once
// Helpers shared by the project subcommands of sorvelle-cli: argument checks, the project's text
// as the editor's lines, and the segment table read into ItemTable by the editor's own code.

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "TextEncoding.h"
#include "Timeline.h"

bool IsHelpOption(const std::string& arg);
// An argument that names an option rather than a file ("-" alone is not one).
bool IsOption(const std::string& arg);

// Prints "sorvelle-cli COMMAND: MESSAGE (USAGE)" on stderr and returns the usage exit code 2.
int UsageError(const char* command, const std::string& message, const char* usage);
// Prints "sorvelle-cli COMMAND: MESSAGE" on stderr and returns code.
int Fail(const char* command, const std::string& message, int code);

QString PathFromArg(const std::string& arg);
std::string Printable(const QString& text);

// The lines of a text as the editor's text pane holds them: split at CR LF; a break at the very
// end starts no further line, and an empty text has no line.
QStringList SplitLines(const QString& crlfText);

struct TProjectText {
    QString name;
    QStringList lines;
    TTextEncoding encoding = TTextEncoding::Utf8;
};

// Loads the project's text; false with a message when the file is missing or unreadable.
bool LoadProjectText(const QString& path, TProjectText& text, std::string& error);

// Puts the editor state back to a fresh start, then reads the segment table named posName into
// ItemTable when it exists, with the editor's reader. False with a message when the file exists
// but cannot be opened: reading nothing would pass off an unreadable table as an empty one.
bool LoadSegmentTable(const QString& posName, std::string& error);

// Numbers as a short list of runs: "3", "3, 7", "0-4, 9".
std::string RunList(const std::vector<int>& ascending);

// Positions to seconds on the 11025-per-second timeline.
inline double PositionSeconds(int64_t position) { return double(position) / PositionsPerSecond; }
