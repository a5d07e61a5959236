// Aligns the narrations made by scripts/make-align-bench.sh and prints time, real-time factor,
// peak memory and accuracy against the true start and end of every line's speech.
// Usage: bench_align [FOLDER ...]   (default: build/bench/align/espeak, other-*, robust)
// A folder without p.txt is a family of sets (one condition each, in its subfolders): each is
// aligned and the family is printed as a table, one row per condition and one for all of them.
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "AlignProject.h"
#include "Aligner.h"
#include "EditorState.h"
#include "ProjectFiles.h"
#include "TMyPlayer0802.h"
#include "Timeline.h"

namespace {

constexpr double Rate = 11025.0;

struct TTruth {
    double Start = 0.0;  // seconds in the recording before encoding
    double End = 0.0;
};

std::vector<TTruth> ReadTruth(const QString& path) {
    std::vector<TTruth> truth;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return truth;
    for (const QByteArray& row : f.readAll().split('\n')) {
        const QList<QByteArray> cols = row.split('\t');
        if (cols.size() < 3) continue;
        truth.push_back({cols[1].toDouble(), cols[2].toDouble()});
    }
    return truth;
}

// The encoder's and decoder's delay: the lag, in positions, at which the decoded timeline best
// matches the recording before encoding.
int MeasureDelay(const int16_t* samples, int32_t count, const QString& refPath) {
    QFile f(refPath);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray bytes = f.readAll();
    const auto* ref = reinterpret_cast<const int16_t*>(bytes.constData());
    const int64_t n = std::min<int64_t>(bytes.size() / 2, count) - 4000;
    int best = 0;
    double bestScore = -1e300;
    for (int lag = 0; lag < 4000; ++lag) {
        double acc = 0.0;
        for (int64_t i = 0; i < n; i += 2) acc += double(ref[i]) * samples[i + lag];
        if (acc > bestScore) {
            bestScore = acc;
            best = lag;
        }
    }
    return best;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[size_t(p * double(v.size() - 1) + 0.5)];
}

long PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// One set's accuracy.
struct TFigures {
    int Lines = 0;
    int Clean = 0;
    std::vector<double> Errors;     // seconds, two per line with a segment
    std::vector<double> StartBias;  // seconds, segment start minus speech start
    std::vector<double> EndBias;    // seconds, segment finish minus speech end
    double Wall = 0.0;
    double Seconds = 0.0;
};

bool RunSet(const QString& folder, bool quiet, TFigures& figures) {
    const QString text = folder + QStringLiteral("/p.txt");
    if (!FileExists(text)) {
        std::fprintf(stderr, "%s: no p.txt (run scripts/make-align-bench.sh)\n", qPrintable(folder));
        return false;
    }
    QStringList lines = LoadTextFile(text).text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    const std::vector<TTruth> truth = ReadTruth(folder + QStringLiteral("/truth.tsv"));

    auto player = std::make_unique<TMyPlayer0802>();
    player->FileName = folder + QStringLiteral("/p.mp3");
    if (!player->Open()) {
        std::fprintf(stderr, "%s: no stream in p.mp3\n", qPrintable(folder));
        return false;
    }
    int16_t* samples = nullptr;
    int32_t count = 0;
    const auto d0 = std::chrono::steady_clock::now();
    player->Decode(&samples, nullptr, &count);
    const double decodeWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - d0).count();
    const long decodedMiB = PeakMiB();
    const TSamplesOwner owner(samples);
    const int delay = MeasureDelay(samples, count, folder + QStringLiteral("/ref.raw"));

    TItemRec records[ItemTableSize];
    const TAlignRequest request = MakeProjectRequest(lines, records, samples, count, TAlignSelection{}, "");
    const auto t0 = std::chrono::steady_clock::now();
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const TAlignResult result = AlignLines(request);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    auto cpu = [](const rusage& r) {
        return double(r.ru_utime.tv_sec) + double(r.ru_utime.tv_usec) * 1e-6 + double(r.ru_stime.tv_sec) +
               double(r.ru_stime.tv_usec) * 1e-6;
    };
    if (result.Status != TAlignStatus::Ok) {
        std::fprintf(stderr, "%s: alignment failed (%d)\n", qPrintable(folder), int(result.Status));
        return false;
    }

