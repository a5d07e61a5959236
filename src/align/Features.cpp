#include "Features.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>
#include <thread>

namespace {

constexpr int FftSize = 512;
constexpr int Bins = FftSize / 2 + 1;
constexpr int MelBands = 24;
constexpr double LowHz = 80.0;
constexpr double HighHz = 5000.0;
constexpr double Rate = 11025.0;

// FFTW's planner is not thread-safe; executing distinct plans is.
std::mutex PlannerMutex;

double HzToMel(double hz) { return 2595.0 * std::log10(1.0 + hz / 700.0); }
double MelToHz(double mel) { return 700.0 * (std::pow(10.0, mel / 2595.0) - 1.0); }

struct TMelBank {
    // Triangular filters as (first bin, weights).
    std::vector<int> first;
    std::vector<std::vector<float>> weights;
    std::vector<float> window;  // Hamming, Window values
    std::vector<float> dct;     // Cepstra x MelBands
    TMelBank() {
        const double lo = HzToMel(LowHz);
        const double hi = HzToMel(HighHz);
        std::vector<double> edges(MelBands + 2);
        for (int m = 0; m < MelBands + 2; ++m)
            edges[size_t(m)] = MelToHz(lo + (hi - lo) * m / (MelBands + 1));
        for (int m = 0; m < MelBands; ++m) {
            const double l = edges[size_t(m)], c = edges[size_t(m + 1)], r = edges[size_t(m + 2)];
            const int b0 = int(std::ceil(l * FftSize / Rate));
            const int b1 = int(std::floor(r * FftSize / Rate));
            std::vector<float> w;
            for (int b = b0; b <= b1; ++b) {
                const double hz = b * Rate / FftSize;
                const double v = hz <= c ? (hz - l) / (c - l) : (r - hz) / (r - c);
                w.push_back(float(std::max(0.0, v)));
            }
            first.push_back(b0);
            weights.push_back(std::move(w));
        }
        window.resize(TFeatures::Window);
        for (int n = 0; n < TFeatures::Window; ++n)
            window[size_t(n)] =
                float(0.54 - 0.46 * std::cos(2.0 * std::numbers::pi * n / (TFeatures::Window - 1)));
        dct.resize(size_t(TFeatures::Cepstra * MelBands));
        for (int k = 1; k <= TFeatures::Cepstra; ++k) {
            for (int m = 0; m < MelBands; ++m)
                dct[size_t((k - 1) * MelBands + m)] =
                    float(std::cos(std::numbers::pi * k * (m + 0.5) / MelBands));
        }
    }
};

const TMelBank& MelBank() {
    static const TMelBank bank;
    return bank;
}

// One FFTW plan with its buffers, owned.
class TFftPlan {
  public:
    TFftPlan() {
        std::lock_guard lock(PlannerMutex);
        in_ = fftwf_alloc_real(FftSize);
        out_ = fftwf_alloc_complex(Bins);
        plan_ = fftwf_plan_dft_r2c_1d(FftSize, in_, out_, FFTW_ESTIMATE);
    }
    ~TFftPlan() {
        std::lock_guard lock(PlannerMutex);
        fftwf_destroy_plan(plan_);
        fftwf_free(in_);
        fftwf_free(out_);
    }
    TFftPlan(const TFftPlan&) = delete;
    TFftPlan& operator=(const TFftPlan&) = delete;
    float* In() { return in_; }
    const fftwf_complex* Run() {
        fftwf_execute(plan_);
        return out_;
    }

