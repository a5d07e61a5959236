#pragma once
// The picture archive: a 2008-byte header (format word, count N, 500 sizes, all int32 little-endian),
// then the bytes of N JPEG files back to back. It is open, read and written in place and locked
// against other programs from OpenArchive until CloseArchive. All operations work on EditorState
// and PictureTable, on the GUI thread.

#include <QString>
#include <cstdint>

inline constexpr int ArchiveHeaderSize = 2008;
inline constexpr int ArchiveMaxPictures = 500;

// Closes an open archive first. Opens ArchiveName read-write if it exists, otherwise creates it
// as an empty archive (1, 0, 500 zeros). ArchiveFile becomes -1 when the file cannot be opened,
// created or locked; PictureCount is then 0 and PictureTable empty, so no earlier project's
// pictures stay on show. Nothing is reported.
void OpenArchive();

// Appends a JPEG file as picture N: its size at 8 + 4N, its bytes behind the last picture, the
// count last. Does nothing without an open archive or with 500 pictures. Throws EFileError, with
// the archive unchanged, when the file cannot be read or does not decode as a JPEG, or when the
// archive is damaged or cannot be written.
void AppendPicture(const QString& pictureFileName);

// Reads N into PictureCount and fills slots 0 .. N - 1 of PictureTable; slots from N on are
// emptied. Pictures already decoded from the same place of the open archive are kept, so after
// an addition only the new picture costs anything. A picture that cannot be decoded (damaged, not
// a JPEG, or outside the file) leaves its slot empty; after all others are loaded one EFileError
// names every such picture found by this call.
void LoadPictures();

// Closes the archive (releasing its lock) when one is open; ArchiveFile becomes -1. The pictures
// stay in PictureTable. Called when the window closes.
void CloseArchive();

// The picture numbers as a short list: "3", "3, 7", "0-4, 9".
QString PictureNumberList(const int* numbers, int count);
