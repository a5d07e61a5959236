// Redraw time of the waveform view on a 60-minute recording, through the window's DrawWave, at
// the zooms a user works at. Prints the median time per redraw at each zoom and the ratio of
// the slowest zoom to the fastest, measured in the same run; then the same with the segment
// overlay showing 500 stored segments, against the plain view.
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <vector>

#include "BenchClock.h"
#include "EditorState.h"
#include "TAddItemsForm.h"
#include "Timeline.h"

namespace {

constexpr int32_t Minutes = 60;
constexpr int32_t SampleCount = 11025 * 60 * Minutes;
constexpr int Redraws = 400;

// Speech-like: bursts of a few mixed tones under a slow envelope, with some noise.
void FillRecording(int16_t* samples, int32_t n) {
    uint32_t noise = 12345;
    for (int32_t i = 0; i < n; ++i) {
        const double t = double(i) / 11025.0;
        const double envelope = 0.5 + 0.5 * std::sin(2.0 * M_PI * 0.3 * t);
        const double tone = std::sin(2.0 * M_PI * 180.0 * t) + 0.5 * std::sin(2.0 * M_PI * 1130.0 * t);
        noise = noise * 1664525u + 1013904223u;
        const double hiss = double(int32_t(noise >> 16) - 32768) / 32768.0 * 0.1;
        samples[i] = int16_t(std::lround(std::clamp((tone * envelope + hiss) * 14000.0, -32768.0, 32767.0)));
    }
}

struct Zoom {
    const char* name;
    float span;
    float start;
};

struct Figures {
    double wallMedian, wallP90, cpuMedian;
};

// Wall time is what the user waits; the thread's CPU time leaves out the time other processes
// on a busy machine take the core away.
Figures Measure(TAddItemsForm& form, const Zoom& zoom) {
    std::vector<double> times;
    std::vector<double> cpu;
    times.reserve(Redraws);
    cpu.reserve(Redraws);
    for (int r = 0; r < Redraws; ++r) {
        // Each redraw as one step of a pan drag: the view moves by 0.5 % of its span.
        EditorState.ViewSpan = zoom.span;
        EditorState.ViewStart = zoom.start + float(r % 100) * 0.005f * zoom.span;
        const double c0 = ThreadCpuSeconds() * 1e6;
        const auto t0 = std::chrono::steady_clock::now();
        form.DrawWave();
        const auto t1 = std::chrono::steady_clock::now();
        cpu.push_back(ThreadCpuSeconds() * 1e6 - c0);
        times.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    return {times[size_t(Redraws / 2)], times[size_t(Redraws * 9 / 10)], cpu[size_t(Redraws / 2)]};
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TAddItemsForm form;
    form.SoundView->setGeometry(1, 42, 857, 80);
    const int W = form.SoundView->width();

    EditorState.Samples = AllocateSamples(SampleCount);
    EditorState.SampleCount = SampleCount;
    FillRecording(EditorState.Samples, SampleCount);
    EditorState.SelStart = SampleCount / 3;
    EditorState.SelEnd = SampleCount / 3 + 20000;

    const float middle = float(SampleCount / 3);
    const Zoom zooms[] = {
        {"1 sample per pixel (fine)", float(W), middle},
        {"99 samples per pixel (fine, its most)", float(W) * 99.0f, middle},
        {"100 samples per pixel (coarse)", float(W) * 100.0f, middle},
        {"whole recording (coarse)", float(SampleCount), 0.0f},
    };
    std::printf("DrawWave, %d x %d, %d-minute recording (%d samples), median of %d redraws\n", W,
                form.SoundView->height(), Minutes, SampleCount, Redraws);
    double fastest = 1e300;
    double slowest = 0.0;
    double fastestCpu = 1e300;
    double slowestCpu = 0.0;
    for (const Zoom& zoom : zooms) {
        const Figures f = Measure(form, zoom);
        fastest = std::min(fastest, f.wallMedian);
        slowest = std::max(slowest, f.wallMedian);
        fastestCpu = std::min(fastestCpu, f.cpuMedian);
        slowestCpu = std::max(slowestCpu, f.cpuMedian);
        std::printf("  %-40s median %8.1f us   p90 %8.1f us   cpu median %8.1f us\n", zoom.name, f.wallMedian,
                    f.wallP90, f.cpuMedian);
    }
    std::printf("slowest / fastest zoom: %.2f wall, %.2f cpu (target <= 3)\n", slowest / fastest,
                slowestCpu / fastestCpu);
    std::printf("slowest median: %.3f ms wall, %.3f ms cpu (target <= 2 ms)\n", slowest / 1000.0,
                slowestCpu / 1000.0);

    // The overlay with every record holding a segment: spread over the recording (one line in
    // 500 parts of it), and all 500 across the view at once (overlapping bands, labels).
    std::vector<double> plainCpu;
    for (const Zoom& zoom : zooms) plainCpu.push_back(Measure(form, zoom).cpuMedian);
    form.SpeedButton8->setChecked(true);
    struct Layout {
        const char* name;
        bool spread;
    };
    for (const Layout layout : {Layout{"500 segments spread over the recording", true},
                                Layout{"500 segments across the view", false}}) {
        std::printf("overlay, %s:\n", layout.name);
        for (size_t z = 0; z < std::size(zooms); ++z) {
            for (int line = 0; line < ItemTableSize; ++line) {
                ItemTable[line].Flag = 1;
                ItemTable[line].Start =
                    layout.spread ? SampleCount / 500 * line : int32_t(zooms[z].start) - line;
                ItemTable[line].Finish = layout.spread
                                             ? ItemTable[line].Start + SampleCount / 600
                                             : int32_t(zooms[z].start + zooms[z].span * 1.1f) + line;
            }
            const Figures f = Measure(form, zooms[z]);
            std::printf("  %-40s cpu median %8.1f us   %.2f x the plain view\n", zooms[z].name, f.cpuMedian,
                        f.cpuMedian / plainCpu[z]);
        }
    }
    return 0;
}
