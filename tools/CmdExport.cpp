// sorvelle-cli export FORMAT PROJECT.txt [-o FILE]: the bound lines of a project as subtitles,
// labels or data, one entry per text line whose record has Flag 1.
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "ArchiveScan.h"
#include "CliSupport.h"
#include "Commands.h"
#include "EditorState.h"
#include "ProjectFiles.h"
#include "SafeSave.h"

namespace {

const char* const ExportUsage = "usage: sorvelle-cli export FORMAT PROJECT.txt [-o FILE]";

void PrintExportHelp() {
    std::printf(
        "%s\n\n"
        "Writes one entry for every line of PROJECT.txt whose record in PROJECT.pos has Flag 1, in\n"
        "line order, with the line's text and its segment in seconds (position / 11025). Lines from\n"
        "500 on have no record and are never exported. A line whose segment ends before it starts or\n"
        "begins before 0 is left out with a warning that names it ('import audacity' refuses such a\n"
        "label). The text comes out as UTF-8 whatever the encoding of PROJECT.txt.\n\n"
        "FORMAT is one of:\n"
        "  srt       SubRip subtitles; times to the millisecond; lines without visible text are\n"
        "            left out (a cue cannot be empty)\n"
        "  vtt       WebVTT subtitles; as srt, with &, < and > written as character references\n"
        "  audacity  an Audacity label track: start, end and text separated by tabs, seconds with\n"
        "            six decimals (tabs inside the text become spaces); 'import audacity' reads it\n"
        "  csv       a header row, then line,start,end,text; the text always in double quotes\n"
        "  json      an object with \"entries\": line, flag, start, end (seconds), start_position,\n"
        "            end_position (timeline positions), text and pictures: the first PicCount\n"
        "            (0 to 5) picture numbers of the record that name a picture of PROJECT.ims;\n"
        "            numbers outside the archive (or every number, without an archive) are left out\n\n"
        "options:\n"
        "  -o FILE, --output FILE   write to FILE instead of stdout; the project's own files are refused\n"
        "  -h, --help               show this help\n\n"
        "Exit status: 0 on success, 1 when the output cannot be written, 2 on a usage error or when\n"
        "PROJECT.txt or its segment table cannot be read.\n",
        ExportUsage);
}

struct TEntry {
    int Line = 0;
    int32_t Flag = 0;
    int32_t Start = 0;
    int32_t Finish = 0;
    QString Text;
    std::vector<int> Pictures;
};

// The entries in line order. A segment that ends before it starts or lies before 0 cannot be
// written as a subtitle and is refused by import: its line goes to skipped instead.
std::vector<TEntry> CollectEntries(const TProjectText& text,
                                   int32_t pictureCount,
                                   std::vector<int>& skipped) {
    std::vector<TEntry> entries;
    const int lines = std::min<int>(int(text.lines.size()), ItemTableSize);
    for (int i = 0; i < lines; ++i) {
        const TItemRec& rec = ItemTable[i];
        if (rec.Flag != 1) continue;
        if (rec.Finish < rec.Start || rec.Start < 0) {
            skipped.push_back(i);
            continue;
        }
        TEntry entry{i, rec.Flag, rec.Start, rec.Finish, text.lines[i], {}};
        const int picCount = std::clamp<int>(rec.PicCount, 0, 5);
        for (int k = 0; k < picCount; ++k) {
            if (rec.Pics[k] >= 0 && rec.Pics[k] < pictureCount) entry.Pictures.push_back(rec.Pics[k]);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

// hh:mm:ss plus the milliseconds after separator, for a position of 0 or more.
QByteArray ClockTime(int32_t position, char separator) {
    const int64_t ms = std::llround(double(position) * 1000.0 / PositionsPerSecond);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%02" PRId64 ":%02" PRId64 ":%02" PRId64 "%c%03" PRId64,
                  ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, separator, ms % 1000);
    return QByteArray(buffer);
}

QByteArray Seconds(int32_t position) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6f", PositionSeconds(position));
    return QByteArray(buffer);
}

// An empty cue ends at its own blank line: subtitle readers drop it or take the next cue's
// number for its text.
bool HasVisibleText(const TEntry& e) { return !e.Text.trimmed().isEmpty(); }

QByteArray Srt(const std::vector<TEntry>& entries) {
    QByteArray out;
    int number = 1;
    for (const TEntry& e : entries) {
        if (!HasVisibleText(e)) continue;
        out += QByteArray::number(number++) + '\n';
        out += ClockTime(e.Start, ',') + " --> " + ClockTime(e.Finish, ',') + '\n';
        out += e.Text.toUtf8() + "\n\n";
    }
    return out;
}

QByteArray Vtt(const std::vector<TEntry>& entries) {
    QByteArray out = "WEBVTT\n\n";
    for (const TEntry& e : entries) {
        if (!HasVisibleText(e)) continue;
        QString text = e.Text;
        text.replace(u'&', QStringLiteral("&amp;"))
            .replace(u'<', QStringLiteral("&lt;"))
            .replace(u'>', QStringLiteral("&gt;"));
        out += ClockTime(e.Start, '.') + " --> " + ClockTime(e.Finish, '.') + '\n';
        out += text.toUtf8() + "\n\n";
    }
    return out;
}

QByteArray Audacity(const std::vector<TEntry>& entries) {
    QByteArray out;
    for (const TEntry& e : entries) {
        QString text = e.Text;
        text.replace(u'\t', u' ');
        out += Seconds(e.Start) + '\t' + Seconds(e.Finish) + '\t' + text.toUtf8() + '\n';
    }
    return out;
}

QByteArray Csv(const std::vector<TEntry>& entries) {
    QByteArray out = "line,start,end,text\n";
    for (const TEntry& e : entries) {
        QString text = e.Text;
        text.replace(u'"', QStringLiteral("\"\""));
        out += QByteArray::number(e.Line) + ',' + Seconds(e.Start) + ',' + Seconds(e.Finish) + ",\"" +
               text.toUtf8() + "\"\n";
    }
    return out;
}

QByteArray Json(const std::vector<TEntry>& entries, const QString& project) {
    QJsonArray list;
    for (const TEntry& e : entries) {
        QJsonArray pictures;
        for (int p : e.Pictures) pictures.append(p);
        list.append(QJsonObject{
            {QStringLiteral("line"), e.Line},
            {QStringLiteral("flag"), e.Flag},
            {QStringLiteral("start"), PositionSeconds(e.Start)},
            {QStringLiteral("end"), PositionSeconds(e.Finish)},
            {QStringLiteral("start_position"), e.Start},
            {QStringLiteral("end_position"), e.Finish},
            {QStringLiteral("text"), e.Text},
            {QStringLiteral("pictures"), pictures},
        });
    }
    const QJsonObject root{
        // JSON holds text, not bytes: a name that is not UTF-8 shows U+FFFD for its odd bytes.
        {QStringLiteral("project"), QFileInfo(QFile::decodeName(NativeFromName(project))).fileName()},
        {QStringLiteral("positions_per_second"), PositionsPerSecond},
        {QStringLiteral("entries"), list},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

// The project's own files: writing the export over one of them would destroy it.
bool IsProjectFile(const QString& output, const QString& textName) {
    QStringList names{textName};
    for (const char* ext : {"txr", "mp3", "pos", "ims"})
        names << CompanionName(textName, QString::fromLatin1(ext));
    for (const QString& name : names) {
        if (SameFile(name, output)) return true;
    }
    return false;
}

// Standard output is checked by main once the command has ended.
int WriteOutput(const QByteArray& bytes, const QString& output) {
    if (output.isEmpty()) {
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        return 0;
    }
    // Written whole or not at all; a device or a pipe is not replaced by a file.
    const bool written =
        WriteNamedFile(output, [&bytes](const QString& path) { return SaveFileSafely(path, bytes); });
    return written ? 0 : Fail("export", "cannot write " + Printable(output), 1);
}

int RunExport(const TArgs& args) {
    std::vector<std::string> positional;
    std::string output;
    bool haveOutput = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (IsHelpOption(a)) {
            PrintExportHelp();
            return 0;
        }
        if (a == "-o" || a == "--output") {
            if (i + 1 >= args.size())
                return UsageError("export", "option " + a + " needs a file name", ExportUsage);
            output = args[++i];
            haveOutput = true;
        } else if (a.rfind("--output=", 0) == 0) {
            output = a.substr(9);
            haveOutput = true;
        } else if (IsOption(a)) {
            return UsageError("export", "unknown option '" + a + "'", ExportUsage);
        } else {
            positional.push_back(a);
        }
    }
    if (positional.empty()) return UsageError("export", "missing FORMAT", ExportUsage);
    if (positional.size() < 2) return UsageError("export", "missing PROJECT.txt", ExportUsage);
    if (positional.size() > 2)
        return UsageError("export", "unexpected argument '" + positional[2] + "'", ExportUsage);
    if (haveOutput && output.empty()) return UsageError("export", "empty output file name", ExportUsage);
    const std::string& format = positional[0];
    if (format != "srt" && format != "vtt" && format != "audacity" && format != "csv" && format != "json") {
        return UsageError("export", "unknown format '" + format + "' (srt, vtt, audacity, csv or json)",
                          ExportUsage);
    }

    const QString textName = PathFromArg(positional[1]);
    TProjectText text;
    std::string error;
    if (!LoadProjectText(textName, text, error)) return Fail("export", error, 2);
    if (!LoadSegmentTable(CompanionName(textName, QStringLiteral("pos")), error))
        return Fail("export", error, 2);
    const QString outputName = haveOutput ? PathFromArg(output) : QString();
    if (haveOutput && IsProjectFile(outputName, textName)) {
        return Fail("export", "refusing to write over the project's own file " + output, 2);
    }
    if (haveOutput && KindOf(outputName) == TFileKind::Folder)
        return Fail("export", "is a folder: " + output, 1);

    const TArchiveScan archive = ScanArchive(AccessPath(CompanionName(textName, QStringLiteral("ims"))));
    const int32_t pictureCount =
        archive.State == TArchiveScan::TState::Read && archive.Complete() ? archive.TableCount() : 0;
    std::vector<int> skipped;
    const std::vector<TEntry> entries = CollectEntries(text, pictureCount, skipped);
    if (!skipped.empty()) {
        std::fprintf(stderr,
                     "sorvelle-cli export: warning: lines %s left out: their segments end before they start "
                     "or begin before 0\n",
                     RunList(skipped).c_str());
    }

    QByteArray bytes;
    if (format == "srt")
        bytes = Srt(entries);
    else if (format == "vtt")
        bytes = Vtt(entries);
    else if (format == "audacity")
        bytes = Audacity(entries);
    else if (format == "csv")
        bytes = Csv(entries);
    else
        bytes = Json(entries, textName);
    return WriteOutput(bytes, outputName);
}

}  // namespace

extern const TCommand ExportCommand;
const TCommand ExportCommand = {
    "export", "write a project's bound lines as srt, vtt, audacity labels, csv or json", RunExport};
