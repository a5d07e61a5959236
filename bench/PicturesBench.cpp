// Opening a picture archive of 100 camera-sized JPEGs (4000 x 3000), and adding one more, against
// a plain full-size decode of the same files measured in the same run. Prints its figures.
//
// Usage: pictures_bench [pictures] [distinct]  (defaults 100 and 20; the distinct pictures repeat)
#include <sys/resource.h>
#include <time.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "EditorState.h"
#include "FileError.h"
#include "JpegDecoder.h"
#include "PictureArchive.h"

namespace {

constexpr int Width = 4000;
constexpr int Height = 3000;

// Owns one libjpeg compressor and its output buffer.
class TCompressor {
  public:
    TCompressor() {
        cinfo_.err = jpeg_std_error(&err_);
        jpeg_create_compress(&cinfo_);
    }
    ~TCompressor() {
        jpeg_destroy_compress(&cinfo_);
        std::free(buffer_);
    }
    TCompressor(const TCompressor&) = delete;
    TCompressor& operator=(const TCompressor&) = delete;

    // A photograph-like picture: smooth light, edges and fine grain, seeded per picture.
    QByteArray Compress(unsigned seed) {
        unsigned long size = 0;
        jpeg_mem_dest(&cinfo_, &buffer_, &size);
        cinfo_.image_width = Width;
        cinfo_.image_height = Height;
        cinfo_.input_components = 3;
        cinfo_.in_color_space = JCS_RGB;
        jpeg_set_defaults(&cinfo_);
        jpeg_set_quality(&cinfo_, 88, TRUE);
        jpeg_start_compress(&cinfo_, TRUE);
        std::vector<JSAMPLE> row(Width * 3);
        unsigned state = seed * 2654435761u + 1;
        while (cinfo_.next_scanline < cinfo_.image_height) {
            const int y = static_cast<int>(cinfo_.next_scanline);
            for (int x = 0; x < Width; ++x) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                const int grain = static_cast<int>(state & 31) - 16;
                const int band = ((x / (97 + static_cast<int>(seed % 13)) + y / 89) & 1) * 40;
                row[3 * x] = static_cast<JSAMPLE>(std::clamp(x * 200 / Width + band + grain, 0, 255));
                row[3 * x + 1] = static_cast<JSAMPLE>(std::clamp(y * 180 / Height + 30 + grain, 0, 255));
                row[3 * x + 2] = static_cast<JSAMPLE>(
                    std::clamp(((x + y + static_cast<int>(seed) * 37) & 255) / 2 + grain, 0, 255));
            }
            JSAMPROW rows[1] = {row.data()};
            jpeg_write_scanlines(&cinfo_, rows, 1);
        }
        jpeg_finish_compress(&cinfo_);
        return QByteArray(reinterpret_cast<const char*>(buffer_), static_cast<qsizetype>(size));
    }

  private:
    jpeg_compress_struct cinfo_{};
    jpeg_error_mgr err_{};
    unsigned char* buffer_ = nullptr;
};

struct TMemory {
    long rssKiB = 0;
    long peakKiB = 0;
};

TMemory ReadMemory() {
    TMemory m;
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return m;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) m.rssKiB = line.mid(6).trimmed().split(' ').first().toLong();
        if (line.startsWith("VmHWM:")) m.peakKiB = line.mid(6).trimmed().split(' ').first().toLong();
    }
    return m;
}

// Lets VmHWM start again from the current resident size.
void ResetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly)) clear.write("5");
}

double CpuSeconds(clockid_t clock = CLOCK_PROCESS_CPUTIME_ID) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct TPhase {
    double seconds = 0;
    double cpuSeconds = 0;     // all threads of the process
    double guiCpuSeconds = 0;  // the calling thread alone: the critical path when cores are free
    double peakMiB = 0;        // growth of the resident set above its level at the start
};

template <typename Work>
TPhase Measure(Work work) {
    ResetPeak();
    const TMemory before = ReadMemory();
    QElapsedTimer timer;
    const double cpu = CpuSeconds();
    const double guiCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    timer.start();
    work();
    TPhase phase;
    phase.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    phase.cpuSeconds = CpuSeconds() - cpu;
    phase.guiCpuSeconds = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - guiCpu;
    phase.peakMiB = static_cast<double>(ReadMemory().peakKiB - before.rssKiB) / 1024.0;
    return phase;
}

