// sorvelle-cli align PROJECT.txt: segments for the project's lines found automatically in its
// recording, written to the segment table as the editor's Save writes it.
#include <unistd.h>

#include <QElapsedTimer>
#include <cstdio>
#include <memory>
#include <string>

#include "AlignProject.h"
#include "Aligner.h"
#include "CliSupport.h"
#include "Commands.h"
#include "EditorState.h"
#include "ProjectFiles.h"
#include "TMyPlayer0802.h"
#include "Timeline.h"

namespace {

const char* const AlignUsage =
    "usage: sorvelle-cli align PROJECT.txt [--language L] [--overwrite] [--lines A-B] [-o FILE.pos]";

void PrintAlignHelp() {
    std::printf(
        "%s\n\n"
        "Finds the segment of every line of PROJECT.txt in its recording PROJECT.mp3: each line is\n"
        "spoken by the eSpeak NG speech synthesizer, the synthesized speech is warped onto the\n"
        "recording, and each boundary is put into the recording's pause between two lines, with at\n"
        "most about 50 ms of silence around a line's speech. Speech before the first line (an intro,\n"
        "a title) and after the last is passed over.\n\n"
        "Every line among the first 500 that has text and no segment yet (Flag 0) is aligned;\n"
        "lines whose segment is set (Flag 1) keep it, and the alignment is fitted between them. An\n"
        "aligned line gets Flag 1 and its new Start and Finish; every other field of every record\n"
        "(pictures included) and the bytes of the segment table from offset 12004 on stay as they\n"
        "were. The table is replaced in one step, so a failed run leaves it untouched. Line numbers\n"
        "are 0-based, as the editor lists them.\n\n"
        "options:\n"
        "  --language L        the synthesizer's language or voice (en, ru, de, en-us, ...); by\n"
        "                      default ru when the text holds Cyrillic letters, otherwise en\n"
        "  --overwrite         align lines that have a segment too\n"
        "  --lines A-B         align only lines A to B (0-based, inclusive; A alone for one line)\n"
        "  -o FILE.pos, --output FILE.pos\n"
        "                      write the segment table to FILE.pos instead of PROJECT.pos\n"
        "  -h, --help          show this help\n\n"
        "Prints what was aligned and one line for each line of low confidence, to be checked by\n"
        "listening (\"line 17: confidence 0.31, check it\"); shows progress on stderr when that\n"
        "is a terminal.\n\n"
        "Exit status: 0 when the segment table was written; 1, with nothing written, when there is\n"
        "no recording, no MPEG audio stream in it, no line to align, no voice for the language, or\n"
        "the table cannot be written; 2 on a usage error or when PROJECT.txt or its segment table\n"
        "cannot be read.\n",
        AlignUsage);
}

struct TAlignArgs {
    std::string text;
    std::string language;
    std::string output;
    TAlignSelection selection;
};

bool ParseLineRange(const std::string& arg, TAlignSelection& s) {
    const size_t dash = arg.find('-');
    auto number = [](const std::string& t, int& out) {
        if (t.empty() || t.size() > 6 || t.find_first_not_of("0123456789") != std::string::npos) return false;
        out = std::stoi(t);
        return true;
    };
    if (dash == std::string::npos) {
        if (!number(arg, s.First)) return false;
        s.Last = s.First;
    } else if (!number(arg.substr(0, dash), s.First) || !number(arg.substr(dash + 1), s.Last)) {
        return false;
    }
    return s.First <= s.Last && s.Last < ItemTableSize;
}

// 0 when parsed, otherwise the exit code (help shown, or a usage error reported).
int ParseArgs(const TArgs& args, TAlignArgs& out, bool& help) {
    help = false;
    for (const std::string& a : args) {
        if (IsHelpOption(a)) {
            help = true;
            return 0;
        }
    }
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        if (a == "--overwrite") {
            out.selection.Overwrite = true;
        } else if (a == "--language") {
            if (!value(out.language) || out.language.empty())
                return UsageError("align", "--language needs a language", AlignUsage);
        } else if (a == "--lines") {
            std::string range;
            if (!value(range) || !ParseLineRange(range, out.selection))
                return UsageError("align", "--lines needs A-B with 0 <= A <= B <= 499", AlignUsage);
        } else if (a == "-o" || a == "--output") {
            if (!value(out.output) || out.output.empty())
                return UsageError("align", a + " needs a file name", AlignUsage);
        } else if (IsOption(a)) {
            return UsageError("align", "unknown option '" + a + "'", AlignUsage);
        } else if (out.text.empty()) {
            out.text = a;
        } else {
            return UsageError("align", "unexpected argument '" + a + "'", AlignUsage);
        }
    }
    if (out.text.empty()) return UsageError("align", "missing PROJECT.txt", AlignUsage);
    return 0;
}

