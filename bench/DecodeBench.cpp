// Open + Decode of an hour-long recording against a plain libmpg123 decode of the same bytes in
// memory (the floor), measured in the same run. Prints times, their ratio and the peak memory.
// Needs sox and lame to make the recording: apt-get install sox lame.
#include <mpg123.h>
#include <sys/resource.h>

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

#include "TMyPlayer0802.h"
#include "Timeline.h"

namespace {

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point from) {
    return std::chrono::duration<double>(TClock::now() - from).count();
}

// CPU time of this process: on a machine shared with other work, wall time mostly measures the
// neighbours, so the ratio is taken on CPU time.
double CpuSeconds() {
    timespec t{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t) != 0) return 0;
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct TTimes {
    double wall = 0;
    double cpu = 0;
};

TTimes Best(TTimes a, TTimes b) { return {std::min(a.wall, b.wall), std::min(a.cpu, b.cpu)}; }

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

struct TPlayerRun {
    TTimes times;
    double openCpu = 0;
    int32_t frameCount = 0;
    int32_t sampleCount = 0;
    int64_t peakGrowth = 0;
};

TPlayerRun TimePlayer(TMyPlayer0802& player, const QString& path) {
    TPlayerRun run;
    const int64_t residentBefore = ResidentBytes();
    const auto start = TClock::now();
    const double cpuStart = CpuSeconds();
    player.Release();
    player.FileName = path;
    if (!player.Open()) {
        std::fprintf(stderr, "bench: Open found no stream\n");
        std::exit(1);
    }
    run.openCpu = CpuSeconds() - cpuStart;
    int16_t* samples = nullptr;
    player.Decode(&samples, nullptr, &run.sampleCount);
    run.times = {Seconds(start), CpuSeconds() - cpuStart};
    run.peakGrowth = PeakResidentBytes() - residentBefore;
    run.frameCount = player.FrameCount;
    ReleaseSamples(samples);
    player.Release();
    return run;
}

struct THandleDeleter {
    void operator()(mpg123_handle* mh) const { mpg123_delete(mh); }
};

// The floor: libmpg123 decoding the whole file from memory, fed in 64 KiB pieces.
TTimes TimeFloor(const QByteArray& file, int64_t& pcmBytes) {
    const auto start = TClock::now();
    const double cpuStart = CpuSeconds();
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
    const TTimes times = {Seconds(start), CpuSeconds() - cpuStart};
    if (checksum == -1) std::printf("\n");  // keeps the decoded bytes observable
    return times;
}

}  // namespace

int main() {
    QTemporaryDir dir;
    QString path;
    if (!dir.isValid() || !MakeHourRecording(dir.path(), path)) {
        std::fprintf(stderr, "bench: cannot make the recording (are sox and lame installed?)\n");
        return 1;
    }
    QFile file(path);
    const int64_t fileSize = file.size();

    auto player = std::make_unique<TMyPlayer0802>();
    const TPlayerRun first = TimePlayer(*player, path);

    if (!file.open(QIODevice::ReadOnly)) return 1;
    const QByteArray bytes = file.readAll();
    int64_t pcmBytes = 0;
    TTimes floorBest = TimeFloor(bytes, pcmBytes);
    TTimes playerBest = first.times;
    double openBest = first.openCpu;
    for (int i = 0; i < 2; ++i) {
        const TPlayerRun again = TimePlayer(*player, path);
        playerBest = Best(playerBest, again.times);
        openBest = std::min(openBest, again.openCpu);
        floorBest = Best(floorBest, TimeFloor(bytes, pcmBytes));
    }

    const int64_t samplesBytes = static_cast<int64_t>(first.sampleCount) * 2;
    const int64_t memoryTarget = fileSize + samplesBytes + 16 * 1024 * 1024;
    const double mib = 1024.0 * 1024.0;
    std::printf("recording: 60 min MPEG-1 Layer III 128 kbit/s 44100 Hz stereo, %.1f MiB, %d frames\n",
                static_cast<double>(fileSize) / mib, first.frameCount);
    std::printf("Open+Decode (best of 3):     cpu %.3f s, wall %.3f s -> %d positions\n", playerBest.cpu,
                playerBest.wall, first.sampleCount);
    std::printf("  of which Open (file read, sync search, frame table): cpu %.3f s\n", openBest);
    std::printf("libmpg123 floor (best of 3): cpu %.3f s, wall %.3f s (%.1f MiB PCM)\n", floorBest.cpu,
                floorBest.wall, static_cast<double>(pcmBytes) / mib);
    std::printf("ratio: cpu %.3f, wall %.3f (target <= 1.10)\n", playerBest.cpu / floorBest.cpu,
                playerBest.wall / floorBest.wall);
    std::printf("peak memory growth of Open+Decode: %.1f MiB; file + Samples + 16 MiB = %.1f MiB (%s)\n",
                static_cast<double>(first.peakGrowth) / mib, static_cast<double>(memoryTarget) / mib,
                first.peakGrowth <= memoryTarget ? "within" : "OVER");
    return 0;
}
