#pragma once
// The files of a project: a text chosen by the user and companions named stem + three letters,
// where the stem is the chosen path without its last three characters.

#include <QByteArray>
#include <QString>

#include "TextEncoding.h"

// stem + ext; a name of three characters or fewer gives an empty stem.
QString CompanionName(const QString& textName, const QString& ext);

// True when a file (not a folder) of that name exists.
bool FileExists(const QString& name);

struct TLoadedText {
    QString text;  // every line break is "\r\n"
    TTextEncoding encoding;
};

// Bytes to text: UTF-8 when the bytes are valid UTF-8, Windows-1251 otherwise; every CR LF, lone
// CR and lone LF becomes one CR LF. EncodeText of the result gives the bytes back, line breaks aside.
TLoadedText DecodeText(const QByteArray& bytes);
QByteArray EncodeText(const QString& text, TTextEncoding encoding);
// The encoding a text is saved in: the one it was loaded with, unless that cannot hold every
// character of it (a character typed into a Windows-1251 text that the code page lacks); then
// UTF-8, so nothing typed is lost.
TTextEncoding EncodingFor(const QString& text, TTextEncoding loadedWith);

// Throws EFileError "Cannot open file %s".
TLoadedText LoadTextFile(const QString& path);
// Writes the file safely (SaveFileSafely); throws EFileError "Cannot create file %s" and leaves
// any previous file untouched when that fails.
void SaveTextFile(const QString& path, const QByteArray& bytes);
void SaveTextFile(const QString& path, const QString& text, TTextEncoding encoding);

// Size of a segment table as Save writes it: N, then tables A and B of MaxItems records.
inline constexpr qint64 PosFileSize = 4 + 12 * 500 + 12 * 500;

// Reads a segment table into ItemTable as far as the file goes; a file that cannot be read
// changes nothing. N is cut to MaxItems; table B is read from where the file's N puts it.
void ReadPosFile(const QString& path);
// Writes MaxItems records of ItemTable with SaveFileSafely, keeping the file's bytes from offset
// 12004 on; false when the file could not be written (the previous file then stays as it was).
bool WritePosFile(const QString& path);
