#include "SafeSave.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>

namespace {

// Owns a file descriptor.
class TFd {
  public:
    explicit TFd(int fd = -1) : fd_(fd) {}
    ~TFd() { Close(); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    // False when closing reports an error: on some file systems a write fails only here.
    bool Close() {
        if (fd_ < 0) return true;
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0;
    }

  private:
    int fd_;
};

bool WriteAllAt(int fd, const char* data, qint64 length, qint64 offset) {
    qint64 done = 0;
    while (done < length) {
        const ssize_t n =
            ::pwrite(fd, data + done, static_cast<size_t>(length - done), static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

qint64 ReadAllAt(int fd, char* data, qint64 length, qint64 offset) {
    qint64 done = 0;
    while (done < length) {
        const ssize_t n =
            ::pread(fd, data + done, static_cast<size_t>(length - done), static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

QByteArray FolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) return QByteArray(".");
    if (slash == 0) return QByteArray("/");
    return path.left(slash);
}

// The file a path finally names, every symbolic link on the way followed; empty for a loop of
// links. A dangling link gives the name it points to, where the file is then created.
QByteArray FollowLinks(QByteArray path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t length =
            ::readlink(path.constData(), target.data(), static_cast<size_t>(target.size()));
        if (length <= 0 || length >= target.size()) return {};
        target.truncate(length);
        path = target.startsWith('/') ? target : FolderOf(path) + '/' + target;
    }
    return {};
}

// A new empty file beside `target`, hidden and named after it; -1 with errno set when the folder
// takes none.
int CreateTemporary(const QByteArray& target, QByteArray* name) {
    const qsizetype slash = target.lastIndexOf('/');
    // Room for the dot and the six random letters within the 255 bytes of a file name.
    const QByteArray base = target.mid(slash + 1).left(240);
    QByteArray pattern = target.left(slash + 1) + '.' + base + ".XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0) *name = pattern;
    return fd;
}

// Copies the bytes of `from` .. `to` between files of the same layout, skipping holes, so that a
// sparse tail stays sparse and costs no more than its data.
bool CopyRange(int in, int out, off_t from, off_t to) {
    off_t at = from;
    while (at < to) {
        off_t dataStart = ::lseek(in, at, SEEK_DATA);
        if (dataStart < 0) {
            if (errno == ENXIO) break;  // only a hole is left
            dataStart = at;
        }
        if (dataStart >= to) break;
        off_t dataEnd = ::lseek(in, dataStart, SEEK_HOLE);
        if (dataEnd < 0 || dataEnd > to) dataEnd = to;
        off_t inOffset = dataStart;
        off_t outOffset = dataStart;
        while (inOffset < dataEnd) {
            const ssize_t n =
                ::copy_file_range(in, &inOffset, out, &outOffset, static_cast<size_t>(dataEnd - inOffset), 0);
            if (n > 0) continue;
            if (n < 0 && errno == EINTR) continue;
            if (n == 0) return false;  // the file ended early
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
            // No kernel copy between these files: through a buffer.
            QByteArray chunk(1 << 20, Qt::Uninitialized);
            while (inOffset < dataEnd) {
                const qint64 want = std::min<qint64>(chunk.size(), dataEnd - inOffset);
                if (ReadAllAt(in, chunk.data(), want, inOffset) != want) return false;
                if (!WriteAllAt(out, chunk.constData(), want, inOffset)) return false;
                inOffset += static_cast<off_t>(want);
            }
        }
        at = dataEnd;
    }
    // A hole at the end is made by the length alone.
    return ::ftruncate(out, to) == 0;
}

// Durability of the rename itself; a folder that cannot be synced changes nothing of the result.
void SyncFolder(const QByteArray& target) {
    TFd folder(::open(FolderOf(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid()) ::fsync(folder.Get());
}

// Moves the finished temporary file to `target`. replace is false where no file was there: one
// that appeared meanwhile is not overwritten.
bool Commit(const QByteArray& tempName, const QByteArray& target, bool replace) {
    if (!replace) {
        if (::renameat2(AT_FDCWD, tempName.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno != EINVAL && errno != ENOSYS) return false;
    }
    return ::rename(tempName.constData(), target.constData()) == 0;
}

// The process's file mode creation mask. Setting it to read it would race with any other thread
// that creates a file at that moment (recovery snapshots are written on a thread of their own), so
// it is read from the kernel; only a kernel that does not tell gets the old way, serialised.
mode_t CurrentUmask() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
            if (!line.startsWith("Umask:")) continue;
            bool ok = false;
            const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
            if (ok) return mode_t(mask & 0777);
        }
    }
    static std::mutex guard;
    const std::lock_guard<std::mutex> hold(guard);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

bool CreateFile(const QByteArray& target, const QByteArray& bytes) {
    QByteArray tempName;
    TFd temp(CreateTemporary(target, &tempName));
    if (!temp.Valid()) return false;
    // A new file gets the permissions any program's new file gets here.
    const mode_t mask = CurrentUmask();
    const bool written = ::fchmod(temp.Get(), 0666 & ~mask) == 0 &&
                         WriteAllAt(temp.Get(), bytes.constData(), bytes.size(), 0) &&
                         ::fsync(temp.Get()) == 0;
    if (!temp.Close() || !written || !Commit(tempName, target, false)) {
        ::unlink(tempName.constData());
        return false;
    }
    SyncFolder(target);
    return true;
}

// The whole new content in a temporary file that takes the old file's place.
bool WriteReplacement(int temp, int old, const struct stat& st, const QByteArray& bytes, TOldTail tail) {
    // Owner and group before the mode: changing them may clear the set-user-ID and set-group-ID
    // bits. Only root may give a file away; a group the user belongs to may still be kept.
    if (::fchown(temp, st.st_uid, st.st_gid) != 0) (void)::fchown(temp, static_cast<uid_t>(-1), st.st_gid);
    if (::fchmod(temp, st.st_mode & 07777) != 0) return false;
    if (!WriteAllAt(temp, bytes.constData(), bytes.size(), 0)) return false;
    if (tail == TOldTail::Keep && st.st_size > bytes.size() &&
        !CopyRange(old, temp, bytes.size(), st.st_size))
        return false;
    return ::fsync(temp) == 0;
}

// The new content written over the old in the same file. The bytes about to be overwritten or cut
// off are read first, when the file can be read, and written back if the write fails.
bool WriteInPlace(int writable, int readable, qint64 oldSize, const QByteArray& bytes, TOldTail tail) {
    const qint64 length = bytes.size();
    QByteArray previous;
    bool canRestore = false;
    if (readable >= 0) {
        previous.resize(tail == TOldTail::Keep ? std::min(oldSize, length) : oldSize);
        canRestore = ReadAllAt(readable, previous.data(), previous.size(), 0) == previous.size();
    }
    // Room for the growth reserved first: a full disk then fails before a byte is overwritten.
    if (length > oldSize && ::fallocate(writable, FALLOC_FL_KEEP_SIZE, oldSize, length - oldSize) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
        return false;
    }
    const bool written = WriteAllAt(writable, bytes.constData(), length, 0) &&
                         (tail == TOldTail::Keep || ::ftruncate(writable, length) == 0) &&
                         ::fdatasync(writable) == 0;
    if (written) return true;
    if (canRestore) {
        WriteAllAt(writable, previous.constData(), previous.size(), 0);
        (void)::ftruncate(writable, oldSize);
        (void)::fdatasync(writable);
    }
    return false;
}

bool SameFile(int fd, const struct stat& st, struct stat* opened) {
    return ::fstat(fd, opened) == 0 && S_ISREG(opened->st_mode) && opened->st_dev == st.st_dev &&
           opened->st_ino == st.st_ino;
}

bool ReplaceFile(const QByteArray& target, const struct stat& st, const QByteArray& bytes, TOldTail tail) {
    // A file that cannot be opened for writing is not replaced either. O_NONBLOCK: should the name
    // be swapped for a pipe meanwhile, opening it must not hang; the checks below then refuse it.
    const int flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    TFd writable(::open(target.constData(), O_WRONLY | flags));
    struct stat opened {};
    if (!writable.Valid() || !SameFile(writable.Get(), st, &opened)) return false;
    TFd readable(::open(target.constData(), O_RDONLY | flags));
    struct stat read {};
    if (readable.Valid() && !SameFile(readable.Get(), st, &read)) return false;

    // Other names of the file must see the new content, and a file that cannot be read has a
    // tail that cannot be copied: both are written where they are.
    if (opened.st_nlink > 1 || !readable.Valid())
        return WriteInPlace(writable.Get(), readable.Get(), opened.st_size, bytes, tail);
    QByteArray tempName;
    TFd temp(CreateTemporary(target, &tempName));
    if (!temp.Valid()) {
        // A folder that takes no new file while the file itself can be written.
        if (errno == EACCES || errno == EPERM)
            return WriteInPlace(writable.Get(), readable.Get(), opened.st_size, bytes, tail);
        return false;
    }
    const bool written = WriteReplacement(temp.Get(), readable.Get(), opened, bytes, tail);
    if (!temp.Close() || !written || !Commit(tempName, target, true)) {
        ::unlink(tempName.constData());
        return false;
    }
    SyncFolder(target);
    return true;
}

}  // namespace

bool SaveFileSafely(const QString& path, const QByteArray& bytes, TOldTail tail) {
    if (path.isEmpty()) return false;
    const QByteArray target = FollowLinks(QFile::encodeName(path));
    if (target.isEmpty()) return false;
    struct stat st {};
    if (::lstat(target.constData(), &st) != 0) return errno == ENOENT && CreateFile(target, bytes);
    // A device, a pipe or a folder is neither written nor replaced by a file.
    if (!S_ISREG(st.st_mode)) return false;
    return ReplaceFile(target, st, bytes, tail);
}
