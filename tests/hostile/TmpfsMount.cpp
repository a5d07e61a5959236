#include "TmpfsMount.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QDir>
#include <cerrno>
#include <cstring>

TTmpfsMount::TTmpfsMount(qint64 sizeBytes) {
    QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/sorvelle-tmpfs-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        error_ = QStringLiteral("mkdtemp: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    path_ = QString::fromLocal8Bit(pattern);
    const QByteArray options = "size=" + QByteArray::number(sizeBytes) + ",mode=0755";
    if (::mount("sorvelle-test", pattern.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) !=
        0) {
        error_ = QStringLiteral("mount -t tmpfs: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    mounted_ = true;
}

TTmpfsMount::~TTmpfsMount() {
    if (path_.isEmpty()) return;
    const QByteArray path = QFile::encodeName(path_);
    // Lazily, so that a file a failed test left open cannot keep the mount alive.
    if (mounted_) ::umount2(path.constData(), MNT_DETACH);
    ::rmdir(path.constData());
}

bool TTmpfsMount::RemountReadOnly() {
    const QByteArray path = QFile::encodeName(path_);
    return ::mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV,
                   nullptr) == 0;
}

int TTmpfsMount::FillUp() {
    static const QByteArray page(4096, 'f');
    for (;;) {
        const QString name = FilePath(QStringLiteral("filler-%1").arg(fillers_.size()));
        const QByteArray encoded = QFile::encodeName(name);
        const int fd = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) break;
        const ssize_t written = ::write(fd, page.constData(), static_cast<size_t>(page.size()));
        ::close(fd);
        if (written != page.size()) {
            ::unlink(encoded.constData());
            break;
        }
        fillers_ << name;
    }
    return static_cast<int>(fillers_.size());
}

void TTmpfsMount::FreeFillers(int count) {
    for (int i = 0; i < count && !fillers_.isEmpty(); ++i) QFile::remove(fillers_.takeLast());
}

QStringList TTmpfsMount::Files() const {
    QStringList files = QDir(path_).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    files.removeIf([](const QString& f) { return f.startsWith(QStringLiteral("filler-")); });
    return files;
}
