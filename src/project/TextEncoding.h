#pragma once
// Byte encodings of the project's text files, and the Windows-1251 code page they use when their
// bytes are not UTF-8.

#include <QByteArray>
#include <QString>

// The byte encoding a text file was loaded with; it is saved back in the same one.
enum class TTextEncoding { Utf8, Windows1251 };

// Every byte maps to one character and back: 0x98, which the code page leaves undefined, maps to
// U+0098 so that any byte sequence survives a load and a save.
QString DecodeWindows1251(const QByteArray& bytes);
// Characters outside the code page become '?'; CanEncodeWindows1251 tells beforehand.
QByteArray EncodeWindows1251(const QString& text);
bool CanEncodeWindows1251(const QString& text);
