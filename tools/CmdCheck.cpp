// sorvelle-cli check PROJECT.txt: reads every file of a project, without writing any, and
// reports what does not fit together.
#include <QFile>
#include <QSize>
#include <QtEndian>
#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "ArchiveScan.h"
#include "CliSupport.h"
#include "Commands.h"
#include "EditorState.h"
#include "JpegDecoder.h"
#include "ProjectFiles.h"

namespace {

const char* const CheckUsage = "usage: sorvelle-cli check PROJECT.txt";

void PrintCheckHelp() {
    std::printf(
        "%s\n\n"
        "Reads PROJECT.txt and its companions (.txr, .mp3, .pos, .ims) as the editor would, changes\n"
        "none of them, prints one line per file it finds and one 'problem:' line for each of these:\n"
        "  - lines from 500 on (they have no record), records that hold a segment or pictures for a\n"
        "    line the text does not have, a Flag other than 0 or 1;\n"
        "  - a segment whose Finish lies before its Start, or that lies outside the recording (its\n"
        "    length on the timeline as the editor decodes it) or before 0;\n"
        "  - a picture count outside 0 to 5, a picture number outside the archive;\n"
        "  - a segment table whose size does not match its record count, or a count outside 0 to 500;\n"
        "  - an archive shorter than its header, a picture count outside 0 to 500, a picture size that\n"
        "    is negative, points past the end of the file or exceeds 64 MiB, a picture that does not\n"
        "    start with the JPEG start marker, does not decode as a JPEG or lacks its end marker;\n"
        "  - a recording in which no MPEG audio stream is found.\n"
        "Missing companions are normal (a new or text-only project) and are only listed.\n\n"
        "options:\n"
        "  -h, --help   show this help\n\n"
        "Exit status: 0 when nothing is wrong, 1 when a problem was found, 2 on a usage error or when\n"
        "a file of the project exists but cannot be read (PROJECT.txt must exist).\n",
        CheckUsage);
}

class TReport {
  public:
    void Note(const std::string& line) { std::printf("%s\n", line.c_str()); }
    void Problem(const std::string& line) {
        std::printf("problem: %s\n", line.c_str());
        ++problems_;
    }
    int Problems() const { return problems_; }

