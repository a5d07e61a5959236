#include "PictureArchive.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <system_error>
#include <thread>
#include <vector>

#include "EditorState.h"
#include "FileError.h"
#include "JpegDecoder.h"

namespace {

// Header as far as the file holds it; bytes tells how many of the 2008 were there.
struct TArchiveHeader {
    std::array<unsigned char, ArchiveHeaderSize> raw{};
    qint64 bytes = 0;
    qint64 fileSize = 0;

    int32_t Field(int index) const { return qFromLittleEndian<int32_t>(raw.data() + 4 * index); }
    bool Has(int index) const { return bytes >= 4 * (index + 1); }
    int32_t Count() const { return Field(1); }
    int32_t Size(int picture) const { return Field(2 + picture); }
    bool HasSize(int picture) const { return Has(2 + picture); }
};

qint64 ReadAt(int fd, void* buffer, qint64 length, qint64 offset) {
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, static_cast<char*>(buffer) + done, static_cast<size_t>(length - done),
                                  static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

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

bool ReadHeader(int fd, TArchiveHeader* header) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    header->fileSize = st.st_size;
    header->bytes = ReadAt(fd, header->raw.data(), ArchiveHeaderSize, 0);
    return true;
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
    std::array<TSlotSource, PictureTableSize> sources;
    // The picture AppendPicture decoded while checking it, for the LoadPictures that follows.
    int pendingIndex = -1;
    TSlotSource pendingSource;
    QImage pendingImage;
};

TArchiveSession Session;

void StartSession(int fd) {
    Session = TArchiveSession{};
    Session.fd = fd;
    struct stat st {};
    if (fd != -1 && ::fstat(fd, &st) == 0) {
        Session.device = st.st_dev;
        Session.inode = st.st_ino;
    }
}

// The session is only trusted for the very file it was started on.
void CheckSession() {
    const int fd = EditorState.ArchiveFile;
    struct stat st {};
    const bool same = fd != -1 && Session.fd == fd && ::fstat(fd, &st) == 0 && st.st_dev == Session.device &&
                      st.st_ino == Session.inode;
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

double PictureDevicePixelRatio() {
    double ratio = 1.0;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        for (const QScreen* screen : QGuiApplication::screens())
            ratio = std::max(ratio, screen->devicePixelRatio());
    }
    return ratio;
}

struct TDecodeTask {
    int index;
    qint64 offset;
    int32_t size;
    QImage image;  // written by one worker, read by the GUI thread after the join
};

// Reads and decodes the tasks on up to four threads; PictureTable is not touched here.
void DecodeTasks(int fd, std::vector<TDecodeTask>& tasks, QSize minSize) {
    std::atomic<size_t> next{0};
    auto work = [&] {
        std::vector<unsigned char> bytes;
        for (size_t k = next++; k < tasks.size(); k = next++) {
            TDecodeTask& task = tasks[k];
            try {
                bytes.resize(static_cast<size_t>(task.size));
                if (ReadAt(fd, bytes.data(), task.size, task.offset) != task.size) continue;
                task.image = DecodeJpeg(bytes.data(), bytes.size(), minSize).image;
            } catch (...) {
                // Out of memory for this picture: its slot stays empty and it is reported.
                task.image = QImage();
            }
        }
    };
    // One picture per core, up to four at a time; the GUI thread takes its share and waits.
    const size_t cores = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
    const size_t helpers = std::min(cores, tasks.size()) - (tasks.empty() ? 0 : 1);
    std::vector<std::thread> threads;
    try {
        for (size_t t = 0; t < helpers; ++t) threads.emplace_back(work);
    } catch (const std::system_error&) {
        // Fewer threads to be had: those running, and the GUI thread, share the work.
    }
    work();
    for (std::thread& t : threads) t.join();
}

}  // namespace