    const bool verbose = qEnvironmentVariableIsSet("ALIGN_BENCH_VERBOSE");
    const QString name = QFileInfo(folder).fileName();
    std::vector<double> errors, startBias, endBias;
    int clean = 0, scored = 0, low = 0;
    const double tol = 0.030;
    for (size_t i = 0; i < truth.size() && i < result.Lines.size(); ++i) {
        const TLineSegment& seg = result.Lines[i];
        const double ts = truth[i].Start + delay / Rate, te = truth[i].End + delay / Rate;
        const double prevEnd = i > 0 ? truth[i - 1].End + delay / Rate : -1e9;
        const double nextStart = i + 1 < truth.size() ? truth[i + 1].Start + delay / Rate : 1e9;
        ++scored;
        if (!seg.HasSegment) {
            if (verbose) std::printf("  %s line %zu: no segment\n", qPrintable(name), i);
            continue;
        }
        const double s = seg.Start / Rate, e = seg.Finish / Rate;
        errors.push_back(std::abs(s - ts));
        errors.push_back(std::abs(e - te));
        startBias.push_back(s - ts);
        endBias.push_back(e - te);
        const bool ok = s <= ts + tol && e >= te - tol && s >= prevEnd - tol && e <= nextStart + tol;
        clean += ok;
        low += seg.Confidence < LowConfidence;
        if (verbose && (!ok || seg.Confidence < LowConfidence)) {
            // With the pauses before and after the line, so that a start or finish in a
            // neighbour's speech shows.
            std::printf(
                "  %s line %zu: %s start %+.0f ms (pause %.0f), end %+.0f ms (pause %.0f), confidence %.2f\n",
                qPrintable(name), i, ok ? "clean" : "NOT CLEAN", (s - ts) * 1000, (ts - prevEnd) * 1000,
                (e - te) * 1000, (nextStart - te) * 1000, double(seg.Confidence));
        }
    }
    const double seconds = count / Rate;
    figures = TFigures{scored, clean, errors, startBias, endBias, wall, seconds};
    if (quiet) return true;
    std::printf("%s: %d lines, %.0f s of recording, voice %s\n", qPrintable(folder), scored, seconds,
                result.Voice.c_str());
    std::printf("  wall %.2f s (cpu %.2f s), real-time factor %.0f, peak memory %ld MiB\n", wall,
                cpu(after) - cpu(before), seconds / wall, PeakMiB());
    std::printf(
        "  baseline: Decode of the recording %.2f s (alignment / decode %.1f), peak memory after it %ld "
        "MiB\n",
        decodeWall, wall / std::max(1e-6, decodeWall), decodedMiB);
    std::printf(
        "  clean lines %d of %d (%.1f %%), boundary error median %.0f ms, 95th percentile %.0f ms, "
        "low confidence %d\n",
        clean, scored, 100.0 * clean / std::max(1, scored), 1000 * Percentile(errors, 0.5),
        1000 * Percentile(errors, 0.95), low);
    return true;
}

void PrintRow(const QString& name, const TFigures& f) {
    std::printf("  %-24s %4d %6.1f %% %7.0f %7.0f %+7.0f %+7.0f %7.2f\n", qPrintable(name), f.Lines,
                100.0 * f.Clean / std::max(1, f.Lines), 1000 * Percentile(f.Errors, 0.5),
                1000 * Percentile(f.Errors, 0.95), 1000 * Percentile(f.StartBias, 0.5),
                1000 * Percentile(f.EndBias, 0.5), f.Wall);
}

// Every subfolder with a p.txt is one condition.
bool RunFamily(const QString& folder) {
    const QStringList names = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    std::printf("%s:\n  %-24s %4s %8s %7s %7s %7s %7s %7s\n", qPrintable(folder), "condition", "lines",
                "clean", "median", "p95", "start", "end", "wall s");
    TFigures all;
    bool ok = !names.isEmpty();
    for (const QString& name : names) {
        TFigures f;
        if (!RunSet(folder + QLatin1Char('/') + name, true, f)) {
            ok = false;
            continue;
        }
        PrintRow(name, f);
        all.Lines += f.Lines;
        all.Clean += f.Clean;
        all.Errors.insert(all.Errors.end(), f.Errors.begin(), f.Errors.end());
        all.StartBias.insert(all.StartBias.end(), f.StartBias.begin(), f.StartBias.end());
        all.EndBias.insert(all.EndBias.end(), f.EndBias.begin(), f.EndBias.end());
        all.Wall += f.Wall;
    }
    PrintRow(QStringLiteral("all"), all);
    std::printf(
        "  (median, p95: boundary error; start, end: median of segment minus speech; ms. Peak memory %ld "
        "MiB)\n",
        PeakMiB());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList sets;
    for (int i = 1; i < argc; ++i) sets << QString::fromLocal8Bit(argv[i]);
    if (sets.isEmpty()) {
        for (const char* s : {"espeak", "other-en", "other-hard", "other-short", "other-ru", "robust"})
            sets << QStringLiteral(SORVELLE_SOURCE_DIR "/build/bench/align/") + QLatin1String(s);
    }
    bool ok = true;
    for (const QString& s : sets) {
        TFigures f;
        ok = (FileExists(s + QStringLiteral("/p.txt")) ? RunSet(s, false, f) : RunFamily(s)) && ok;
    }
    return ok ? 0 : 1;
}
