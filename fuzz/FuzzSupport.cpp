#include "FuzzSupport.h"

#include <QDir>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string ScratchFolder;

void RemoveScratch() {
    if (!ScratchFolder.empty()) QDir(QString::fromStdString(ScratchFolder)).removeRecursively();
}

const std::string& Folder() {
    if (ScratchFolder.empty()) {
        std::string pattern = QDir::tempPath().toStdString() + "/sorvelle-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        ScratchFolder = pattern;
        std::atexit(RemoveScratch);
    }
    return ScratchFolder;
}

}  // namespace

QString ScratchPath(const char* name) { return QString::fromStdString(Folder() + "/" + name); }

void WriteScratch(const QString& path, const uint8_t* data, size_t size) {
    QFile file(path);
    // A failure here is the machine's, not the input's: stop rather than test nothing.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) !=
            static_cast<qint64>(size)) {
        std::fprintf(stderr, "cannot write scratch file %s\n", qPrintable(path));
        std::abort();
    }
}

QByteArray ReadScratch(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    return file.readAll();
}

void FuzzFailure(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant failed: %s\n", file, line, what);
    std::abort();
}
