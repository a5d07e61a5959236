#pragma once
// Builds the bytes of segment tables (.pos) and picture archives (.ims) for the tests, field by
// field as the layouts describe them, and reads fields back.

#include <QByteArray>
#include <QList>
#include <cstdint>

void AddInt32(QByteArray& bytes, int32_t v);
void AddInt16(QByteArray& bytes, int16_t v);
QByteArray Int32Bytes(std::initializer_list<int32_t> values);
QByteArray Int16Bytes(std::initializer_list<int16_t> values);
// The field at that offset; a test failure (and 0) when the bytes end before it.
int32_t Int32At(const QByteArray& bytes, qsizetype at);
int16_t Int16At(const QByteArray& bytes, qsizetype at);

// A segment table of n records in both tables; record i holds Flag 1, Start 1000 i + 10, Finish
// 1000 i + 20, PicCount 1 and Pics 10 i + k.
QByteArray PosWithRecords(int32_t n);

// A segment table of n records whose every field holds its own value: PosAValue(i, f) for field f
// (Flag, Start, Finish) of table A, PosBValue(i, f) for field f (PicCount, Pics[0] .. Pics[4]) of
// table B.
QByteArray PosWithDistinctFields(int32_t n);
int32_t PosAValue(int record, int field);
int16_t PosBValue(int record, int field);

// An archive header with the format word, count and sizes (the other entries 0), then the pictures'
// bytes back to back.
QByteArray ArchiveHeader(int32_t format, int32_t count, const QList<int32_t>& sizes);
QByteArray ArchiveBytes(const QList<QByteArray>& pictures);
QByteArray ArchiveBytes(const QList<QByteArray>& pictures, const QList<int32_t>& sizes);

// A JPEG file whose frame header (SOF) claims width x height; the coded data stays the same.
QByteArray JpegClaimingSize(QByteArray jpeg, uint16_t width, uint16_t height);
