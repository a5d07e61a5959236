// sorvelle-cli import audacity LABELS.txt PROJECT.txt: segments of lines 0, 1, 2, ... from an
// Audacity label track, written to the project's segment table as the editor's Save writes it.
#include <QFile>
#include <QLocale>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "CliSupport.h"
#include "Commands.h"
#include "EditorState.h"
#include "ProjectFiles.h"

namespace {

const char* const ImportUsage = "usage: sorvelle-cli import audacity LABELS.txt PROJECT.txt";

void PrintImportHelp() {
    std::printf(
        "%s\n\n"
        "Reads an Audacity label track (one label per line: start, end and text separated by tabs,\n"
        "times in seconds) and stores label i as the segment of line i of PROJECT.txt: Flag 1, Start\n"
        "and Finish the label's times in positions of 11025 per second, rounded to the nearest. The\n"
        "other records of PROJECT.pos (later lines, every line's pictures) keep what they hold, and\n"
        "the file is written exactly as the editor's Save writes it. Lines may end in LF, CR LF or CR;\n"
        "spectral lines (starting with a backslash) and empty lines are skipped; a comma is a decimal\n"
        "mark (\"1,5\" and \"1,500\" are both 1.5 seconds).\n\n"
        "Nothing is written, and the command says why, when the track holds more than 500 labels,\n"
        "a label ends before it starts, a time is negative or beyond the timeline, or a line is not a\n"
        "label. Labels that reach past the end of PROJECT.mp3 are stored with a warning.\n\n"
        "options:\n"
        "  -h, --help   show this help\n\n"
        "Exit status: 0 when the segment table was written, 1 when the labels were refused or the\n"
        "table could not be written, 2 on a usage error or when a file cannot be read.\n",
        ImportUsage);
}

struct TLabel {
    int32_t Start = 0;
    int32_t Finish = 0;
};

// A comma is a decimal mark, never a thousands separator: "1,500" is one and a half seconds.
bool ParseSeconds(QString field, double& seconds) {
    field = field.trimmed().replace(u',', u'.');
    bool ok = false;
    seconds = QLocale::c().toDouble(field, &ok);
    return ok && std::isfinite(seconds);
}

// The rows of a label file; CR LF, a lone CR and a lone LF each end one.
QList<QByteArray> SplitRows(const QByteArray& bytes) {
    QList<QByteArray> rows;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') continue;
        rows.append(bytes.mid(start, i - start));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    rows.append(bytes.mid(start));
    return rows;
}

// The label's time as a position; false when it does not fit the 32-bit timeline.
bool ToPosition(double seconds, int32_t& position) {
    const double scaled = std::round(seconds * PositionsPerSecond);
    if (!(scaled >= 0.0 && scaled <= double(std::numeric_limits<int32_t>::max()))) return false;
    position = int32_t(scaled);
    return true;
}

// Every label of the track, or false with the reason of the first line that is refused.
bool ParseLabels(const QByteArray& bytes, std::vector<TLabel>& labels, std::string& error) {
    const QList<QByteArray> rows = SplitRows(bytes);
    for (qsizetype row = 0; row < rows.size(); ++row) {
        const QString line = QString::fromUtf8(rows[row]);
        if (line.trimmed().isEmpty() || line.startsWith(u'\\')) continue;
        const std::string where = "line " + std::to_string(row + 1) + ": ";
        const QStringList fields = line.split(u'\t');
        double start = 0.0;
        double end = 0.0;
        if (fields.size() < 2 || !ParseSeconds(fields[0], start) || !ParseSeconds(fields[1], end)) {
            error = where + "not a label (start<TAB>end<TAB>text, in seconds)";
            return false;
        }
        if (start < 0.0 || end < 0.0) {
            error = where + "a label cannot start or end before 0 seconds";
            return false;
        }
        if (end < start) {
            error = where + "the label ends (" + fields[1].trimmed().toStdString() +
                    " s) before it starts (" + fields[0].trimmed().toStdString() + " s)";
            return false;
        }
        TLabel label;
        if (!ToPosition(start, label.Start) || !ToPosition(end, label.Finish)) {
            error = where + "the label lies beyond the timeline's end";
            return false;
        }
        labels.push_back(label);
    }
    return true;
}

// Labels that reach past the end of the project's recording are stored, as the editor stores any
// selection, and named, as check would name them.
void WarnOutsideRecording(const std::vector<TLabel>& labels, const QString& mp3Name) {
    const TRecordingLength length = MeasureRecording(mp3Name);
    if (length.State != TRecordingLength::TState::Measured) return;
    const int32_t positions = static_cast<int32_t>(length.Positions);
    std::vector<int> outside;
    for (size_t i = 0; i < labels.size(); ++i) {
        if (OutsideRecording(labels[i].Start, labels[i].Finish, positions)) outside.push_back(int(i));
    }
    if (outside.empty()) return;
    std::fprintf(stderr,
                 "sorvelle-cli import: warning: the segments of lines %s lie outside the recording %s "
                 "(%" PRId32 " positions, %.3f s)\n",
                 RunList(outside).c_str(), Printable(mp3Name).c_str(), positions, PositionSeconds(positions));
}

int RunImport(const TArgs& args) {
    std::vector<std::string> positional;
    for (const std::string& a : args) {
        if (IsHelpOption(a)) {
            PrintImportHelp();
            return 0;
        }
        if (IsOption(a)) return UsageError("import", "unknown option '" + a + "'", ImportUsage);
        positional.push_back(a);
    }
    if (positional.empty()) return UsageError("import", "missing FORMAT (audacity)", ImportUsage);
    if (positional[0] != "audacity") {
        return UsageError("import", "unknown format '" + positional[0] + "' (audacity)", ImportUsage);
    }
    if (positional.size() < 2) return UsageError("import", "missing LABELS.txt", ImportUsage);
    if (positional.size() < 3) return UsageError("import", "missing PROJECT.txt", ImportUsage);
    if (positional.size() > 3)
        return UsageError("import", "unexpected argument '" + positional[3] + "'", ImportUsage);

    const QString labelsName = PathFromArg(positional[1]);
    std::string error;
    if (!IsInputFile(labelsName, error)) return Fail("import", error, 2);
    QFile labelsFile(AccessPath(labelsName));
    if (!labelsFile.open(QIODevice::ReadOnly)) return Fail("import", "cannot read " + positional[1], 2);
    const QByteArray labelBytes = labelsFile.readAll();
    if (labelsFile.error() != QFileDevice::NoError) return Fail("import", "cannot read " + positional[1], 2);

    const QString textName = PathFromArg(positional[2]);
    TProjectText text;
    if (!LoadProjectText(textName, text, error)) return Fail("import", error, 2);

    std::vector<TLabel> labels;
    if (!ParseLabels(labelBytes, labels, error)) {
        return Fail("import", positional[1] + ": " + error + "; nothing written", 1);
    }
    if (labels.size() > size_t(ItemTableSize)) {
        return Fail("import",
                    positional[1] + " holds " + std::to_string(labels.size()) +
                        " labels, more than the 500 lines a project can bind; nothing written",
                    1);
    }

    const QString posName = CompanionName(textName, QStringLiteral("pos"));
    if (labels.empty()) {
        std::printf("%s holds no labels; nothing written\n", positional[1].c_str());
        return 0;
    }
    if (!LoadSegmentTable(posName, error)) return Fail("import", error + "; nothing written", 2);
    for (size_t i = 0; i < labels.size(); ++i) {
        TItemRec& rec = ItemTable[i];
        rec.Flag = 1;
        rec.Start = labels[i].Start;
        rec.Finish = labels[i].Finish;
    }
    if (!WriteNamedFile(posName, WritePosFile))
        return Fail("import", "cannot write " + Printable(posName), 1);

    std::printf("%zu labels set the segments of lines 0 to %zu in %s\n", labels.size(), labels.size() - 1,
                Printable(posName).c_str());
    if (labels.size() > size_t(text.lines.size())) {
        std::fprintf(stderr,
                     "sorvelle-cli import: warning: %s has %lld lines; labels from %lld on bind to no line\n",
                     positional[2].c_str(), static_cast<long long>(text.lines.size()),
                     static_cast<long long>(text.lines.size()));
    }
    WarnOutsideRecording(labels, CompanionName(textName, QStringLiteral("mp3")));
    return 0;
}

}  // namespace

extern const TCommand ImportCommand;
const TCommand ImportCommand = {"import", "set a project's segments from an Audacity label track", RunImport};
