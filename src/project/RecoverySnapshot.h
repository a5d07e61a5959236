#pragma once
// Recovery snapshots: the unsaved work of a project (both texts, all item records), kept in the
// user's own state folder so that a crash, a kill or a power cut loses at most the last minutes.
// They never live in, or write to, the project's folder.
//
// Layout, little-endian, every length counted in bytes:
//
// | offset | size | content                                                              |
// |--------|------|----------------------------------------------------------------------|
// | 0      | 8    | magic "SORVSNAP"                                                     |
// | 8      | 4    | version, uint32: 1                                                   |
// | 12     | 8    | time the snapshot was taken, int64 milliseconds since 1970 UTC       |
// | 20     | 4    | n, uint32; then n bytes: the text file's full name as the system has it |
// |        | 4    | encoding of the text, uint32 (TextEncodingCode)                      |
// |        | 4    | m, uint32, even; then m bytes: the text, UTF-16 LE, CR LF line breaks |
// |        | 4+4+m| the second text: its encoding, length and UTF-16 LE bytes likewise   |
// |        | 4    | record count, uint32: 500                                            |
// |        | 24 x 500 | the records: Flag, Start, Finish (int32), PicCount, Pics[0..4] (int16) |
// |        | 4    | CRC-32 (the one of zlib and PNG) of every byte before it             |
//
// The file ends right behind the checksum. A file that differs from this in any way (another
// magic or version, a length past the end, a byte changed) is damaged.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

#include "EditorState.h"
#include "TextEncoding.h"
#include "TextFile.h"

struct TRecoverySnapshot {
    QByteArray TextName;  // the text's full name, the bytes the system holds
    qint64 TimeMs = 0;    // when it was taken, milliseconds since 1970 UTC
    QString Text;         // Memo1's text as a save would write it, CR LF between lines
    TTextEncoding TextEncoding = TTextEncoding::Utf8;
    QString SecondText;  // Memo2's, likewise
    TTextEncoding SecondEncoding = TTextEncoding::Utf8;
    std::array<TItemRec, ItemTableSize> Items{};
};

inline constexpr char SnapshotMagic[8] = {'S', 'O', 'R', 'V', 'S', 'N', 'A', 'P'};
inline constexpr uint32_t SnapshotVersion = 1;
// A text of MemoCapacity characters takes twice as many bytes; no snapshot is larger than two of
// them with a long name.
inline constexpr qint64 MaxSnapshotBytes = 4 * qint64(MemoCapacity) + 64 * 1024 + 24 * ItemTableSize + 64;

// The code each encoding is stored as: 0 UTF-8, 1 Windows-1251, 2 UTF-8 with byte-order mark,
// 3 UTF-16 LE, 4 UTF-16 BE.
uint32_t TextEncodingCode(TTextEncoding encoding);

// CRC-32 with the polynomial 0xEDB88320, initial and final value 0xFFFFFFFF.
uint32_t Crc32(const char* data, qsizetype length);

QByteArray EncodeSnapshot(const TRecoverySnapshot& snapshot);
// False, with *snapshot unspecified, when the bytes are not a whole, undamaged snapshot.
bool DecodeSnapshot(const QByteArray& bytes, TRecoverySnapshot* snapshot);

enum class TSnapshotRead {
    Found,
    Missing,     // no file of that name
    Unreadable,  // there, but it cannot be opened or read, or is not a regular file
    Damaged,
};
TSnapshotRead ReadSnapshotFile(const QString& path, TRecoverySnapshot* snapshot);
// Written whole or not at all (SaveFileSafely): a failure leaves the previous snapshot as it was.
// Safe to call on any thread.
bool WriteSnapshotFile(const QString& path, const TRecoverySnapshot& snapshot);

// The name a project's recovery files go by: a hash of the text's full name after every symbolic
// link is followed, so that two ways of naming the same file find the same snapshot and lock.
QString RecoveryKey(const QString& textName);
// The text's full name after every symbolic link is followed (its absolute name when the file
// does not exist), as the bytes the system holds.
QByteArray ResolvedTextName(const QString& textName);

// In `folder`: KEY.snapshot, KEY.snapshot.bad (a damaged one set aside) and KEY.lock.
QString SnapshotPath(const QString& folder, const QString& key);
QString DamagedSnapshotPath(const QString& folder, const QString& key);
QString LockPath(const QString& folder, const QString& key);
// Removes the temporary files a write of KEY.snapshot left when its process was killed in the
// middle; only for a key whose lock is held, so that no live write is cut off.
void RemoveStaleSnapshotTemporaries(const QString& folder, const QString& key);

// Creates the folder with its parents; the folder itself is made readable by the user only,
// since snapshots hold the user's texts. False when it cannot be made.
bool MakePrivateFolder(const QString& folder);
