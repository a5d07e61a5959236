#pragma once
// The picture archive's header and size table, and where each picture lies: the one reading of
// them that the editor's archive operations and sorvelle-cli share.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

inline constexpr int ArchiveHeaderSize = 2008;
inline constexpr int ArchiveMaxPictures = 500;
// A picture larger than this is not read: no JPEG an editor shows in a strip cell comes near it,
// and a damaged size table must not make the editor read gigabytes.
inline constexpr int64_t MaxPictureFileBytes = 64LL * 1024 * 1024;

// What keeps a picture of the archive from being read and decoded, found without reading it.
enum class TPictureFault {
    None,
    Negative,      // its size is below 0
    Empty,         // 0 bytes
    PastEnd,       // its bytes (or its size entry) reach beyond the end of the file
    TooLarge,      // more than MaxPictureFileBytes
    NotJpegStart,  // its first bytes are not the JPEG start marker FF D8
};

struct TArchiveHeader {
    // Bytes and place of one picture in the file, from the header's sizes.
    struct TExtent {
        int64_t Offset = 0;   // 2008 + the sizes of the pictures before it
        int64_t Size = 0;     // as stored; may be negative in a damaged archive
        bool Inside = false;  // Size >= 0 and every byte lies within the file
    };

    int64_t FileSize = 0;
    int64_t Bytes = 0;  // how many of the 2008 header bytes the file holds
    int32_t FormatWord = 0;
    int32_t Count = 0;                                // N as stored, unchecked
    std::array<int32_t, ArchiveMaxPictures> Sizes{};  // entries the file cuts off read as 0

    bool Complete() const { return Bytes == ArchiveHeaderSize; }
    bool HasCount() const { return Bytes >= 8; }
    bool HasSize(int32_t picture) const { return Bytes >= 8 + 4 * (int64_t(picture) + 1); }
    // N cut to 0 .. 500: the pictures whose sizes the table can hold; 0 without a count.
    int32_t TableCount() const;
    TExtent Extent(int32_t picture) const;
    // Where picture N goes: behind picture N - 1. -1 when the table cannot say (N outside
    // 0 .. 499, entries cut off, a negative size) or the pictures it promises are not all in the
    // file: an addition there would overwrite pictures or land far out in a hole.
    int64_t FreeOffset() const;
};

// The header of the open file descriptor, read at its start; false when it cannot be read.
// Reads `length` bytes at `offset`, again after a signal: the count read (fewer at the end of the
// file), or -1 after a read error.
int64_t ReadArchiveBytes(int fd, void* buffer, int64_t length, int64_t offset);
bool ReadArchiveHeader(int fd, TArchiveHeader* header);

// Checks picture `picture` of the archive open as fd: its extent from the header, its size limit,
// and its first two bytes, the only ones read.
TPictureFault CheckPicture(int fd, const TArchiveHeader& header, int32_t picture);

// A read-only look at an archive by name. The file is only opened for reading and never locked,
// so the editor may hold it open meanwhile.
struct TArchiveScan : TArchiveHeader {
    enum class TState { Missing, Unreadable, Read };
    TState State = TState::Missing;
};

TArchiveScan ScanArchive(const QString& path);

// Picture `picture` of the archive by name, when CheckPicture finds no fault with it; false, with
// the fault (None when reading failed), otherwise.
bool ReadArchivePicture(const QString& path,
                        const TArchiveHeader& header,
                        int32_t picture,
                        QByteArray* bytes,
                        TPictureFault* fault);