  private:
    float* in_ = nullptr;
    fftwf_complex* out_ = nullptr;
    fftwf_plan plan_ = nullptr;
};

void ComputeRange(const int16_t* s,
                  int64_t count,
                  int64_t from,
                  int64_t to,
                  TFeatures& f,
                  const std::atomic<bool>* cancel) {
    const TMelBank& bank = MelBank();
    TFftPlan fft;
    float* in = fft.In();
    float mel[MelBands];
    float frame[TFeatures::Window];
    for (int64_t i = from; i < to; ++i) {
        if (cancel && i % 2048 == 0 && cancel->load(std::memory_order_relaxed)) return;
        const int64_t begin = i * TFeatures::Hop + TFeatures::Hop / 2 - TFeatures::Window / 2;
        double energy = 0.0;
        for (int n = 0; n < TFeatures::Window; ++n) {
            const int64_t p = begin + n;
            frame[n] = p >= 0 && p < count ? float(s[p]) : 0.0f;
            energy += double(frame[n]) * frame[n];
        }
        f.Energy[size_t(i)] = float(10.0 * std::log10(energy / TFeatures::Window + 1e-2));
        // Pre-emphasis, window, zero padding.
        for (int n = TFeatures::Window - 1; n > 0; --n)
            in[n] = (frame[n] - 0.97f * frame[n - 1]) * bank.window[size_t(n)];
        in[0] = frame[0] * 0.03f * bank.window[0];
        std::fill(in + TFeatures::Window, in + FftSize, 0.0f);
        const fftwf_complex* spectrum = fft.Run();
        for (int m = 0; m < MelBands; ++m) {
            const std::vector<float>& w = bank.weights[size_t(m)];
            float acc = 0.0f;
            for (size_t b = 0; b < w.size(); ++b) {
                const fftwf_complex& c = spectrum[size_t(bank.first[size_t(m)]) + b];
                acc += w[b] * (c[0] * c[0] + c[1] * c[1]);
            }
            // The floor keeps digital silence finite.
            mel[m] = std::log(acc + 1.0f);
        }
        float* out = f.Cepstrum.data() + i * TFeatures::Cepstra;
        for (int k = 0; k < TFeatures::Cepstra; ++k) {
            float acc = 0.0f;
            for (int m = 0; m < MelBands; ++m) acc += bank.dct[size_t(k * MelBands + m)] * mel[m];
            out[k] = acc;
        }
    }
}

}  // namespace

TFeatures ComputeFeatures(const int16_t* samples,
                          int64_t count,
                          int threads,
                          const std::atomic<bool>* cancel) {
    TFeatures f;
    f.Count = count > 0 ? (count + TFeatures::Hop - 1) / TFeatures::Hop : 0;
    f.Cepstrum.assign(size_t(f.Count * TFeatures::Cepstra), 0.0f);
    f.Energy.assign(size_t(f.Count), 0.0f);
    threads = int(std::clamp<int64_t>(threads, 1, std::max<int64_t>(1, f.Count / 1000)));
    std::vector<std::thread> workers;
    for (int t = 1; t < threads; ++t) {
        workers.emplace_back([&, t] {
            ComputeRange(samples, count, f.Count * t / threads, f.Count * (t + 1) / threads, f, cancel);
        });
    }
    ComputeRange(samples, count, 0, f.Count / threads, f, cancel);
    for (std::thread& w : workers) w.join();
    // Regression slope over two frames each side, the ends held.
    f.Delta.assign(f.Cepstrum.size(), 0.0f);
    for (int64_t i = 0; i < f.Count; ++i) {
        float* d = f.Delta.data() + i * TFeatures::Cepstra;
        for (int k = 1; k <= 2; ++k) {
            const float* after = f.Frame(std::min(f.Count - 1, i + k));
            const float* before = f.Frame(std::max<int64_t>(0, i - k));
            for (int c = 0; c < TFeatures::Cepstra; ++c) d[c] += float(k) * (after[c] - before[c]) / 10.0f;
        }
    }
    return f;
}

void AppendFeatures(TFeatures& a, const TFeatures& b) {
    a.Cepstrum.insert(a.Cepstrum.end(), b.Cepstrum.begin(), b.Cepstrum.end());
    a.Energy.insert(a.Energy.end(), b.Energy.begin(), b.Energy.end());
    a.Delta.insert(a.Delta.end(), b.Delta.begin(), b.Delta.end());
    a.Count += b.Count;
}
