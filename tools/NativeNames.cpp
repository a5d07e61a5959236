#include "NativeNames.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <map>

namespace {

constexpr char16_t CarriedBase = 0xDC00;

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Bytes of the valid UTF-8 sequence at p, 0 when there is none (overlong forms, surrogates and
// code points beyond U+10FFFF are not valid).
int SequenceLength(const unsigned char* p, qsizetype left) {
    const unsigned char b = p[0];
    if (b < 0x80) return 1;
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0) low = 0xA0;
        if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0) low = 0x90;
        if (b == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (left < length || p[1] < low || p[1] > high) return 0;
    for (int k = 2; k < length; ++k) {
        if (!IsContinuation(p[k])) return 0;
    }
    return length;
}

bool IsCarried(QChar c) { return c.unicode() >= CarriedBase + 0x80 && c.unicode() <= CarriedBase + 0xFF; }

// A name that Qt spells as it is: one without carried bytes.
bool Spellable(const QByteArray& native) {
    const auto* p = reinterpret_cast<const unsigned char*>(native.constData());
    for (qsizetype i = 0; i < native.size();) {
        const int length = SequenceLength(p + i, native.size() - i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

struct TSplitName {
    QByteArray folder;  // "." for a bare name
    QByteArray base;
};

TSplitName Split(QByteArray native) {
    while (native.size() > 1 && native.endsWith('/')) native.chop(1);
    const qsizetype slash = native.lastIndexOf('/');
    if (slash < 0) return {QByteArrayLiteral("."), native};
    return {slash == 0 ? QByteArrayLiteral("/") : native.left(slash), native.mid(slash + 1)};
}

// Descriptors opened here stay open until the process ends: the paths handed out refer to them.
// A file's descriptor is opened afresh each time, as a write may have put another file under its
// name; a folder's is kept.
int OpenPathDescriptor(const QByteArray& native, bool folder) {
    static std::map<QByteArray, int> folders;
    if (!folder) return ::open(native.constData(), O_PATH | O_CLOEXEC);
    const auto found = folders.find(native);
    if (found != folders.end()) return found->second;
    const int fd = ::open(native.constData(), O_PATH | O_CLOEXEC | O_DIRECTORY);
    if (fd >= 0) folders.emplace(native, fd);
    return fd;
}

QString DescriptorPath(int fd) { return QStringLiteral("/proc/self/fd/%1").arg(fd); }

// The folder as a path Qt can use, with its descriptor (-1 when Qt spells the folder itself);
// empty when the folder cannot be opened.
QString FolderPath(const QByteArray& folder, int* fd) {
    *fd = -1;
    if (Spellable(folder)) return QFile::decodeName(folder);
    *fd = OpenPathDescriptor(folder, true);
    return *fd < 0 ? QString() : DescriptorPath(*fd);
}

QString Join(const QString& folder, const QByteArray& base) {
    return folder + (folder.endsWith(u'/') ? QString() : QStringLiteral("/")) + QFile::decodeName(base);
}

}  // namespace

QString NameFromNative(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    QString name;
    qsizetype run = 0;  // start of the valid bytes not yet decoded
    qsizetype i = 0;
    while (i < bytes.size()) {
        const int length = SequenceLength(p + i, bytes.size() - i);
        if (length > 0) {
            i += length;
            continue;
        }
        name += QString::fromUtf8(bytes.constData() + run, i - run);
        name += QChar(char16_t(CarriedBase + p[i]));
        run = ++i;
    }
    name += QString::fromUtf8(bytes.constData() + run, i - run);
    return name;
}

QByteArray NativeFromName(const QString& name) {
    QByteArray bytes;
    qsizetype run = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        // A low surrogate right behind a high one is half of a character, not a carried byte.
        if (!IsCarried(name[i]) || (i > 0 && name[i - 1].isHighSurrogate())) continue;
        bytes += QFile::encodeName(name.mid(run, i - run));
        bytes += char(name[i].unicode() - CarriedBase);
        run = i + 1;
    }
    bytes += QFile::encodeName(name.mid(run));
    return bytes;
}

TFileKind KindOf(const QString& name) {
    struct stat info {};
    if (name.isEmpty() || ::stat(NativeFromName(name).constData(), &info) != 0) return TFileKind::Missing;
    if (S_ISREG(info.st_mode)) return TFileKind::File;
    if (S_ISDIR(info.st_mode)) return TFileKind::Folder;
    return TFileKind::Other;
}

QString AccessPath(const QString& name) {
    const QByteArray native = NativeFromName(name);
    if (Spellable(native)) return name;
    const TSplitName split = Split(native);
    if (!Spellable(split.base)) {
        const int fd = OpenPathDescriptor(native, false);
        return fd < 0 ? QString() : DescriptorPath(fd);
    }
    int folderFd = -1;
    const QString folder = FolderPath(split.folder, &folderFd);
    return folder.isEmpty() ? QString() : Join(folder, split.base);
}

bool WriteNamedFile(const QString& name, const std::function<bool(const QString& path)>& write) {
    const TSplitName split = Split(NativeFromName(name));
    int folderFd = -1;
    const QString folder = FolderPath(split.folder, &folderFd);
    if (folder.isEmpty() || split.base.isEmpty()) return false;
    if (Spellable(split.base)) return write(Join(folder, split.base));

    if (folderFd < 0) folderFd = OpenPathDescriptor(split.folder, true);
    if (folderFd < 0) return false;
    QByteArray temporary;
    struct stat info {};
    for (int attempt = 0;; ++attempt) {
        temporary = ".sorvelle-cli-" + QByteArray::number(::getpid()) + "-" + QByteArray::number(attempt);
        if (::fstatat(folderFd, temporary.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) break;
    }
    const QString temporaryPath = Join(folder, temporary);
    const bool exists = ::fstatat(folderFd, split.base.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    // The rename below replaces what the name holds: only a regular file may be replaced so. A
    // link would lose its target, a device or a pipe would become a file.
    if (exists && !S_ISREG(info.st_mode)) return false;
    const bool written = (!exists || QFile::copy(AccessPath(name), temporaryPath)) && write(temporaryPath) &&
                         ::renameat(folderFd, temporary.constData(), folderFd, split.base.constData()) == 0;
    if (!written) ::unlinkat(folderFd, temporary.constData(), 0);
    return written;
}

bool SameFile(const QString& a, const QString& b) {
    const QByteArray nativeA = NativeFromName(a);
    const QByteArray nativeB = NativeFromName(b);
    struct stat infoA {};
    struct stat infoB {};
    const bool existsA = ::stat(nativeA.constData(), &infoA) == 0;
    const bool existsB = ::stat(nativeB.constData(), &infoB) == 0;
    if (existsA && existsB) return infoA.st_dev == infoB.st_dev && infoA.st_ino == infoB.st_ino;
    if (existsA || existsB) return false;
    // Neither exists yet: writing one would create the other.
    const TSplitName splitA = Split(nativeA);
    const TSplitName splitB = Split(nativeB);
    if (splitA.base != splitB.base) return false;
    if (::stat(splitA.folder.constData(), &infoA) != 0 || ::stat(splitB.folder.constData(), &infoB) != 0)
        return splitA.folder == splitB.folder;
    return infoA.st_dev == infoB.st_dev && infoA.st_ino == infoB.st_ino;
}
