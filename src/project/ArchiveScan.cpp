#include "ArchiveScan.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>

namespace {

constexpr int64_t HeaderBytes = 8 + 4 * 500;

int32_t Int32At(const QByteArray& bytes, int64_t offset) {
    if (offset + 4 > bytes.size()) return 0;
    return qFromLittleEndian<int32_t>(bytes.constData() + offset);
}

}  // namespace

int32_t TArchiveScan::TableCount() const { return std::clamp<int32_t>(Count, 0, int32_t(Sizes.size())); }

TArchiveScan::TExtent TArchiveScan::Extent(int32_t picture) const {
    TExtent extent;
    if (picture < 0 || picture >= int32_t(Sizes.size())) return extent;
    extent.Offset = HeaderBytes;
    for (int32_t i = 0; i < picture; ++i) extent.Offset += Sizes[size_t(i)];
    extent.Size = Sizes[size_t(picture)];
    extent.Inside =
        extent.Size >= 0 && extent.Offset >= HeaderBytes && extent.Offset + extent.Size <= FileSize;
    return extent;
}

TArchiveScan ScanArchive(const QString& path) {
    TArchiveScan scan;
    if (path.isEmpty() || !QFileInfo(path).isFile()) return scan;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        scan.State = TArchiveScan::TState::Unreadable;
        return scan;
    }
    scan.FileSize = file.size();
    const QByteArray header = file.read(HeaderBytes);
    if (file.error() != QFileDevice::NoError) {
        scan.State = TArchiveScan::TState::Unreadable;
        return scan;
    }
    scan.State = TArchiveScan::TState::Read;
    scan.HeaderComplete = header.size() == HeaderBytes;
    scan.FormatWord = Int32At(header, 0);
    scan.Count = Int32At(header, 4);
    for (size_t i = 0; i < scan.Sizes.size(); ++i) scan.Sizes[i] = Int32At(header, 8 + 4 * int64_t(i));
    return scan;
}

QByteArray ReadArchivePicture(const QString& path, const TArchiveScan::TExtent& extent) {
    if (!extent.Inside) return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(extent.Offset)) return {};
    QByteArray bytes = file.read(extent.Size);
    if (bytes.size() != extent.Size) return {};
    return bytes;
}
