#include "ProjectFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>

#include "EditorState.h"
#include "SafeSave.h"

QString CompanionName(const QString& textName, const QString& ext) {
    return textName.left(std::max<qsizetype>(0, textName.size() - 3)) + ext;
}

bool FileExists(const QString& name) { return !name.isEmpty() && QFileInfo(name).isFile(); }

namespace {

// Reads as many bytes as the field holds, or fewer at the end of the file; the bytes read
// replace the field's low-order bytes. False once the file has no more bytes.
template <typename T>
bool ReadField(QFile& file, T& field) {
    unsigned char bytes[sizeof(T)];
    qToLittleEndian<T>(field, bytes);
    const qint64 got = file.read(reinterpret_cast<char*>(bytes), qint64(sizeof(T)));
    if (got <= 0) return false;
    field = qFromLittleEndian<T>(bytes);
    return got == qint64(sizeof(T));
}

void PutInt32(char* at, int32_t v) { qToLittleEndian<int32_t>(v, at); }
void PutInt16(char* at, int16_t v) { qToLittleEndian<int16_t>(v, at); }

}  // namespace

void ReadPosFile(const QString& path) {
    if (!FileExists(path)) return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return;
    int32_t fileCount = 0;
    if (!ReadField(file, fileCount)) return;
    const int32_t count = std::min(fileCount, std::min<int32_t>(EditorState.MaxItems, ItemTableSize));
    for (int32_t i = 0; i < count; ++i) {
        TItemRec& rec = ItemTable[i];
        if (!ReadField(file, rec.Flag) || !ReadField(file, rec.Start) || !ReadField(file, rec.Finish)) return;
    }
    // Table B begins behind all of the file's table A; for a file of more records than the table
    // holds that is further on than where reading stopped.
    if (fileCount > count && !file.seek(4 + 12 * qint64(fileCount))) return;
    for (int32_t i = 0; i < count; ++i) {
        TItemRec& rec = ItemTable[i];
        if (!ReadField(file, rec.PicCount)) return;
        for (int16_t& pic : rec.Pics) {
            if (!ReadField(file, pic)) return;
        }
    }
}

bool WritePosFile(const QString& path) {
    if (path.isEmpty()) return false;
    const int32_t count = std::clamp<int32_t>(EditorState.MaxItems, 0, ItemTableSize);
    QByteArray layout(4 + 24 * qsizetype(count), Qt::Uninitialized);
    PutInt32(layout.data(), count);
    char* recordA = layout.data() + 4;
    char* recordB = layout.data() + 4 + 12 * qsizetype(count);
    for (int32_t i = 0; i < count; ++i) {
        const TItemRec& rec = ItemTable[i];
        PutInt32(recordA, rec.Flag);
        PutInt32(recordA + 4, rec.Start);
        PutInt32(recordA + 8, rec.Finish);
        recordA += 12;
        PutInt16(recordB, rec.PicCount);
        for (int k = 0; k < 5; ++k) PutInt16(recordB + 2 + 2 * k, rec.Pics[k]);
        recordB += 12;
    }
    // A longer file keeps its bytes from 12004 on; one that can be written but not read is
    // written in place, and so keeps them too.
    return SaveFileSafely(path, layout, TOldTail::Keep);
}
