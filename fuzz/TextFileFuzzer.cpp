// A text file of any bytes: load, save, load again. The saved file must hold the loaded bytes with
// only the line breaks made CR LF, and the second load must give the same text and encoding. A
// character typed into the loaded text must survive a save and a load as well.

#include <QFile>

#include "FuzzSupport.h"
#include "ProjectFiles.h"

namespace {

QByteArray WithCrLf(const uint8_t* data, size_t size) {
    QByteArray out;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\r') {
            if (i + 1 < size && data[i + 1] == '\n') ++i;
            out.append("\r\n");
        } else if (data[i] == '\n') {
            out.append("\r\n");
        } else {
            out.append(static_cast<char>(data[i]));
        }
    }
    return out;
}

// A character a user can type or paste into an editor line: no line break, no surrogate half, no
// character an editor takes for a block boundary.
bool Typeable(char16_t c) {
    return c != u'\r' && c != u'\n' && !(c >= 0xD800 && c <= 0xDFFF) && c != 0x2028 && c != 0x2029 &&
           c != 0xFDD0 && c != 0xFDD1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString source = ScratchPath("project.txt");
    static const QString saved = ScratchPath("saved.txt");
    WriteScratch(source, data, size);

    const TLoadedText loaded = LoadTextFile(source);
    FUZZ_CHECK(EncodingFor(loaded.text, loaded.encoding) == loaded.encoding);
    SaveTextFile(saved, loaded.text, loaded.encoding);
    FUZZ_CHECK(ReadScratch(saved) == WithCrLf(data, size));
    const TLoadedText again = LoadTextFile(saved);
    FUZZ_CHECK(again.text == loaded.text);
    FUZZ_CHECK(again.encoding == loaded.encoding);

    if (size >= 2) {
        const char16_t typed = static_cast<char16_t>(data[0] | (data[1] << 8));
        // A Windows-1251 letter typed in front of bytes that were not UTF-8 can make them UTF-8
        // (0xD1 0x81 is both "СЃ" and "с"); which one the user meant no loader can tell.
        const bool ambiguous = loaded.encoding == TTextEncoding::Windows1251 && typed >= 0x80 &&
                               CanEncodeWindows1251(QString(QChar(typed)));
        if (Typeable(typed) && !ambiguous) {
            const QString edited = QString(QChar(typed)) + loaded.text;
            const TTextEncoding encoding = EncodingFor(edited, loaded.encoding);
            SaveTextFile(saved, edited, encoding);
            const TLoadedText reloaded = LoadTextFile(saved);
            FUZZ_CHECK(reloaded.text == edited);
        }
    }
    QFile::remove(saved);
    return 0;
}
