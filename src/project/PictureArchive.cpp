#include "PictureArchive.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <thread>
#include <vector>

#include "ArchiveScan.h"
#include "EditorState.h"
#include "FileError.h"
#include "JpegDecoder.h"
#include "NumberRuns.h"
#include "WorkerThreads.h"

namespace {

// The size every decoded picture must still cover, as the window last told it.
QSize DecodeSize = PictureDecodeSize(1.0);
qint64 MemoryBudget = PictureMemoryBudget;

// The first bytes of a picture read to find its size; its header almost always lies within them.
constexpr qint64 HeaderPrefixBytes = 64 * 1024;

bool WriteAt(int fd, const void* buffer, qint64 length, qint64 offset) {
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pwrite(fd, static_cast<const char*>(buffer) + done,
                                   static_cast<size_t>(length - done), static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

bool WriteInt32At(int fd, int32_t value, qint64 offset) {
    unsigned char bytes[4];
    qToLittleEndian(value, bytes);
    return WriteAt(fd, bytes, 4, offset);
}

bool WriteEmptyHeader(int fd) {
    std::array<unsigned char, ArchiveHeaderSize> raw{};
    qToLittleEndian<int32_t>(1, raw.data());
    return WriteAt(fd, raw.data(), ArchiveHeaderSize, 0);
}

// Where a slot of PictureTable was decoded from in the open archive. A reload keeps a slot whose
// picture still has the same offset and size: pictures never move or change once written, and the
// archive is locked against other programs while it is open.
struct TSlotSource {
    qint64 offset = -1;
    int32_t size = -1;
    bool damaged = false;

    bool Same(qint64 o, int32_t s) const { return offset == o && size == s; }
};

struct TArchiveSession {
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
    QSize decodeSize;  // the size the slots were decoded for
    std::array<TSlotSource, PictureTableSize> sources;
    // The picture AppendPicture decoded while checking it, for the LoadPictures that follows.
    int pendingIndex = -1;
    TSlotSource pendingSource;
    QImage pendingImage;
};

TArchiveSession Session;
// The descriptor of an archive opened for reading only, because another window holds it; -1 when
// the open archive (if any) may be written.
int ReadOnlyArchiveFile = -1;

void StartSession(int fd) {
    Session = TArchiveSession{};
    Session.fd = fd;
    Session.decodeSize = DecodeSize;
    struct stat st {};
    if (fd != -1 && ::fstat(fd, &st) == 0) {
        Session.device = st.st_dev;
        Session.inode = st.st_ino;
    }
}

// The session is only trusted for the very file it was started on, and for the decode size its
// slots were decoded at.
void CheckSession() {
    const int fd = EditorState.ArchiveFile;
    struct stat st {};
    const bool same = fd != -1 && Session.fd == fd && ::fstat(fd, &st) == 0 && st.st_dev == Session.device &&
                      st.st_ino == Session.inode && Session.decodeSize == DecodeSize;
    if (!same) StartSession(fd);
}

void DropPictures() {
    EditorState.PictureCount = 0;
    for (QImage& slot : PictureTable) slot = QImage();
}

void FailOpen(int fd) {
    if (fd != -1) ::close(fd);
    EditorState.ArchiveFile = -1;
    StartSession(-1);
    DropPictures();
}

// The size a picture decodes to at DecodeSize, from its header alone; invalid when the header
// cannot be read or promises a picture beyond the decoder's limits. Reads the first bytes of the
// picture, and all of them only when its header reaches further.
QSize PredictDecodedSize(int fd, const TArchiveHeader::TExtent& extent) {
    std::vector<unsigned char> bytes(static_cast<size_t>(std::min<qint64>(extent.Size, HeaderPrefixBytes)));
    if (ReadArchiveBytes(fd, bytes.data(), qint64(bytes.size()), extent.Offset) != qint64(bytes.size()))
        return QSize();
    QSize size = ScaledJpegSize(bytes.data(), bytes.size(), DecodeSize, static_cast<size_t>(extent.Size));
    if (size.isValid() || extent.Size <= HeaderPrefixBytes) return size;
    bytes.resize(static_cast<size_t>(extent.Size));
    if (ReadArchiveBytes(fd, bytes.data(), extent.Size, extent.Offset) != extent.Size) return QSize();
    return ScaledJpegSize(bytes.data(), bytes.size(), DecodeSize);
}

qint64 SlotBytes(const QImage& image) {
    return image.isNull() ? 0 : static_cast<qint64>(image.sizeInBytes());
}

struct TDecodeTask {
    int index;
    qint64 offset;
    int32_t size;
    QImage image;  // written by one worker, read by the GUI thread after the join
};

// Reads and decodes the tasks on up to four threads; PictureTable is not touched here.
void DecodeTasks(int fd, std::vector<TDecodeTask>& tasks) {
    const QSize minSize = DecodeSize;
    std::atomic<size_t> next{0};
    const auto work = [&] {
        std::vector<unsigned char> bytes;
        for (size_t k = next++; k < tasks.size(); k = next++) {
            TDecodeTask& task = tasks[k];
            try {
                bytes.resize(static_cast<size_t>(task.size));
                if (ReadArchiveBytes(fd, bytes.data(), task.size, task.offset) != task.size) continue;
                task.image = DecodeJpeg(bytes.data(), bytes.size(), minSize).image;
            } catch (...) {
                // Out of memory for this picture: its slot stays empty and it is reported.
                task.image = QImage();
            }
        }
    };
    // One picture per core, up to four at a time; the GUI thread takes its share and waits.
    const size_t cores = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
    const size_t helpers = tasks.empty() ? 0 : std::min(cores, tasks.size()) - 1;
    RunOnThreads(helpers, work);
}

QString MebiBytes(qint64 bytes) { return QString::number(bytes / (1024 * 1024)); }

}  // namespace

void SetPictureDecodeSize(QSize size) { DecodeSize = size.isValid() ? size : PictureDecodeSize(1.0); }

QSize CurrentPictureDecodeSize() { return DecodeSize; }

void SetPictureMemoryBudget(qint64 bytes) { MemoryBudget = bytes; }

void CloseArchive() {
    if (EditorState.ArchiveFile != -1) ::close(EditorState.ArchiveFile);
    EditorState.ArchiveFile = -1;
    ReadOnlyArchiveFile = -1;
    StartSession(-1);
}

bool ArchiveReadOnly() {
    return EditorState.ArchiveFile != -1 && EditorState.ArchiveFile == ReadOnlyArchiveFile;
}

void MakeArchiveReadOnly() {
    const int old = EditorState.ArchiveFile;
    if (old == -1 || ArchiveReadOnly()) return;
    const QByteArray path = QFile::encodeName(EditorState.ArchiveName);
    struct stat was {};
    struct stat now {};
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    // Another file put in the archive's place meanwhile is not taken for it: no archive then.
    if (fd == -1 || ::fstat(old, &was) != 0 || ::fstat(fd, &now) != 0 || was.st_dev != now.st_dev ||
        was.st_ino != now.st_ino) {
        if (fd != -1) ::close(fd);
        CloseArchive();
        return DropPictures();
    }
    ::close(old);
    EditorState.ArchiveFile = fd;
    ReadOnlyArchiveFile = fd;
    StartSession(fd);
}

void OpenArchive() {
    CloseArchive();
    const QByteArray path = QFile::encodeName(EditorState.ArchiveName);
    struct stat st {};
    const bool exists = !path.isEmpty() && ::stat(path.constData(), &st) == 0;
    // A folder, a device or a pipe of that name is no archive, and none can be created there.
    if (path.isEmpty() || (exists && !S_ISREG(st.st_mode))) return FailOpen(-1);
    if (!exists) EditorState.PictureCount = 0;
    const int flags = O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (exists ? 0 : O_CREAT | O_EXCL);
    const int fd = ::open(path.constData(), flags, 0666);
    if (fd == -1) return FailOpen(-1);
    // A second program (or a second window of this one) must not write the same archive. A file
    // system that keeps no locks at all still gets its pictures.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno != ENOLCK && errno != EOPNOTSUPP) {
        // Held by another window: its pictures can still be looked at, never written from here.
        if (errno != EWOULDBLOCK || !exists) return FailOpen(fd);
        EditorState.ArchiveFile = fd;
        MakeArchiveReadOnly();
        return;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return FailOpen(fd);
    // A file without a single byte holds no pictures: it becomes an empty archive.
    if (st.st_size == 0 && !WriteEmptyHeader(fd)) {
        if (!exists) ::unlink(path.constData());
        return FailOpen(fd);
    }
    EditorState.ArchiveFile = fd;
    StartSession(fd);
}

void AppendPicture(const QString& pictureFileName) {
    const int fd = EditorState.ArchiveFile;
    if (fd == -1) return;
    CheckSession();
    const auto refused = [&](const QString& why) {
        return EFileError(QStringLiteral("Cannot add picture %1: %2").arg(pictureFileName, why));
    };
    if (ArchiveReadOnly()) {
        throw refused(QStringLiteral("the picture archive %1 is open in another Sorvelle window")
                          .arg(EditorState.ArchiveName));
    }
    const auto damaged = [&] {
        return refused(QStringLiteral("the picture archive %1 is damaged").arg(EditorState.ArchiveName));
    };
    const auto cannotWrite = [&] {
        return refused(
            QStringLiteral("the picture archive %1 cannot be written").arg(EditorState.ArchiveName));
    };

    TArchiveHeader header;
    if (!ReadArchiveHeader(fd, &header) || !header.HasCount()) throw damaged();
    const int32_t count = header.Count;
    EditorState.PictureCount = header.TableCount();
    if (count >= ArchiveMaxPictures) return;
    const qint64 freeOffset = header.FreeOffset();
    if (freeOffset < 0) throw damaged();

    QByteArray bytes;
    {
        QFile picture(pictureFileName);
        if (!picture.open(QIODevice::ReadOnly) || picture.isSequential())
            throw refused(QStringLiteral("not a readable JPEG file"));
        if (picture.size() > MaxPictureFileBytes)
            throw refused(QStringLiteral("larger than %1 MiB").arg(MebiBytes(MaxPictureFileBytes)));
        bytes = picture.readAll();
        if (bytes.size() != picture.size()) throw refused(QStringLiteral("not a readable JPEG file"));
    }
    TJpegResult decoded = DecodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                     static_cast<size_t>(bytes.size()), DecodeSize);
    if (decoded.image.isNull()) throw refused(QStringLiteral("not a readable JPEG file"));
    qint64 shownBytes = SlotBytes(decoded.image);
    for (int i = 0; i < count; ++i) shownBytes += SlotBytes(PictureTable[size_t(i)]);
    if (shownBytes > MemoryBudget) {
        throw refused(QStringLiteral("the pictures of %1 would take more than %2 MiB of memory")
                          .arg(EditorState.ArchiveName, MebiBytes(MemoryBudget)));
    }

    const int32_t length = static_cast<int32_t>(bytes.size());
    const qint64 entryOffset = 8 + 4 * static_cast<qint64>(count);
    // What lies behind the last picture where the new one goes, to be put back if the addition
    // fails half way.
    QByteArray overwritten(
        std::max<qint64>(0, std::min<qint64>(header.FileSize, freeOffset + length) - freeOffset),
        Qt::Uninitialized);
    if (ReadArchiveBytes(fd, overwritten.data(), overwritten.size(), freeOffset) != overwritten.size())
        throw cannotWrite();
    // The count goes last, after the data is on disk: an addition cut short leaves N pictures.
    const bool added = WriteInt32At(fd, length, entryOffset) &&
                       WriteAt(fd, bytes.constData(), length, freeOffset) && ::fdatasync(fd) == 0 &&
                       WriteInt32At(fd, count + 1, 4) && ::fdatasync(fd) == 0;
    if (!added) {
        // Back to the archive as it was, byte for byte: count, size entry, the bytes behind the
        // last picture and the length. These writes need no new room on the disk.
        WriteInt32At(fd, count, 4);
        WriteInt32At(fd, header.Sizes[size_t(count)], entryOffset);
        WriteAt(fd, overwritten.constData(), overwritten.size(), freeOffset);
        (void)::ftruncate(fd, header.FileSize);
        (void)::fdatasync(fd);
        throw cannotWrite();
    }
    EditorState.PictureCount = count + 1;
    Session.pendingIndex = count;
    Session.pendingSource = TSlotSource{freeOffset, length, false};
    Session.pendingImage = std::move(decoded.image);
}

void LoadPictures() {
    const int fd = EditorState.ArchiveFile;
    if (fd == -1) return;
    CheckSession();
    TArchiveHeader header;
    // A header that cannot be read holds no pictures.
    ReadArchiveHeader(fd, &header);
    const int32_t count = header.TableCount();
    EditorState.PictureCount = count;

    // The memory budget goes to the pictures in their order, so the same archive always shows
    // the same pictures.
    std::vector<TDecodeTask> tasks;
    std::vector<int> failed;
    qint64 budgetUsed = 0;
    for (int i = 0; i < count; ++i) {
        const TArchiveHeader::TExtent extent = header.Extent(i);
        const int32_t size = static_cast<int32_t>(extent.Size);
        TSlotSource& source = Session.sources[size_t(i)];
        QImage& slot = PictureTable[size_t(i)];
        if (source.Same(extent.Offset, size) && (source.damaged || !slot.isNull())) {
            // Decoded (or found damaged and reported) earlier from these very bytes.
            budgetUsed += SlotBytes(slot);
            continue;
        }
        slot = QImage();
        const bool pending = Session.pendingIndex == i && Session.pendingSource.Same(extent.Offset, size);
        const TPictureFault fault = pending ? TPictureFault::None : CheckPicture(fd, header, i);
        const QSize decodedSize = pending                        ? Session.pendingImage.size()
                                  : fault == TPictureFault::None ? PredictDecodedSize(fd, extent)
                                                                 : QSize();
        const qint64 decodedBytes = DecodedPictureBytes(decodedSize);
        if (!decodedSize.isValid() || budgetUsed + decodedBytes > MemoryBudget) {
            source = TSlotSource{extent.Offset, size, true};
            failed.push_back(i);
        } else if (pending) {
            slot = std::move(Session.pendingImage);
            source = Session.pendingSource;
            budgetUsed += SlotBytes(slot);
        } else {
            budgetUsed += decodedBytes;
            tasks.push_back(TDecodeTask{i, extent.Offset, size, QImage()});
        }
    }
    Session.pendingIndex = -1;
    Session.pendingImage = QImage();

    DecodeTasks(fd, tasks);
    for (TDecodeTask& task : tasks) {
        const bool decoded = !task.image.isNull();
        PictureTable[size_t(task.index)] = std::move(task.image);
        Session.sources[size_t(task.index)] = TSlotSource{task.offset, task.size, !decoded};
        if (!decoded) failed.push_back(task.index);
    }
    for (int i = count; i < PictureTableSize; ++i) {
        PictureTable[size_t(i)] = QImage();
        Session.sources[size_t(i)] = TSlotSource{};
    }

    if (failed.empty()) return;
    std::sort(failed.begin(), failed.end());
    const QString what = failed.size() == 1 ? QStringLiteral("picture") : QStringLiteral("pictures");
    throw EFileError(QStringLiteral("Cannot show %1 %2 of %3: damaged or not JPEG data")
                         .arg(what, NumberRuns(failed), EditorState.ArchiveName));
}
