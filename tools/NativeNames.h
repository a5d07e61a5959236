#pragma once
// File names as the system holds them: bytes. Qt takes and gives file names as UTF-8 on this
// system, so a name whose bytes are not UTF-8 (a Windows-1251 name unpacked from an old archive)
// turns into U+FFFD through QFile::decodeName and names no file any more. sorvelle-cli carries such
// a name in a QString that keeps every byte (a byte outside valid UTF-8 as the lone surrogate
// U+DC00 + byte, which no valid UTF-8 decodes to), prints it as its own bytes, and reaches the
// file through /proc/self/fd where Qt cannot spell the name.

#include <QByteArray>
#include <QString>
#include <functional>

// Bytes of a file name to the name sorvelle-cli carries; valid UTF-8 gives QFile::decodeName's
// result.
QString NameFromNative(const QByteArray& bytes);
// The bytes the name stands for: QFile::encodeName of a name without carried bytes.
QByteArray NativeFromName(const QString& name);

enum class TFileKind { Missing, File, Folder, Other };
TFileKind KindOf(const QString& name);

// A path that Qt's file classes open as the file of that name. Empty (which names no file) when
// the name cannot be reached: a folder that cannot be opened, or a file whose own name Qt cannot
// spell and which does not exist.
QString AccessPath(const QString& name);

// Writes the file of that name with write, which is given a path Qt can write and create and
// which writes that path whole (a QSaveFile). When Qt cannot spell the file's own name, the file
// is written under a temporary name in the same folder, starting as a copy of the existing file
// (a writer may keep bytes of it), and then renamed over it. False when any step fails; the file
// then stays as it was.
bool WriteNamedFile(const QString& name, const std::function<bool(const QString& path)>& write);

// True when the two names are the same file: the same inode when both exist, otherwise the same
// name in the same folder.
bool SameFile(const QString& a, const QString& b);
