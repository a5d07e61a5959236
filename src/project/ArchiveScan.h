#pragma once
// A read-only look at a picture archive: its header, its size table and where each picture lies.
// The file is only opened for reading and never locked, so the editor may hold it open meanwhile.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

struct TArchiveScan {
    enum class TState { Missing, Unreadable, Read };

    // Bytes and place of one picture in the file, from the header's sizes.
    struct TExtent {
        int64_t Offset = 0;   // 2008 + the sizes of the pictures before it
        int64_t Size = 0;     // as stored; may be negative in a damaged archive
        bool Inside = false;  // Size >= 0 and every byte lies within the file
    };

    TState State = TState::Missing;
    int64_t FileSize = 0;
    bool HeaderComplete = false;  // the file holds all 2008 header bytes
    int32_t FormatWord = 0;
    int32_t Count = 0;                 // N as stored, unchecked
    std::array<int32_t, 500> Sizes{};  // entries the file cuts off read as 0

    // N cut to 0 .. 500: the pictures whose sizes the table can hold.
    int32_t TableCount() const;
    TExtent Extent(int32_t picture) const;
};

TArchiveScan ScanArchive(const QString& path);

// The bytes of a picture whose extent lies inside the file; empty otherwise or when reading fails.
QByteArray ReadArchivePicture(const QString& path, const TArchiveScan::TExtent& extent);
