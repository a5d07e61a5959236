// Open and Decode of an hour-long recording, measured in one run against two floors: a plain
// libmpg123 decode of the same bytes in memory on one thread, and a plain read of the file with a
// loop that steps from frame header to frame header. Decode runs once in one pass (one range) and
// once split over the machine's cores; both must give the same samples.
// Needs sox and lame to make the recording: apt-get install sox lame.
#include <fcntl.h>
#include <mpg123.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

#include "TMyPlayer0802.h"
#include "Timeline.h"

namespace {

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point from) {
    return std::chrono::duration<double>(TClock::now() - from).count();
}

// CPU time of the whole process, every thread included.
double CpuSeconds() {
    timespec t{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t) != 0) return 0;
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct TTimes {
    double wall = 1e9;
    double cpu = 1e9;
};

TTimes Best(TTimes a, TTimes b) { return {std::min(a.wall, b.wall), std::min(a.cpu, b.cpu)}; }

class TStopwatch {
  public:
    TStopwatch() : wall_(TClock::now()), cpu_(CpuSeconds()) {}
    TTimes Elapsed() const { return {Seconds(wall_), CpuSeconds() - cpu_}; }

  private:
    TClock::time_point wall_;
    double cpu_;
};

// Resident set now, from /proc; the high-water mark comes from getrusage.
int64_t ResidentBytes() {
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr) return -1;
    long pages = 0, resident = 0;
    const int fields = std::fscanf(f, "%ld %ld", &pages, &resident);
    std::fclose(f);
    return fields == 2 ? static_cast<int64_t>(resident) * 4096 : -1;
}

int64_t PeakResidentBytes() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0) return -1;
    return static_cast<int64_t>(usage.ru_maxrss) * 1024;
}

std::string LoadAverage() {
    FILE* f = std::fopen("/proc/loadavg", "r");
    if (f == nullptr) return "?";
    char text[64] = {};
    const bool read = std::fgets(text, sizeof text, f) != nullptr;
    std::fclose(f);
    std::string load = read ? text : "?";
    // The three averages only.
    for (int spaces = 0, i = 0; i < static_cast<int>(load.size()); ++i) {
        if (load[i] == ' ' && ++spaces == 3) return load.substr(0, i);
    }
    return load;
}

bool Run(const std::string& command) {
    const int status = std::system(command.c_str());
    if (status != 0) std::fprintf(stderr, "bench: failed (%d): %s\n", status, command.c_str());
    return status == 0;
}

// One minute of busy stereo audio, encoded at 128 kbit/s CBR without an Info frame, repeated
// sixty times: an hour-long stream whose frames chain across the joins.
bool MakeHourRecording(const QString& dir, QString& path) {
    const std::string d = dir.toStdString();
    if (!Run("sox -R -n -r 44100 -c 2 -b 16 '" + d + "/minute.wav' synth 60 pinknoise sine 220-3520 vol 0.4"))
        return false;
    if (!Run("lame --quiet -t --cbr -b 128 '" + d + "/minute.wav' '" + d + "/minute.mp3'")) return false;
    QFile minute(dir + "/minute.mp3");
    if (!minute.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = minute.readAll();
    path = dir + "/hour.mp3";
    QFile hour(path);
    if (!hour.open(QIODevice::WriteOnly)) return false;
    for (int i = 0; i < 60; ++i) {
        if (hour.write(bytes) != bytes.size()) return false;
    }
    return true;
}

uint64_t Fnv1a64(const int16_t* samples, int32_t count) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (int32_t i = 0; i < count; ++i) {
        const auto v = static_cast<uint16_t>(samples[i]);
        hash = (hash ^ (v & 0xFFu)) * 0x100000001b3ull;
        hash = (hash ^ (v >> 8)) * 0x100000001b3ull;
    }
    return hash;
}

struct TPlayerRun {
    TTimes open;
    TTimes total;  // Open + Decode
    int32_t frameCount = 0;
    int32_t sampleCount = 0;
    int32_t ranges = 0;
    int32_t rangesRedone = 0;
    int64_t peakGrowth = 0;
    uint64_t hash = 0;
};