int RunAlign(const TArgs& args) {
    TAlignArgs a;
    bool help = false;
    if (const int code = ParseArgs(args, a, help); code != 0 || help) {
        if (help) PrintAlignHelp();
        return code;
    }
    const QString textName = PathFromArg(a.text);
    TProjectText text;
    std::string error;
    if (!LoadProjectText(textName, text, error)) return Fail("align", error, 2);
    const QString posName = CompanionName(textName, QStringLiteral("pos"));
    const QString outName = a.output.empty() ? posName : PathFromArg(a.output);
    const QString recordingName = CompanionName(textName, QStringLiteral("mp3"));
    if (!LoadSegmentTable(posName, error)) return Fail("align", error + "; nothing written", 2);

    if (!FileExists(recordingName))
        return Fail("align", "no recording " + Printable(recordingName) + "; nothing written", 1);
    // About 9 MiB of fixed buffers: too large for the stack.
    auto player = std::make_unique<TMyPlayer0802>();
    player->FileName = recordingName;
    if (!player->Open())
        return Fail("align", "no MPEG audio stream in " + Printable(recordingName) + "; nothing written", 1);
    int16_t* samples = nullptr;
    int32_t sampleCount = 0;
    player->Decode(&samples, nullptr, &sampleCount);
    const TSamplesOwner owner(samples);
    if (!samples || sampleCount <= 0)
        return Fail("align", "no MPEG audio stream in " + Printable(recordingName) + "; nothing written", 1);

    TAlignRequest request =
        MakeProjectRequest(text.lines, ItemTable, samples, sampleCount, a.selection, a.language);
    const bool terminal = isatty(STDERR_FILENO) == 1;
    int shown = -1;
    auto progress = [&](int done, int total) {
        const int percent = total > 0 ? done * 100 / total : 0;
        if (!terminal || percent == shown) return;
        shown = percent;
        std::fprintf(stderr, "\raligning: %3d%%", percent);
        std::fflush(stderr);
    };
    QElapsedTimer timer;
    timer.start();
    const TAlignResult result = AlignLines(request, progress);
    if (terminal && shown >= 0) std::fprintf(stderr, "\r               \r");
    switch (result.Status) {
        case TAlignStatus::Ok:
            break;
        case TAlignStatus::NoRecording:
            return Fail("align", "the recording " + Printable(recordingName) + " is empty; nothing written",
                        1);
        case TAlignStatus::NoLines:
            return Fail("align", "no line to align (every line is empty or has a segment); nothing written",
                        1);
        case TAlignStatus::NoVoice:
            return Fail("align",
                        "no speech synthesizer voice for language '" + result.Voice + "'; nothing written",
                        1);
        case TAlignStatus::Cancelled:
            return Fail("align", "cancelled; nothing written", 1);
    }
    const TAlignOutcome outcome = ApplyAlignment(result, ItemTable);
    if (!WritePosFile(outName)) return Fail("align", "cannot write " + Printable(outName), 1);

    std::printf("%s\n", Printable(AlignSummary(outcome)).c_str());
    std::printf("voice %s, %.1f s; segment table written to %s\n", result.Voice.c_str(),
                double(timer.elapsed()) / 1000.0, Printable(outName).c_str());
    for (int line : outcome.LowConfidence) {
        std::printf("line %d: confidence %.2f, check it\n", line,
                    double(result.Lines[size_t(line)].Confidence));
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

extern const TCommand AlignCommand;
const TCommand AlignCommand = {"align", "find the lines' segments in the recording automatically", RunAlign};
