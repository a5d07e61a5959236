#include "ProjectLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>

TLockResult TProjectLock::Acquire(const QString& path) {
    Release();
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, 0600);
    if (fd < 0) return TLockResult::Unavailable;
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? TLockResult::Busy : TLockResult::Unavailable;
    }
    fd_ = fd;
    return TLockResult::Held;
}

void TProjectLock::Release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}
