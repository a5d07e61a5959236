#pragma once
// The picture archive: a 2008-byte header (format word, count N, 500 sizes, all int32 little-endian),
// then the bytes of N JPEG files back to back. It is open, read and written in place and locked
// against other programs from OpenArchive until CloseArchive. All operations work on EditorState
// and PictureTable, on the GUI thread.

#include <QSize>
#include <QString>
#include <cstdint>

#include "ArchiveScan.h"

// Decoded pictures together take no more than this many bytes (500 camera photos decoded for the
// strip take about 280 MiB); a picture beyond it is not shown.
inline constexpr qint64 PictureMemoryBudget = 1024LL * 1024 * 1024;

// The size every picture must still cover when decoded (PictureDecodeSize of the screens' pixel
// ratio); the window tells it before it opens or adds pictures. An invalid size means 1.0.
void SetPictureDecodeSize(QSize size);
QSize CurrentPictureDecodeSize();
// Tests lower the budget to reach it with a few small pictures.
void SetPictureMemoryBudget(qint64 bytes);

// Closes an open archive first. Opens ArchiveName read-write if it exists, otherwise creates it
// as an empty archive (1, 0, 500 zeros). An archive locked by another window is opened for
// reading only (ArchiveReadOnly). ArchiveFile becomes -1 when the file cannot be opened or
// created, or is not a regular file; PictureCount is then 0 and PictureTable empty, so no earlier
// project's pictures stay on show. Nothing is reported.
void OpenArchive();

// True while the open archive is open for reading only: AppendPicture refuses to add to it.
bool ArchiveReadOnly();
// Opens the open archive again for reading only and releases its lock, for a project that is open
// in another window; the pictures are loaded again by the next LoadPictures.
void MakeArchiveReadOnly();

// Appends a JPEG file as picture N: its size at 8 + 4N, its bytes behind the last picture, the
// count last. Does nothing without an open archive or with 500 pictures. Throws EFileError, with
// the archive unchanged, when the archive is open for reading only, when the file cannot be read,
// is larger than MaxPictureFileBytes or does not decode as a JPEG, when the pictures would exceed
// the memory budget, or when the archive is damaged or cannot be written (a write that fails half
// way is undone).
void AppendPicture(const QString& pictureFileName);

// Reads N into PictureCount and fills slots 0 .. N - 1 of PictureTable; slots from N on are
// emptied. Pictures already decoded from the same place of the open archive are kept, so after
// an addition only the new picture costs anything. A picture that cannot be decoded (damaged, not
// a JPEG, outside the file, beyond the decoder's limits or beyond the memory budget) leaves its
// slot empty; after all others are loaded one EFileError names every such picture found by this
// call. No picture's bytes are read before its extent, size and start marker are checked.
void LoadPictures();

// Closes the archive (releasing its lock) when one is open; ArchiveFile becomes -1. The pictures
// stay in PictureTable. Called when the window closes.
void CloseArchive();
