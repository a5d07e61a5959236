#pragma once
// Builds segment tables byte by byte for the window's tests.

#include <QByteArray>
#include <QtEndian>
#include <cstdint>

inline void AddInt32(QByteArray& bytes, int32_t v) {
    char b[4];
    qToLittleEndian<int32_t>(v, b);
    bytes.append(b, 4);
}

inline void AddInt16(QByteArray& bytes, int16_t v) {
    char b[2];
    qToLittleEndian<int16_t>(v, b);
    bytes.append(b, 2);
}

inline int32_t Int32At(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<int32_t>(bytes.constData() + at);
}

inline int16_t Int16At(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<int16_t>(bytes.constData() + at);
}

// n records; record i holds Flag 1, Start 1000 i + 10, Finish 1000 i + 20, PicCount 1 and
// Pics 10 i + k.
inline QByteArray PosWithRecords(int32_t n) {
    QByteArray bytes;
    AddInt32(bytes, n);
    for (int i = 0; i < n; ++i) {
        AddInt32(bytes, 1);
        AddInt32(bytes, 1000 * i + 10);
        AddInt32(bytes, 1000 * i + 20);
    }
    for (int i = 0; i < n; ++i) {
        AddInt16(bytes, 1);
        for (int k = 0; k < 5; ++k) AddInt16(bytes, int16_t(10 * i + k));
    }
    return bytes;
}