TPlayerRun TimePlayer(TMyPlayer0802& player, const QString& path, int32_t ranges) {
    TPlayerRun run;
    player.Release();
    player.FileName = path;
    player.DecodeOverride.Ranges = ranges;
    const int64_t residentBefore = ResidentBytes();
    const TStopwatch watch;
    if (!player.Open()) {
        std::fprintf(stderr, "bench: Open found no stream\n");
        std::exit(1);
    }
    run.open = watch.Elapsed();
    int16_t* samples = nullptr;
    player.Decode(&samples, nullptr, &run.sampleCount);
    run.total = watch.Elapsed();
    run.peakGrowth = PeakResidentBytes() - residentBefore;
    run.frameCount = player.FrameCount;
    run.ranges = player.LastDecode().Ranges;
    run.rangesRedone = player.LastDecode().RangesRedone;
    run.hash = Fnv1a64(samples, run.sampleCount);
    ReleaseSamples(samples);
    player.Release();
    return run;
}

TTimes TimeOpen(TMyPlayer0802& player, const QString& path) {
    player.Release();
    player.FileName = path;
    const TStopwatch watch;
    if (!player.Open()) std::exit(1);
    const TTimes times = watch.Elapsed();
    player.Release();
    return times;
}

// The read floor: the file in one read into a fresh block, then frame after frame by the length
// its header gives (MPEG-1 Layer III bitrates, 44100 Hz: the recording's own format).
TTimes TimeReadAndScan(const QString& path, int64_t& frames) {
    static constexpr int32_t Kbits[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                          112, 128, 160, 192, 224, 256, 320, 0};
    const TStopwatch watch;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) std::exit(1);
    const auto size = static_cast<size_t>(info.st_size);
    std::unique_ptr<unsigned char[]> data(new unsigned char[size + 1]);
    const ssize_t got = ::read(fd, data.get(), size);
    ::close(fd);
    if (got != static_cast<ssize_t>(size)) std::exit(1);
    frames = 0;
    const unsigned char* b = data.get();
    for (size_t s = 0; s + 4 <= size; ++frames) {
        const unsigned char* h = b + s;
        if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) break;
        const int bitrate = Kbits[h[2] >> 4];
        if (bitrate == 0 || ((h[2] >> 2) & 3) == 3) break;
        s += static_cast<size_t>(144000 * bitrate / 44100 + ((h[2] >> 1) & 1));
    }
    return watch.Elapsed();
}

struct THandleDeleter {
    void operator()(mpg123_handle* mh) const { mpg123_delete(mh); }
};

// The decode floor: libmpg123 decoding the whole file from memory on one thread, fed in 64 KiB
// pieces.
TTimes TimeFloor(const QByteArray& file, int64_t& pcmBytes) {
    const TStopwatch watch;
    int error = MPG123_OK;
    std::unique_ptr<mpg123_handle, THandleDeleter> mh(mpg123_new(nullptr, &error));
    if (!mh || mpg123_param(mh.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0) != MPG123_OK ||
        mpg123_format_none(mh.get()) != MPG123_OK ||
        mpg123_format(mh.get(), 44100, MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK ||
        mpg123_open_feed(mh.get()) != MPG123_OK) {
        std::fprintf(stderr, "bench: libmpg123 setup failed\n");
        std::exit(1);
    }
    pcmBytes = 0;
    int64_t checksum = 0;
    const auto* data = reinterpret_cast<const unsigned char*>(file.constData());
    const size_t size = static_cast<size_t>(file.size());
    for (size_t at = 0; at < size; at += 65536) {
        if (mpg123_feed(mh.get(), data + at, std::min<size_t>(65536, size - at)) != MPG123_OK) std::exit(1);
        for (;;) {
            off_t frame = 0;
            unsigned char* audio = nullptr;
            size_t bytes = 0;
            const int result = mpg123_decode_frame(mh.get(), &frame, &audio, &bytes);
            if (result == MPG123_NEW_FORMAT) continue;
            if (result != MPG123_OK) break;
            pcmBytes += static_cast<int64_t>(bytes);
            if (bytes > 0) checksum += audio[0];
        }
    }
    const TTimes times = watch.Elapsed();
    if (checksum == -1) std::printf("\n");  // keeps the decoded bytes observable
    return times;
}

void PrintTimes(const char* what, TTimes t) {
    std::printf("%-44s wall %6.3f s, cpu %6.3f s\n", what, t.wall, t.cpu);
}

}  // namespace