QString PictureNumberList(const int* numbers, int count) {
    QStringList parts;
    for (int i = 0; i < count;) {
        int j = i;
        while (j + 1 < count && numbers[j + 1] == numbers[j] + 1) ++j;
        if (j == i)
            parts << QString::number(numbers[i]);
        else
            parts << QStringLiteral("%1-%2").arg(numbers[i]).arg(numbers[j]);
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

void CloseArchive() {
    if (EditorState.ArchiveFile != -1) ::close(EditorState.ArchiveFile);
    EditorState.ArchiveFile = -1;
    StartSession(-1);
}

void OpenArchive() {
    CloseArchive();
    const QByteArray path = QFile::encodeName(EditorState.ArchiveName);
    struct stat st {};
    const bool exists = !path.isEmpty() && ::stat(path.constData(), &st) == 0 && !S_ISDIR(st.st_mode);
    if (!exists) EditorState.PictureCount = 0;
    const int flags = O_RDWR | O_CLOEXEC | O_NOCTTY | (exists ? 0 : O_CREAT | O_EXCL);
    const int fd = path.isEmpty() ? -1 : ::open(path.constData(), flags, 0666);
    if (fd == -1) return FailOpen(-1);
    // A second program (or a second window of this one) must not write the same archive. A file
    // system that keeps no locks at all still gets its pictures.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno != ENOLCK && errno != EOPNOTSUPP) return FailOpen(fd);
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
    const auto damaged = [&] {
        return EFileError(QStringLiteral("Cannot add picture %1: the picture archive %2 is damaged")
                              .arg(pictureFileName, EditorState.ArchiveName));
    };
    const auto unreadable = [&] {
        return EFileError(
            QStringLiteral("Cannot add picture %1: not a readable JPEG file").arg(pictureFileName));
    };

    TArchiveHeader header;
    if (!ReadHeader(fd, &header) || !header.Has(1)) throw damaged();
    const int32_t n = header.Count();
    EditorState.PictureCount = std::clamp<int32_t>(n, 0, ArchiveMaxPictures);
    if (n >= ArchiveMaxPictures) return;
    if (n < 0 || !header.Has(1 + n)) throw damaged();
    // T: where the free space begins, behind the last picture. A negative size would put it back
    // inside earlier pictures and overwrite them.
    qint64 used = 0;
    for (int i = 0; i < n; ++i) {
        if (header.Size(i) < 0) throw damaged();
        used += header.Size(i);
    }
    // Sizes reaching past the end of the file: the pictures they promise are not there, and the
    // new one would land gigabytes out in a hole.
    if (ArchiveHeaderSize + used > header.fileSize) throw damaged();

    QByteArray bytes;
    {
        QFile picture(pictureFileName);
        if (!picture.open(QIODevice::ReadOnly) || picture.isSequential() || picture.size() > INT32_MAX)
            throw unreadable();
        bytes = picture.readAll();
        if (bytes.size() != picture.size()) throw unreadable();
    }
    TJpegResult decoded =
        DecodeJpeg(reinterpret_cast<const unsigned char*>(bytes.constData()),
                   static_cast<size_t>(bytes.size()), PictureDecodeSize(PictureDevicePixelRatio()));
    if (decoded.image.isNull()) throw unreadable();

    const int32_t length = static_cast<int32_t>(bytes.size());
    const qint64 offset = ArchiveHeaderSize + used;
    // The count goes last, after the data is on disk: an addition cut short leaves N pictures.
    if (!WriteInt32At(fd, length, 8 + 4 * static_cast<qint64>(n)) ||
        !WriteAt(fd, bytes.constData(), length, offset) || ::fdatasync(fd) != 0 ||
        !WriteInt32At(fd, n + 1, 4)) {
        throw EFileError(QStringLiteral("Cannot add picture %1: the picture archive %2 cannot be written")
                             .arg(pictureFileName, EditorState.ArchiveName));
    }
    EditorState.PictureCount = n + 1;
    Session.pendingIndex = n;
    Session.pendingSource = TSlotSource{offset, length, false};
    Session.pendingImage = std::move(decoded.image);
}

void LoadPictures() {
    const int fd = EditorState.ArchiveFile;
    if (fd == -1) return;
    CheckSession();
    TArchiveHeader header;
    if (!ReadHeader(fd, &header)) header.bytes = 0;
    const int32_t n = header.Has(1) ? std::clamp<int32_t>(header.Count(), 0, ArchiveMaxPictures) : 0;
    EditorState.PictureCount = n;

    std::vector<TDecodeTask> tasks;
    std::vector<int> failed;
    qint64 offset = ArchiveHeaderSize;
    for (int i = 0; i < n; ++i) {
        const int32_t size = header.HasSize(i) ? header.Size(i) : -1;
        TSlotSource& source = Session.sources[static_cast<size_t>(i)];
        const bool inFile =
            header.HasSize(i) && size > 0 && offset >= ArchiveHeaderSize && offset + size <= header.fileSize;
        if (source.Same(offset, size) && (source.damaged || !PictureTable[static_cast<size_t>(i)].isNull())) {
            // Decoded (or found damaged and reported) earlier from these very bytes.
        } else if (!inFile) {
            PictureTable[static_cast<size_t>(i)] = QImage();
            source = TSlotSource{offset, size, true};
            failed.push_back(i);
        } else if (Session.pendingIndex == i && Session.pendingSource.Same(offset, size)) {
            PictureTable[static_cast<size_t>(i)] = std::move(Session.pendingImage);
            source = Session.pendingSource;
        } else {
            tasks.push_back(TDecodeTask{i, offset, size, QImage()});
        }
        if (header.HasSize(i)) offset += size;
    }
    Session.pendingIndex = -1;
    Session.pendingImage = QImage();

    DecodeTasks(fd, tasks, PictureDecodeSize(PictureDevicePixelRatio()));
    for (TDecodeTask& task : tasks) {
        const bool ok = !task.image.isNull();
        PictureTable[static_cast<size_t>(task.index)] = std::move(task.image);
        Session.sources[static_cast<size_t>(task.index)] = TSlotSource{task.offset, task.size, !ok};
        if (!ok) failed.push_back(task.index);
    }
    for (int i = n; i < PictureTableSize; ++i) {
        PictureTable[static_cast<size_t>(i)] = QImage();
        Session.sources[static_cast<size_t>(i)] = TSlotSource{};
    }

    if (failed.empty()) return;
    std::sort(failed.begin(), failed.end());
    const QString list = PictureNumberList(failed.data(), static_cast<int>(failed.size()));
    const QString what = failed.size() == 1 ? QStringLiteral("picture") : QStringLiteral("pictures");
    throw EFileError(QStringLiteral("Cannot show %1 %2 of %3: damaged or not JPEG data")
                         .arg(what, list, EditorState.ArchiveName));
}
