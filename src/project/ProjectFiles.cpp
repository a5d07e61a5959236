#include "ProjectFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QtEndian>
#include <algorithm>

#include "EditorState.h"
#include "FileError.h"
#include "SafeSave.h"

QString CompanionName(const QString& textName, const QString& ext) {
    return textName.left(std::max<qsizetype>(0, textName.size() - 3)) + ext;
}

bool FileExists(const QString& name) { return !name.isEmpty() && QFileInfo(name).isFile(); }

namespace {

// Every CR LF, lone CR and lone LF becomes CR LF; CR and LF are the same bytes in both encodings.
QByteArray NormalizeLineBreaks(const QByteArray& bytes) {
    const char* in = bytes.constData();
    const qsizetype n = bytes.size();
    QByteArray out(2 * n, Qt::Uninitialized);  // every byte a lone break at most
    char* o = out.data();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = in[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < n && in[i + 1] == '\n') ++i;
            *o++ = '\r';
            *o++ = '\n';
        } else {
            *o++ = c;
        }
    }
    out.truncate(o - out.constData());
    return out;
}

// Characters a text editor turns into line breaks: such a text would not save back as it came.
bool HoldsBlockSeparators(const QString& text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == 0x2029 || u == 0xFDD0 || u == 0xFDD1) return true;
    }
    return false;
}

// Strict UTF-8: shortest forms only, no surrogates, nothing beyond U+10FFFF. Such bytes and
// their decoded text convert into each other exactly.
bool IsStrictUtf8(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const unsigned char* const end = p + bytes.size();
    while (p < end) {
        const unsigned c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int length = 0;
        unsigned code = 0;
        unsigned least = 0;
        if ((c & 0xE0) == 0xC0) {
            length = 2, code = c & 0x1F, least = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3, code = c & 0x0F, least = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4, code = c & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (end - p < length) return false;
        for (int k = 1; k < length; ++k) {
            if ((p[k] & 0xC0) != 0x80) return false;
            code = (code << 6) | (p[k] & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        p += length;
    }
    return true;
}

// The text of strict UTF-8 bytes that a text editor can hold as they are (a byte-order mark
// stays a character), or nothing.
bool DecodeUtf8(const QByteArray& bytes, QString& text) {
    if (!IsStrictUtf8(bytes)) return false;
    // QString::fromUtf8 would drop a leading byte-order mark.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    text = decoder.decode(bytes);
    return !decoder.hasError() && !HoldsBlockSeparators(text);
}

// Reads as many bytes as the field holds, or fewer at the end of the file; the bytes read
// replace the field's low-order bytes. False once the file has no more bytes.
template <typename T>
bool ReadField(QFile& file, T& field) {
    unsigned char bytes[sizeof(T)];
    qToLittleEndian<T>(field, bytes);
    const qint64 got = file.read(reinterpret_cast<char*>(bytes), qint64(sizeof(T)));
    if (got <= 0) return false;
    field = qFromLittleEndian<T>(bytes);
    return got == qint64(sizeof(T));
}

void PutInt32(char* at, int32_t v) { qToLittleEndian<int32_t>(v, at); }
void PutInt16(char* at, int16_t v) { qToLittleEndian<int16_t>(v, at); }

}  // namespace

TLoadedText DecodeText(const QByteArray& bytes) {
    const QByteArray normalized = NormalizeLineBreaks(bytes);
    TLoadedText loaded;
    if (DecodeUtf8(normalized, loaded.text)) {
        loaded.encoding = TTextEncoding::Utf8;
    } else {
        loaded.text = DecodeWindows1251(normalized);
        loaded.encoding = TTextEncoding::Windows1251;
    }
    return loaded;
}

QByteArray EncodeText(const QString& text, TTextEncoding encoding) {
    if (encoding == TTextEncoding::Windows1251) return EncodeWindows1251(text);
    return text.toUtf8();
}

TTextEncoding EncodingFor(const QString& text, TTextEncoding loadedWith) {
    if (loadedWith == TTextEncoding::Windows1251 && !CanEncodeWindows1251(text)) return TTextEncoding::Utf8;
    return loadedWith;
}

TLoadedText LoadTextFile(const QString& path) {
    QFile file(path);
    const QString failure = QStringLiteral("Cannot open file %1").arg(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) throw EFileError(failure);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) throw EFileError(failure);
    return DecodeText(bytes);
}

void SaveTextFile(const QString& path, const QByteArray& bytes) {
    if (!SaveFileSafely(path, bytes)) throw EFileError(QStringLiteral("Cannot create file %1").arg(path));
}

void SaveTextFile(const QString& path, const QString& text, TTextEncoding encoding) {
    SaveTextFile(path, EncodeText(text, encoding));
}

void ReadPosFile(const QString& path) {
    if (!FileExists(path)) return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;
    int32_t fileCount = 0;
    if (!ReadField(file, fileCount)) return;
    const int32_t count = std::min(fileCount, std::min<int32_t>(EditorState.MaxItems, ItemTableSize));
    for (int32_t i = 0; i < count; ++i) {
        TItemRec& rec = ItemTable[i];
        if (!ReadField(file, rec.Flag) || !ReadField(file, rec.Start) || !ReadField(file, rec.Finish)) return;
    }
    // Table B begins behind all of the file's table A; for a file of more records than the table
    // holds that is further on than where reading stopped.
    if (fileCount > count && !file.seek(4 + 12 * qint64(fileCount))) return;
    for (int32_t i = 0; i < count; ++i) {
        TItemRec& rec = ItemTable[i];
        if (!ReadField(file, rec.PicCount)) return;
        for (int16_t& pic : rec.Pics) {
            if (!ReadField(file, pic)) return;
        }
    }
}

bool WritePosFile(const QString& path) {
    if (path.isEmpty()) return false;
    const int32_t count = std::clamp<int32_t>(EditorState.MaxItems, 0, ItemTableSize);
    QByteArray layout(4 + 24 * qsizetype(count), Qt::Uninitialized);
    PutInt32(layout.data(), count);
    char* recordA = layout.data() + 4;
    char* recordB = layout.data() + 4 + 12 * qsizetype(count);
    for (int32_t i = 0; i < count; ++i) {
        const TItemRec& rec = ItemTable[i];
        PutInt32(recordA, rec.Flag);
        PutInt32(recordA + 4, rec.Start);
        PutInt32(recordA + 8, rec.Finish);
        recordA += 12;
        PutInt16(recordB, rec.PicCount);
        for (int k = 0; k < 5; ++k) PutInt16(recordB + 2 + 2 * k, rec.Pics[k]);
        recordB += 12;
    }
    // A longer file keeps its bytes from 12004 on; one that can be written but not read is
    // written in place, and so keeps them too.
    return SaveFileSafely(path, layout, TOldTail::Keep);
}