  private:
    int problems_ = 0;
};

std::string Str(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Str(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

// Timeline positions of the recording, 0 when there is none or it holds no stream; -1 when the
// file exists but cannot be read.
int32_t CheckRecording(const QString& name, TReport& report) {
    const TRecordingLength length = MeasureRecording(name);
    switch (length.State) {
        case TRecordingLength::TState::Missing:
            report.Note("recording: none (" + Printable(name) + ")");
            return 0;
        case TRecordingLength::TState::Unreadable:
            return -1;
        case TRecordingLength::TState::NoStream:
            report.Problem("recording " + Printable(name) + ": no MPEG audio stream found");
            return 0;
        case TRecordingLength::TState::TooLong:
            report.Problem(Str("recording %s: %" PRId32 " frames of %.6g s each, %" PRId64
                               " positions: too long for the timeline (the editor runs out of memory)",
                               Printable(name).c_str(), length.FrameCount, double(length.FrameDuration),
                               length.Positions));
            return 0;
        case TRecordingLength::TState::Measured:
            break;
    }
    const int32_t positions = static_cast<int32_t>(length.Positions);
    report.Note(Str("recording: %s: %" PRId32 " frames, %" PRId32 " positions (%.3f s)",
                    Printable(name).c_str(), length.FrameCount, positions, PositionSeconds(positions)));
    return positions;
}

// Why picture i cannot be read, in the words of a problem line.
std::string PictureFaultText(const TArchiveScan& scan, int32_t i, TPictureFault fault) {
    const TArchiveHeader::TExtent extent = scan.Extent(i);
    switch (fault) {
        case TPictureFault::Negative:
            return Str("picture %" PRId32 ": negative size %" PRId64, i, extent.Size);
        case TPictureFault::Empty:
            return Str("picture %" PRId32 ": empty, 0 bytes", i);
        case TPictureFault::PastEnd:
            return Str("picture %" PRId32 ": %" PRId64 " bytes at offset %" PRId64
                       " run past the end of the archive (%" PRId64 " bytes)",
                       i, extent.Size, extent.Offset, scan.FileSize);
        case TPictureFault::TooLarge:
            return Str("picture %" PRId32 ": %" PRId64 " bytes, more than the %" PRId64 " a picture may have",
                       i, extent.Size, MaxPictureFileBytes);
        case TPictureFault::NotJpegStart:
            return Str("picture %" PRId32 ": does not start with the JPEG start marker", i);
        case TPictureFault::None:
            break;
    }
    return {};
}

// The picture count of a readable archive, 0 when there is none; -1 when it cannot be read.
int32_t CheckArchive(const QString& name, TReport& report) {
    const QString path = AccessPath(name);
    const TArchiveScan scan = ScanArchive(path);
    if (scan.State == TArchiveScan::TState::Missing) {
        report.Note("picture archive: none (" + Printable(name) + ")");
        return 0;
    }
    if (scan.State == TArchiveScan::TState::Unreadable) return -1;
    const std::string file = Printable(name);
    if (!scan.Complete()) {
        report.Problem(Str("picture archive %s: %" PRId64 " bytes, shorter than its 2008-byte header",
                           file.c_str(), scan.FileSize));
        return 0;
    }
    report.Note(Str("picture archive: %s: %" PRId32 " pictures, %" PRId64 " bytes", file.c_str(), scan.Count,
                    scan.FileSize));
    if (scan.Count != scan.TableCount()) {
        // The size table cannot describe such an archive; its entries are not judged one by one.
        report.Problem(
            Str("picture archive %s: picture count %" PRId32 " outside 0 to 500", file.c_str(), scan.Count));
        return scan.TableCount();
    }
    for (int32_t i = 0; i < scan.TableCount(); ++i) {
        QByteArray bytes;
        TPictureFault fault = TPictureFault::None;
        if (!ReadArchivePicture(path, scan, i, &bytes, &fault)) {
            if (fault == TPictureFault::None) return -1;
            report.Problem(PictureFaultText(scan, i, fault));
            continue;
        }
        // The smallest DCT scale: every coded byte is still decoded, at a fraction of the cost.
        const TJpegResult decoded = DecodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                               size_t(bytes.size()), QSize(1, 1));
        if (decoded.image.isNull()) {
            report.Problem(Str("picture %" PRId32 ": does not decode as a JPEG (%s)", i,
                               Printable(decoded.error).c_str()));
        } else if (bytes.right(1024).lastIndexOf("\xFF\xD9") < 0) {
            // The decoder fills a cut-short picture with grey and goes on.
            report.Problem(Str("picture %" PRId32 ": cut short, no JPEG end marker", i));
        }
    }
    return scan.TableCount();
}

// The segment table's layout; -1 when it exists but cannot be read.
int CheckPosLayout(const QString& name, TReport& report) {
    const QString path = AccessPath(name);
    if (!FileExists(path)) {
        report.Note("segment table: none (" + Printable(name) + ")");
        return 0;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray head = file.read(4);
    const int64_t size = file.size();
    const std::string shown = Printable(name);
    if (head.size() < 4) {
        report.Problem(Str("segment table %s: %" PRId64 " bytes, too short to hold its record count",
                           shown.c_str(), size));
        return 0;
    }
    const int32_t n = qFromLittleEndian<int32_t>(head.constData());
    report.Note(Str("segment table: %s: %" PRId64 " bytes, %" PRId32 " records", shown.c_str(), size, n));
    if (n < 0 || n > ItemTableSize) {
        report.Problem(Str("segment table %s: record count %" PRId32 " outside 0 to 500", shown.c_str(), n));
    } else if (size != 4 + 24 * int64_t(n)) {
        report.Problem(Str("segment table %s: %" PRId64 " bytes, but %" PRId32 " records take %" PRId64,
                           shown.c_str(), size, n, 4 + 24 * int64_t(n)));
    }
    return 0;
}

void CheckRecords(int lines, int32_t positions, int32_t pictures, TReport& report) {
    std::vector<int> orphans;
    std::vector<int> oddFlags;
    for (int i = 0; i < ItemTableSize; ++i) {
        const TItemRec& rec = ItemTable[i];
        const bool hasSegment = rec.Flag != 0 || rec.Start != 0 || rec.Finish != 0;
        if (i >= lines && (hasSegment || rec.PicCount != 0)) orphans.push_back(i);
        if (rec.Flag != 0 && rec.Flag != 1) oddFlags.push_back(i);
        if (hasSegment) {
            if (rec.Finish < rec.Start) {
                report.Problem(
                    Str("line %d: Finish %" PRId32 " before Start %" PRId32, i, rec.Finish, rec.Start));
            }
            if (rec.Start < 0 || rec.Finish < 0) {
                report.Problem(Str("line %d: segment %" PRId32 "..%" PRId32 " reaches before 0", i, rec.Start,
                                   rec.Finish));
            } else if (OutsideRecording(rec.Start, rec.Finish, positions)) {
                report.Problem(Str("line %d: segment %" PRId32 "..%" PRId32
                                   " lies outside the recording (%" PRId32 " positions)",
                                   i, rec.Start, rec.Finish, positions));
            }
        }
        if (rec.PicCount < 0 || rec.PicCount > 5) {
            report.Problem(Str("line %d: picture count %d outside 0 to 5", i, int(rec.PicCount)));
        }
        const int attached = std::clamp<int>(rec.PicCount, 0, 5);
        for (int k = 0; k < attached; ++k) {
            if (rec.Pics[k] < 0 || rec.Pics[k] >= pictures) {
                report.Problem(Str("line %d: picture number %d outside the archive (%" PRId32 " pictures)", i,
                                   int(rec.Pics[k]), pictures));
            }
        }
    }
    if (!oddFlags.empty()) report.Problem("records with a Flag other than 0 or 1: " + RunList(oddFlags));
    if (!orphans.empty()) {
        report.Problem(Str("records %s hold segments or pictures, but the text has %d lines",
                           RunList(orphans).c_str(), lines));
    }
}

int RunCheck(const TArgs& args) {
    std::vector<std::string> positional;
    for (const std::string& a : args) {
        if (IsHelpOption(a)) {
            PrintCheckHelp();
            return 0;
        }
        if (IsOption(a)) return UsageError("check", "unknown option '" + a + "'", CheckUsage);
        positional.push_back(a);
    }
    if (positional.empty()) return UsageError("check", "missing PROJECT.txt", CheckUsage);
    if (positional.size() > 1)
        return UsageError("check", "unexpected argument '" + positional[1] + "'", CheckUsage);

    const QString textName = PathFromArg(positional[0]);
    TProjectText text;
    std::string error;
    if (!LoadProjectText(textName, text, error)) return Fail("check", error, 2);
    TReport report;
    const int lines = int(text.lines.size());
    report.Note(
        Str("text: %s: %d lines (%s)", positional[0].c_str(), lines, TextEncodingName(text.encoding)));
    if (lines > ItemTableSize) {
        report.Problem(Str("the text has %d lines; lines 500 to %d have no record", lines, lines - 1));
    }

    const QString txrName = CompanionName(textName, QStringLiteral("txr"));
    if (FileExists(AccessPath(txrName))) {
        TProjectText second;
        if (!LoadProjectText(txrName, second, error)) return Fail("check", error, 2);
        report.Note(Str("second text: %s: %lld lines (%s)", Printable(txrName).c_str(),
                        static_cast<long long>(second.lines.size()), TextEncodingName(second.encoding)));
    } else {
        report.Note("second text: none (" + Printable(txrName) + ")");
    }

    const QString mp3Name = CompanionName(textName, QStringLiteral("mp3"));
    const int32_t positions = CheckRecording(mp3Name, report);
    if (positions < 0) return Fail("check", "cannot read " + Printable(mp3Name), 2);

    const QString imsName = CompanionName(textName, QStringLiteral("ims"));
    const int32_t pictures = CheckArchive(imsName, report);
    if (pictures < 0) return Fail("check", "cannot read " + Printable(imsName), 2);

    const QString posName = CompanionName(textName, QStringLiteral("pos"));
    if (CheckPosLayout(posName, report) < 0 || !LoadSegmentTable(posName, error)) {
        return Fail("check", "cannot read " + Printable(posName), 2);
    }
    CheckRecords(lines, positions, pictures, report);

    if (report.Problems() == 0) {
        std::printf("no problems found\n");
    } else {
        std::printf("%d problem%s found\n", report.Problems(), report.Problems() == 1 ? "" : "s");
    }
    return report.Problems() == 0 ? 0 : 1;
}

}  // namespace

extern const TCommand CheckCommand;
const TCommand CheckCommand = {
    "check", "read every file of a project and report what is damaged or inconsistent", RunCheck};
