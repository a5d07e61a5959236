#include "TextFile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <array>

#include "FileError.h"
#include "SafeSave.h"

namespace {

constexpr char Utf8Mark[] = "\xEF\xBB\xBF";
constexpr char Utf16LeMark[] = "\xFF\xFE";
constexpr char Utf16BeMark[] = "\xFE\xFF";

// The characters a text editor takes for line or block breaks inside a line, in the order of
// their stand-ins.
constexpr std::array<char16_t, 4> EditorBreaks = {0x2028, 0x2029, 0xFDD0, 0xFDD1};
constexpr char16_t PrivateUseFirst = 0xE000;
constexpr char16_t PrivateUseLast = 0xF8FF;

// Every CR LF, lone CR and lone LF becomes CR LF.
QString NormalizeLineBreaks(const QString& text) {
    const QChar* in = text.constData();
    const qsizetype n = text.size();
    QString out(2 * n, Qt::Uninitialized);  // every character a lone break at most
    QChar* o = out.data();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = in[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && in[i + 1] == u'\n') ++i;
            *o++ = u'\r';
            *o++ = u'\n';
        } else {
            *o++ = c;
        }
    }
    out.truncate(o - out.constData());
    return out;
}

// Strict UTF-8 (shortest forms only, no surrogates, nothing beyond U+10FFFF) to text; false for
// any other bytes. Such bytes and their text convert into each other exactly.
bool DecodeStrictUtf8(const char* data, qsizetype size, QString& text) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const unsigned char* const end = p + size;
    text.resize(size);  // never more units than bytes
    QChar* out = text.data();
    while (p < end) {
        const unsigned lead = *p;
        if (lead < 0x80) {
            *out++ = QChar(char16_t(lead));
            ++p;
            continue;
        }
        int length = 0;
        char32_t code = 0;
        char32_t least = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2, code = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, code = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, code = lead & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (end - p < length) return false;
        for (int k = 1; k < length; ++k) {
            if ((p[k] & 0xC0) != 0x80) return false;
            code = (code << 6) | (p[k] & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        if (code >= 0x10000) {
            *out++ = QChar(QChar::highSurrogate(code));
            *out++ = QChar(QChar::lowSurrogate(code));
        } else {
            *out++ = QChar(char16_t(code));
        }
        p += length;
    }
    text.truncate(out - text.constData());
    return true;
}

// Every code unit as it stands, unpaired surrogates included, so that any even number of bytes
// comes back unchanged.
QString DecodeUtf16(const char* data, qsizetype size, bool bigEndian) {
    QString text(size / 2, Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i + 1 < size; i += 2) {
        const char16_t unit =
            bigEndian ? qFromBigEndian<char16_t>(data + i) : qFromLittleEndian<char16_t>(data + i);
        *out++ = QChar(unit);
    }
    return text;
}

QByteArray EncodeUtf16(const QString& text, bool bigEndian) {
    QByteArray bytes(bigEndian ? Utf16BeMark : Utf16LeMark, 2);
    bytes.resize(2 + 2 * text.size());
    char* out = bytes.data() + 2;
    for (QChar c : text) {
        if (bigEndian)
            qToBigEndian<char16_t>(c.unicode(), out);
        else
            qToLittleEndian<char16_t>(c.unicode(), out);
        out += 2;
    }
    return bytes;
}

// The text and encoding of the bytes, line breaks as the file has them.
TLoadedText DecodeBytes(const QByteArray& bytes) {
    TLoadedText loaded;
    const qsizetype size = bytes.size();
    if (bytes.startsWith(Utf8Mark) && DecodeStrictUtf8(bytes.constData() + 3, size - 3, loaded.text)) {
        loaded.encoding = TTextEncoding::Utf8Bom;
    } else if (size % 2 == 0 && (bytes.startsWith(Utf16LeMark) || bytes.startsWith(Utf16BeMark))) {
        const bool bigEndian = bytes.startsWith(Utf16BeMark);
        loaded.text = DecodeUtf16(bytes.constData() + 2, size - 2, bigEndian);
        loaded.encoding = bigEndian ? TTextEncoding::Utf16Be : TTextEncoding::Utf16Le;
    } else if (DecodeStrictUtf8(bytes.constData(), size, loaded.text)) {
        loaded.encoding = TTextEncoding::Utf8;
    } else {
        loaded.text = DecodeWindows1251(bytes);
        loaded.encoding = TTextEncoding::Windows1251;
    }
    return loaded;
}

[[noreturn]] void CannotOpen(const QString& path) {
    throw EFileError(QStringLiteral("Cannot open file %1").arg(path));
}

// The file's bytes; maxBytes limits what is read, and a larger file throws tooLarge instead.
QByteArray ReadTextBytes(const QString& path, qint64 maxBytes, const QString& tooLarge) {
    // A device or a pipe is no text: reading one may never end.
    if (path.isEmpty() || !QFileInfo(path).isFile()) CannotOpen(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) CannotOpen(path);
    if (maxBytes >= 0 && file.size() > maxBytes) throw EFileError(tooLarge);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) CannotOpen(path);
    return bytes;
}

}  // namespace