double PictureMemoryMiB() {
    qint64 bytes = 0;
    for (const QImage& slot : PictureTable) bytes += slot.sizeInBytes();
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 499) : 100;
    const int distinct = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, count) : std::min(count, 20);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "pictures_bench: no temporary folder\n");
        return 1;
    }

    std::printf("Generating %d JPEGs of %d x %d (%d distinct)...\n", count, Width, Height, distinct);
    std::fflush(stdout);
    std::vector<QByteArray> files;
    {
        TCompressor compressor;
        for (int i = 0; i < distinct; ++i) files.push_back(compressor.Compress(static_cast<unsigned>(i + 1)));
    }
    QByteArray header(ArchiveHeaderSize, '\0');
    qToLittleEndian<int32_t>(1, header.data());
    qToLittleEndian<int32_t>(count, header.data() + 4);
    qint64 total = 0;
    for (int i = 0; i < count; ++i) {
        const QByteArray& file = files[static_cast<size_t>(i % distinct)];
        qToLittleEndian<int32_t>(static_cast<int32_t>(file.size()), header.data() + 8 + 4 * i);
        total += file.size();
    }
    const QString archiveName = dir.filePath(QStringLiteral("bench.ims"));
    {
        QFile archive(archiveName);
        if (!archive.open(QIODevice::WriteOnly) || archive.write(header) != header.size()) return 1;
        for (int i = 0; i < count; ++i) {
            const QByteArray& file = files[static_cast<size_t>(i % distinct)];
            if (archive.write(file) != file.size()) return 1;
        }
    }
    const QString extraName = dir.filePath(QStringLiteral("extra.jpg"));
    {
        TCompressor compressor;
        QFile extra(extraName);
        const QByteArray bytes = compressor.Compress(977);
        if (!extra.open(QIODevice::WriteOnly) || extra.write(bytes) != bytes.size()) return 1;
    }
    std::printf("Archive: %.1f MiB of JPEG data\n\n", static_cast<double>(total) / (1024.0 * 1024.0));

    // Baseline: every file decoded at full size, one after the other, each bitmap dropped.
    int baselineFailures = 0;
    const TPhase full = Measure([&] {
        for (int i = 0; i < count; ++i) {
            const QByteArray& file = files[static_cast<size_t>(i % distinct)];
            const TJpegResult r = DecodeJpeg(reinterpret_cast<const unsigned char*>(file.constData()),
                                             static_cast<size_t>(file.size()), QSize());
            if (r.image.size() != QSize(Width, Height)) ++baselineFailures;
        }
    });

    // The same files at the strip's scale on one thread: the decoder's share of Open.
    const TPhase scaled = Measure([&] {
        for (int i = 0; i < count; ++i) {
            const QByteArray& file = files[static_cast<size_t>(i % distinct)];
            const TJpegResult r = DecodeJpeg(reinterpret_cast<const unsigned char*>(file.constData()),
                                             static_cast<size_t>(file.size()), PictureDecodeSize(1.0));
            if (r.image.isNull()) ++baselineFailures;
        }
    });

    ResetEditorState();
    EditorState.ArchiveName = archiveName;
    QString openError;
    const TPhase open = Measure([&] {
        try {
            OpenArchive();
            LoadPictures();
        } catch (const EFileError& e) {
            openError = QString::fromUtf8(e.what());
        }
    });
    const double pictureMiB = PictureMemoryMiB();
    int loaded = 0;
    for (int i = 0; i < count; ++i) loaded += PictureTable[static_cast<size_t>(i)].isNull() ? 0 : 1;
    const QSize decodedSize = PictureTable[0].size();

    const TPhase add = Measure([&] {
        try {
            AppendPicture(extraName);
            LoadPictures();
        } catch (const EFileError& e) {
            openError = QString::fromUtf8(e.what());
        }
    });
    const double pictureMiBAfterAdd = PictureMemoryMiB();
    const int countAfterAdd = EditorState.PictureCount;
    CloseArchive();

    const double perFull = full.seconds / count;
    std::printf("%-44s %9s %9s %11s %10s\n", "phase", "seconds", "CPU s", "GUI-thread s", "peak MiB");
    const auto row = [](const char* name, const TPhase& p) {
        std::printf("%-44s %9.3f %9.3f %11.3f %10.1f\n", name, p.seconds, p.cpuSeconds, p.guiCpuSeconds,
                    p.peakMiB);
    };
    row("full-size decode of the files (baseline)", full);
    row("scaled decode of the files, one thread", scaled);
    row("Open: OpenArchive + LoadPictures", open);
    row("one addition: AppendPicture + LoadPictures", add);
    std::printf("\n");
    std::printf("CPU time of Open / full-size decode: %5.1f %%  (all threads)\n",
                100.0 * open.cpuSeconds / full.cpuSeconds);
    std::printf("GUI-thread CPU of Open / full-size:  %5.1f %%  (the wall-time ratio with free cores)\n",
                100.0 * open.guiCpuSeconds / full.cpuSeconds);
    std::printf("Open / full-size decode:            %6.1f %%   (target <= 40 %%)  %s\n",
                100.0 * open.seconds / full.seconds, open.seconds <= 0.4 * full.seconds ? "met" : "MISSED");
    std::printf("picture memory after Open:          %6.1f MiB (target < 150 MiB) %s\n", pictureMiB,
                pictureMiB < 150.0 ? "met" : "MISSED");
    std::printf("addition / one full-size decode:    %6.1f %%\n", 100.0 * add.seconds / perFull);
    std::printf("picture memory after the addition:  %6.1f MiB, %d pictures\n", pictureMiBAfterAdd,
                countAfterAdd);
    std::printf("decoded picture size:               %d x %d; %d of %d loaded\n", decodedSize.width(),
                decodedSize.height(), loaded, count);
    if (!openError.isEmpty() || baselineFailures != 0 || loaded != count) {
        std::printf("ERRORS: %s; %d baseline failures\n", qPrintable(openError), baselineFailures);
        return 1;
    }
    return 0;
}
