#pragma once
// Writing a file's new content so that a failure never destroys the old one.
//
// The usual way is a temporary file in the folder of the file, written whole, flushed to disk and
// renamed over the old file in one step; it takes the old file's permission bits, and its owner
// and group where the process may set them. Where a rename would do harm or cannot be done, the
// file is written in place instead:
//   - a file with more than one hard link (a rename would cut the other names off);
//   - a file in a folder that cannot be written, or a file that can be written but not read.
// In place, the bytes the write overwrites are read first where the file can be read, and put back
// if the write fails. A symbolic link stays a link: its target gets the new content, by the same
// rules, in the target's folder. Anything that is not a regular file (a device, a pipe, a folder)
// is never written or replaced.

#include <QByteArray>
#include <QString>

enum class TOldTail {
    Drop,  // the file becomes exactly the new bytes
    Keep,  // the old file's bytes from the new bytes' length on stay behind them
};

// False when the file could not be written; the old file (or its absence) then stays as it was
// and no temporary file is left behind. Safe to call on any thread.
bool SaveFileSafely(const QString& path, const QByteArray& bytes, TOldTail tail = TOldTail::Drop);
