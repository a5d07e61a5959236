#pragma once
// The files of a project: a text chosen by the user and companions named stem + three letters,
// where the stem is the chosen path without its last three characters.

#include <QString>

#include "TextFile.h"

// stem + ext; a name of three characters or fewer gives an empty stem.
QString CompanionName(const QString& textName, const QString& ext);

// True when a file (not a folder) of that name exists.
bool FileExists(const QString& name);

// Size of a segment table as Save writes it: N, then tables A and B of MaxItems records.
inline constexpr qint64 PosFileSize = 4 + 12 * 500 + 12 * 500;

// Reads a segment table into ItemTable as far as the file goes; a file that cannot be read
// changes nothing. N is cut to MaxItems; table B is read from where the file's N puts it.
void ReadPosFile(const QString& path);
// Writes MaxItems records of ItemTable with SaveFileSafely, keeping the file's bytes from offset
// 12004 on; false when the file could not be written (the previous file then stays as it was).
bool WritePosFile(const QString& path);
