#pragma once
// Helpers shared by the project subcommands of sorvelle-cli: argument checks, the project's text
// as the editor's lines, and the segment table read into ItemTable by the editor's own code.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <vector>

#include "NativeNames.h"
#include "TextEncoding.h"
#include "Timeline.h"

bool IsHelpOption(const std::string& arg);
// An argument that names an option rather than a file ("-" alone is not one).
bool IsOption(const std::string& arg);

// Prints "sorvelle-cli COMMAND: MESSAGE (USAGE)" on stderr and returns the usage exit code 2.
int UsageError(const char* command, const std::string& message, const char* usage);
// Prints "sorvelle-cli COMMAND: MESSAGE" on stderr and returns code.
int Fail(const char* command, const std::string& message, int code);

// A file name given on the command line, every byte kept (NativeNames.h).
QString PathFromArg(const std::string& arg);
// A file name as the bytes the system holds, for messages and reports.
std::string Printable(const QString& name);

// True when name is a file; false with "no such file: NAME", "is a folder: NAME" or
// "not a file: NAME".
bool IsInputFile(const QString& name, std::string& error);

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

// The length of a project's recording on the timeline, as the editor's decoding lays it out.
// TooLong: more positions than the 32-bit timeline holds (the editor runs out of memory on it).
struct TRecordingLength {
    enum class TState { Missing, Unreadable, NoStream, TooLong, Measured };
    TState State = TState::Missing;
    int32_t FrameCount = 0;
    float FrameDuration = 0.0f;
    int64_t Positions = 0;  // fits int32 when State is Measured
};
TRecordingLength MeasureRecording(const QString& mp3Name);

// A segment that reaches past the end of a recording of that many positions; with no recording
// (0 positions) nothing is outside.
inline bool OutsideRecording(int32_t start, int32_t finish, int32_t positions) {
    return positions > 0 && (start > positions || finish > positions);
}

// Numbers as a short list of runs: "3", "3, 7", "0-4, 9".
std::string RunList(const std::vector<int>& ascending);

// Positions to seconds on the 11025-per-second timeline.
inline double PositionSeconds(int64_t position) { return double(position) / PositionsPerSecond; }
