#pragma once
// Byte encodings of the project's text files, and the Windows-1251 code page they use when their
// bytes are not UTF-8.

#include <QByteArray>
#include <QString>

// The byte encoding a text file was loaded with; it is saved back in the same one. The three with
// a byte-order mark keep that mark in front of the text.
enum class TTextEncoding { Utf8, Windows1251, Utf8Bom, Utf16Le, Utf16Be };

// "UTF-8", "Windows-1251", "UTF-8 with byte-order mark", "UTF-16 LE", "UTF-16 BE".
const char* TextEncodingName(TTextEncoding encoding);

// What a text editor holds besides the text to save it back as the file it came from.
struct TTextFormat {
    TTextEncoding encoding = TTextEncoding::Utf8;
    // First of the stand-ins the editor shows for characters it would take for line breaks; 0 when
    // the text has none of them (ToEditorText).
    char16_t standInBase = 0;
};

// Every byte maps to one character and back: 0x98, which the code page leaves undefined, maps to
// U+0098 so that any byte sequence survives a load and a save.
QString DecodeWindows1251(const QByteArray& bytes);
// Characters outside the code page become '?'; FirstCharacterOutsideWindows1251 tells beforehand.
QByteArray EncodeWindows1251(const QString& text);
bool CanEncodeWindows1251(const QString& text);
// The first character (one or two UTF-16 units) the code page lacks, or -1 when there is none.
qsizetype FirstCharacterOutsideWindows1251(const QString& text);
