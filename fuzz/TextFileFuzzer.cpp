// A text file of any bytes: load, save, load again. Saved in the encoding it was read with, the
// file must hold the loaded bytes with only the line breaks made CR LF (in UTF-16 units for
// UTF-16), without any question, and the second load must give the same text and encoding. The
// text the editor holds for it must have no character the editor takes for a line break and give
// the text back. A character typed into the loaded text must survive a save and a load as well,
// once the user has answered "Save as UTF-8" where the save asks.

#include <QFile>
#include <QtEndian>

#include "FuzzSupport.h"
#include "ProjectFiles.h"

namespace {

// Each CR LF, lone CR and lone LF made CR LF: in bytes, or in UTF-16 units behind the mark.
QByteArray WithCrLf(const uint8_t* data, size_t size, TTextEncoding encoding) {
    const bool utf16 = encoding == TTextEncoding::Utf16Le || encoding == TTextEncoding::Utf16Be;
    if (!utf16) {
        QByteArray out;
        for (size_t i = 0; i < size; ++i) {
            if (data[i] == '\r' || data[i] == '\n') {
                if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n') ++i;
                out.append("\r\n");
            } else {
                out.append(static_cast<char>(data[i]));
            }
        }
        return out;
    }
    const bool bigEndian = encoding == TTextEncoding::Utf16Be;
    const auto unit = [&](size_t i) {
        return bigEndian ? qFromBigEndian<char16_t>(data + i) : qFromLittleEndian<char16_t>(data + i);
    };
    const QByteArray crlf = bigEndian ? QByteArray("\0\r\0\n", 4) : QByteArray("\r\0\n\0", 4);
    QByteArray out(reinterpret_cast<const char*>(data), 2);  // the byte-order mark
    for (size_t i = 2; i + 1 < size; i += 2) {
        const char16_t u = unit(i);
        if (u == u'\r' || u == u'\n') {
            if (u == u'\r' && i + 3 < size && unit(i + 2) == u'\n') i += 2;
            out.append(crlf);
        } else {
            out.append(reinterpret_cast<const char*>(data + i), 2);
        }
    }
    return out;
}

// A character a user can type or paste into an editor line: no line break, no surrogate half.
bool Typeable(char16_t c) { return c != u'\r' && c != u'\n' && !(c >= 0xD800 && c <= 0xDFFF); }

bool HoldsEditorBreak(const QString& text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == 0x2028 || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString source = ScratchPath("project.txt");
    static const QString saved = ScratchPath("saved.txt");
    WriteScratch(source, data, size);

    const TLoadedText loaded = LoadTextFile(source);
    const TTextSavePlan plan = PlanTextSave(loaded.text, loaded.encoding);
    const QByteArray expected = WithCrLf(data, size, loaded.encoding);
    if (plan.problem != TSaveProblem::None) {
        // Only new line breaks can make Windows-1251 bytes read as something else: an odd number of
        // bytes behind "яю" that becomes even, say.
        FUZZ_CHECK(loaded.encoding == TTextEncoding::Windows1251);
        FUZZ_CHECK(plan.problem == TSaveProblem::ReadsBackDifferently);
        FUZZ_CHECK(expected != QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    } else {
        FUZZ_CHECK(plan.encoding == loaded.encoding);
        SaveTextFile(saved, plan.bytes);
        FUZZ_CHECK(ReadScratch(saved) == expected);
        const TLoadedText again = LoadTextFile(saved);
        FUZZ_CHECK(again.text == loaded.text);
        FUZZ_CHECK(again.encoding == loaded.encoding || loaded.encoding == TTextEncoding::Windows1251);
    }

    TTextFormat format{loaded.encoding, 0};
    const QString held = ToEditorText(loaded.text, format);
    FUZZ_CHECK(format.standInBase == 0 ? held == loaded.text : !HoldsEditorBreak(held));
    FUZZ_CHECK(FromEditorText(held, format) == loaded.text);

    if (size >= 2) {
        const char16_t typed = static_cast<char16_t>(data[0] | (data[1] << 8));
        if (Typeable(typed)) {
            const QString edited = QString(QChar(typed)) + loaded.text;
            TTextSavePlan editedPlan = PlanTextSave(edited, loaded.encoding);
            if (editedPlan.problem != TSaveProblem::None)
                editedPlan = PlanTextSave(edited, TTextEncoding::Utf8);
            FUZZ_CHECK(editedPlan.problem == TSaveProblem::None);
            SaveTextFile(saved, editedPlan.bytes);
            const TLoadedText reloaded = LoadTextFile(saved);
            FUZZ_CHECK(reloaded.text == edited);
        }
    }
    QFile::remove(saved);
    return 0;
}