int main() {
    const std::string loadBefore = LoadAverage();
    QTemporaryDir dir;
    QString path;
    if (!dir.isValid() || !MakeHourRecording(dir.path(), path)) {
        std::fprintf(stderr, "bench: cannot make the recording (are sox and lame installed?)\n");
        return 1;
    }
    QFile file(path);
    const int64_t fileSize = file.size();
    auto player = std::make_unique<TMyPlayer0802>();

    // The split run goes first, so that the process's high-water mark is its own.
    const TPlayerRun parallel = TimePlayer(*player, path, 0);
    TTimes parallelBest = parallel.total;
    const TPlayerRun single = TimePlayer(*player, path, 1);
    TTimes singleBest = single.total;

    if (!file.open(QIODevice::ReadOnly)) return 1;
    const QByteArray bytes = file.readAll();
    int64_t pcmBytes = 0;
    int64_t scannedFrames = 0;
    TTimes floorBest = TimeFloor(bytes, pcmBytes);
    TTimes openBest;
    TTimes readBest;
    for (int i = 0; i < 5; ++i) {
        openBest = Best(openBest, TimeOpen(*player, path));
        readBest = Best(readBest, TimeReadAndScan(path, scannedFrames));
    }
    for (int i = 0; i < 2; ++i) {
        parallelBest = Best(parallelBest, TimePlayer(*player, path, 0).total);
        singleBest = Best(singleBest, TimePlayer(*player, path, 1).total);
        floorBest = Best(floorBest, TimeFloor(bytes, pcmBytes));
    }

    const double mib = 1024.0 * 1024.0;
    const int32_t workers = parallel.ranges - 1;
    const int64_t samplesBytes = static_cast<int64_t>(parallel.sampleCount) * 2;
    const int64_t memoryTarget = fileSize + samplesBytes + int64_t{16} * 1024 * 1024 * std::max(1, workers);
    std::printf("recording: 60 min MPEG-1 Layer III 128 kbit/s 44100 Hz stereo, %.1f MiB, %d frames\n",
                static_cast<double>(fileSize) / mib, parallel.frameCount);
    std::printf("machine: %u hardware threads; load average before %s, after %s\n",
                std::thread::hardware_concurrency(), loadBefore.c_str(), LoadAverage().c_str());
    std::printf("best of several runs each:\n");
    PrintTimes("libmpg123 floor (one thread, from memory)", floorBest);
    PrintTimes("read + header scan floor", readBest);
    PrintTimes("Open alone", openBest);
    PrintTimes("Open + Decode in one pass", singleBest);
    PrintTimes("Open + Decode in ranges", parallelBest);
    std::printf("ranges: %d (%d decoded again in order); %d positions\n", parallel.ranges,
                parallel.rangesRedone, parallel.sampleCount);
    std::printf("ratio Open / read floor:            wall %.2f, cpu %.2f (target <= 1.5)\n",
                openBest.wall / readBest.wall, openBest.cpu / readBest.cpu);
    std::printf("ratio one pass / libmpg123 floor:   wall %.3f, cpu %.3f\n", singleBest.wall / floorBest.wall,
                singleBest.cpu / floorBest.cpu);
    std::printf("ratio in ranges / libmpg123 floor:  wall %.3f (target <= 0.60), cpu %.3f\n",
                parallelBest.wall / floorBest.wall, parallelBest.cpu / floorBest.cpu);
    std::printf(
        "peak memory growth of Open + Decode in ranges: %.1f MiB; file + Samples + 16 MiB per worker"
        " = %.1f MiB (%s)\n",
        static_cast<double>(parallel.peakGrowth) / mib, static_cast<double>(memoryTarget) / mib,
        parallel.peakGrowth <= memoryTarget ? "within" : "OVER");
    const bool same = parallel.hash == single.hash && parallel.sampleCount == single.sampleCount;
    std::printf("samples in ranges == samples in one pass: %s (fnv1a64 %016llx, %016llx)\n",
                same ? "yes" : "NO", static_cast<unsigned long long>(parallel.hash),
                static_cast<unsigned long long>(single.hash));
    if (scannedFrames != parallel.frameCount + 1)
        std::printf("note: the header scan found %lld frames\n", static_cast<long long>(scannedFrames));
    return same ? 0 : 1;
}