TLoadedText DecodeText(const QByteArray& bytes) {
    TLoadedText loaded = DecodeBytes(bytes);
    loaded.text = NormalizeLineBreaks(loaded.text);
    return loaded;
}

QByteArray EncodeText(const QString& text, TTextEncoding encoding) {
    switch (encoding) {
        case TTextEncoding::Windows1251:
            return EncodeWindows1251(text);
        case TTextEncoding::Utf8Bom:
            return QByteArray(Utf8Mark) + text.toUtf8();
        case TTextEncoding::Utf16Le:
            return EncodeUtf16(text, false);
        case TTextEncoding::Utf16Be:
            return EncodeUtf16(text, true);
        case TTextEncoding::Utf8:
            break;
    }
    return text.toUtf8();
}

TTextSavePlan PlanTextSave(const QString& text, TTextEncoding encoding) {
    TTextSavePlan plan;
    plan.encoding = encoding;
    if (encoding == TTextEncoding::Windows1251) {
        const qsizetype missing = FirstCharacterOutsideWindows1251(text);
        if (missing >= 0) {
            const bool pair = text[missing].isHighSurrogate() && missing + 1 < text.size() &&
                              text[missing + 1].isLowSurrogate();
            plan.problem = TSaveProblem::MissingCharacter;
            plan.missing = text.mid(missing, pair ? 2 : 1);
            return plan;
        }
    }
    if (encoding == TTextEncoding::Utf8 && text.startsWith(QChar(0xFEFF)))
        plan.encoding = TTextEncoding::Utf8Bom;
    plan.bytes = EncodeText(text, plan.encoding);
    // Windows-1251 bytes may also be valid UTF-8, or begin like a byte-order mark. The other
    // encodings are read back as what they are.
    if (encoding == TTextEncoding::Windows1251 && DecodeText(plan.bytes).text != text)
        plan.problem = TSaveProblem::ReadsBackDifferently;
    return plan;
}

TLoadedText LoadTextFile(const QString& path) { return DecodeText(ReadTextBytes(path, -1, QString())); }

TLoadedText LoadMemoText(const QString& path) {
    const QString tooLarge = QStringLiteral("Text exceeds memo capacity");
    // No encoding takes more than three bytes for a character (four for two), so a file of more
    // bytes than that holds more characters than the editor takes.
    const TLoadedText loaded = DecodeText(ReadTextBytes(path, 3 * MemoCapacity + 3, tooLarge));
    if (loaded.text.size() > MemoCapacity) throw EFileError(tooLarge);
    return loaded;
}

void SaveTextFile(const QString& path, const QByteArray& bytes) {
    if (!SaveFileSafely(path, bytes)) throw EFileError(QStringLiteral("Cannot create file %1").arg(path));
}

void SaveTextFile(const QString& path, const QString& text, TTextEncoding encoding) {
    SaveTextFile(path, EncodeText(text, encoding));
}

QString ToEditorText(const QString& text, TTextFormat& format) {
    format.standInBase = 0;
    bool hasBreaks = false;
    // Which blocks of four Private Use Area characters the text uses.
    std::array<bool, (PrivateUseLast - PrivateUseFirst + 1) / 4> used{};
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= PrivateUseFirst && u <= PrivateUseLast) used[size_t((u - PrivateUseFirst) / 4)] = true;
        for (char16_t b : EditorBreaks) hasBreaks = hasBreaks || u == b;
    }
    if (!hasBreaks) return text;
    size_t block = 0;
    while (block < used.size() && used[block]) ++block;
    // A text that uses every one of them (none does but by design) keeps its characters, and
    // the editor splits its lines.
    if (block == used.size()) return text;
    format.standInBase = char16_t(PrivateUseFirst + 4 * block);
    QString held = text;
    for (QChar& c : held) {
        for (size_t k = 0; k < EditorBreaks.size(); ++k) {
            if (c.unicode() == EditorBreaks[k]) c = QChar(char16_t(format.standInBase + k));
        }
    }
    return held;
}

QString FromEditorText(const QString& editorText, const TTextFormat& format) {
    if (format.standInBase == 0) return editorText;
    QString text = editorText;
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u >= format.standInBase && u < format.standInBase + EditorBreaks.size())
            c = QChar(EditorBreaks[size_t(u - format.standInBase)]);
    }
    return text;
}
