#include "ProjectBytes.h"

#include <gtest/gtest.h>

#include <QtEndian>

void AddInt32(QByteArray& bytes, int32_t v) {
    char le[4];
    qToLittleEndian<int32_t>(v, le);
    bytes.append(le, 4);
}

void AddInt16(QByteArray& bytes, int16_t v) {
    char le[2];
    qToLittleEndian<int16_t>(v, le);
    bytes.append(le, 2);
}

QByteArray Int32Bytes(std::initializer_list<int32_t> values) {
    QByteArray bytes;
    for (int32_t v : values) AddInt32(bytes, v);
    return bytes;
}

QByteArray Int16Bytes(std::initializer_list<int16_t> values) {
    QByteArray bytes;
    for (int16_t v : values) AddInt16(bytes, v);
    return bytes;
}

int32_t Int32At(const QByteArray& bytes, qsizetype at) {
    if (at < 0 || at + 4 > bytes.size()) {
        ADD_FAILURE() << "no int32 at " << at << " in " << bytes.size() << " bytes";
        return 0;
    }
    return qFromLittleEndian<int32_t>(bytes.constData() + at);
}

int16_t Int16At(const QByteArray& bytes, qsizetype at) {
    if (at < 0 || at + 2 > bytes.size()) {
        ADD_FAILURE() << "no int16 at " << at << " in " << bytes.size() << " bytes";
        return 0;
    }
    return qFromLittleEndian<int16_t>(bytes.constData() + at);
}

QByteArray PosWithRecords(int32_t n) {
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

int32_t PosAValue(int record, int field) { return 1000 * record + field + 1; }
int16_t PosBValue(int record, int field) { return int16_t(100 * (record % 300) + field + 1); }

QByteArray PosWithDistinctFields(int32_t n) {
    QByteArray bytes;
    AddInt32(bytes, n);
    for (int i = 0; i < n; ++i) {
        for (int f = 0; f < 3; ++f) AddInt32(bytes, PosAValue(i, f));
    }
    for (int i = 0; i < n; ++i) {
        for (int f = 0; f < 6; ++f) AddInt16(bytes, PosBValue(i, f));
    }
    return bytes;
}

QByteArray ArchiveHeader(int32_t format, int32_t count, const QList<int32_t>& sizes) {
    QByteArray bytes = Int32Bytes({format, count});
    for (int i = 0; i < 500; ++i) AddInt32(bytes, i < sizes.size() ? sizes[i] : 0);
    return bytes;
}

QByteArray ArchiveBytes(const QList<QByteArray>& pictures, const QList<int32_t>& sizes) {
    QByteArray bytes = ArchiveHeader(1, int32_t(sizes.size()), sizes);
    for (const QByteArray& picture : pictures) bytes += picture;
    return bytes;
}

QByteArray ArchiveBytes(const QList<QByteArray>& pictures) {
    QList<int32_t> sizes;
    for (const QByteArray& picture : pictures) sizes << int32_t(picture.size());
    return ArchiveBytes(pictures, sizes);
}

QByteArray JpegClaimingSize(QByteArray jpeg, uint16_t width, uint16_t height) {
    // Markers from the start: FF xx, then a two-byte length, up to the first SOF.
    for (qsizetype at = 2; at + 9 < jpeg.size();) {
        const auto marker = static_cast<unsigned char>(jpeg[at + 1]);
        if (static_cast<unsigned char>(jpeg[at]) != 0xFF) break;
        if (marker >= 0xC0 && marker <= 0xC2) {
            qToBigEndian<uint16_t>(height, jpeg.data() + at + 5);
            qToBigEndian<uint16_t>(width, jpeg.data() + at + 7);
            return jpeg;
        }
        at += 2 + qFromBigEndian<uint16_t>(jpeg.constData() + at + 2);
    }
    ADD_FAILURE() << "no frame header found";
    return jpeg;
}
