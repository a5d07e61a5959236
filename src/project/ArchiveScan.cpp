#include "ArchiveScan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cerrno>

namespace {

// Closes the descriptor it was given when it goes.
struct TReadOnlyFile {
    int fd;
    explicit TReadOnlyFile(const QString& path)
        : fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)) {}
    ~TReadOnlyFile() {
        if (fd >= 0) ::close(fd);
    }
    TReadOnlyFile(const TReadOnlyFile&) = delete;
    TReadOnlyFile& operator=(const TReadOnlyFile&) = delete;
};

}  // namespace

int32_t TArchiveHeader::TableCount() const {
    return HasCount() ? std::clamp<int32_t>(Count, 0, ArchiveMaxPictures) : 0;
}

TArchiveHeader::TExtent TArchiveHeader::Extent(int32_t picture) const {
    TExtent extent;
    if (picture < 0 || picture >= ArchiveMaxPictures) return extent;
    extent.Offset = ArchiveHeaderSize;
    for (int32_t i = 0; i < picture; ++i) extent.Offset += Sizes[size_t(i)];
    extent.Size = Sizes[size_t(picture)];
    extent.Inside = HasSize(picture) && extent.Size >= 0 && extent.Offset >= ArchiveHeaderSize &&
                    extent.Offset + extent.Size <= FileSize;
    return extent;
}

int64_t TArchiveHeader::FreeOffset() const {
    if (!HasCount() || Count < 0 || Count >= ArchiveMaxPictures || !HasSize(Count)) return -1;
    int64_t freeOffset = ArchiveHeaderSize;
    for (int32_t i = 0; i < Count; ++i) {
        if (Sizes[size_t(i)] < 0) return -1;
        freeOffset += Sizes[size_t(i)];
    }
    return freeOffset <= FileSize ? freeOffset : -1;
}

int64_t ReadArchiveBytes(int fd, void* buffer, int64_t length, int64_t offset) {
    int64_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, static_cast<char*>(buffer) + done, static_cast<size_t>(length - done),
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += n;
    }
    return done;
}

bool ReadArchiveHeader(int fd, TArchiveHeader* header) {
    *header = TArchiveHeader{};
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) return false;
    unsigned char raw[ArchiveHeaderSize] = {};
    const int64_t got = ReadArchiveBytes(fd, raw, ArchiveHeaderSize, 0);
    if (got < 0) return false;
    header->FileSize = st.st_size;
    header->Bytes = got;
    // A field the file cuts off reads as 0, also one it holds only some bytes of.
    std::fill(raw + got / 4 * 4, raw + ArchiveHeaderSize, 0);
    header->FormatWord = qFromLittleEndian<int32_t>(raw);
    header->Count = qFromLittleEndian<int32_t>(raw + 4);
    for (size_t i = 0; i < header->Sizes.size(); ++i)
        header->Sizes[i] = qFromLittleEndian<int32_t>(raw + 8 + 4 * i);
    return true;
}

TPictureFault CheckPicture(int fd, const TArchiveHeader& header, int32_t picture) {
    const TArchiveHeader::TExtent extent = header.Extent(picture);
    if (!header.HasSize(picture)) return TPictureFault::PastEnd;
    if (extent.Size < 0) return TPictureFault::Negative;
    if (extent.Size == 0) return TPictureFault::Empty;
    if (!extent.Inside) return TPictureFault::PastEnd;
    if (extent.Size > MaxPictureFileBytes) return TPictureFault::TooLarge;
    unsigned char start[2] = {};
    if (ReadArchiveBytes(fd, start, 2, extent.Offset) != 2 || start[0] != 0xFF || start[1] != 0xD8)
        return TPictureFault::NotJpegStart;
    return TPictureFault::None;
}

TArchiveScan ScanArchive(const QString& path) {
    TArchiveScan scan;
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if (path.isEmpty() || ::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return scan;
    const TReadOnlyFile file(path);
    TArchiveHeader header;
    if (!ReadArchiveHeader(file.fd, &header)) {
        scan.State = TArchiveScan::TState::Unreadable;
        return scan;
    }
    static_cast<TArchiveHeader&>(scan) = header;
    scan.State = TArchiveScan::TState::Read;
    return scan;
}

bool ReadArchivePicture(const QString& path,
                        const TArchiveHeader& header,
                        int32_t picture,
                        QByteArray* bytes,
                        TPictureFault* fault) {
    bytes->clear();
    const TReadOnlyFile file(path);
    *fault = file.fd < 0 ? TPictureFault::None : CheckPicture(file.fd, header, picture);
    if (file.fd < 0 || *fault != TPictureFault::None) return false;
    const TArchiveHeader::TExtent extent = header.Extent(picture);
    bytes->resize(extent.Size);
    if (ReadArchiveBytes(file.fd, bytes->data(), extent.Size, extent.Offset) != extent.Size) {
        bytes->clear();
        return false;
    }
    return true;
}
