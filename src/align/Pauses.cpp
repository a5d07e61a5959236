#include "Pauses.h"

#include <algorithm>
#include <cmath>

namespace {

float Percentile(std::vector<float> v, double p) {
    if (v.empty()) return 0.0f;
    const auto k = size_t(std::clamp(p, 0.0, 1.0) * double(v.size() - 1));
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(k), v.end());
    return v[k];
}

// Three-block moving average, so that a single loud or quiet block decides nothing.
std::vector<float> Smoothed(const std::vector<float>& db) {
    std::vector<float> s(db.size());
    for (size_t i = 0; i < db.size(); ++i) {
        const size_t a = i > 0 ? i - 1 : i, b = i + 1 < db.size() ? i + 1 : i;
        s[i] = (db[a] + db[i] + db[b]) / 3.0f;
    }
    return s;
}

}  // namespace

TEnergyTrack MeasureEnergy(const int16_t* samples, int64_t count) {
    TEnergyTrack t;
    const int64_t blocks = (count + TEnergyTrack::Step - 1) / TEnergyTrack::Step;
    t.Db.resize(size_t(blocks));
    t.HighDb.resize(size_t(blocks));
    for (int64_t b = 0; b < blocks; ++b) {
        const int64_t from = b * TEnergyTrack::Step, to = std::min(count, from + TEnergyTrack::Step);
        double e = 0.0, h = 0.0;
        for (int64_t p = from; p < to; ++p) {
            e += double(samples[p]) * samples[p];
            const double d = double(samples[p]) - (p > 0 ? samples[p - 1] : 0);
            h += d * d;
        }
        t.Db[size_t(b)] = float(10.0 * std::log10(e / double(to - from) + 1e-2));
        t.HighDb[size_t(b)] = float(10.0 * std::log10(h / double(to - from) + 1e-2));
    }
    return t;
}

TLevels EstimateLevels(const std::vector<float>& db) {
    TLevels l;
    l.Floor = Percentile(db, 0.08);
    l.Speech = Percentile(db, 0.90);
    const float range = std::max(0.0f, l.Speech - l.Floor);
    l.Threshold = l.Floor + std::max(4.0f, 0.25f * range);
    l.Edge = l.Floor + std::max(2.5f, 0.12f * range);
    return l;
}

std::vector<TPause> FindPauses(const TEnergyTrack& track,
                               const TLevels& levels,
                               const TLevels& high,
                               int64_t minLength) {
    const std::vector<float> s = Smoothed(track.Db);
    const std::vector<float> sh = Smoothed(track.HighDb);
    auto quiet = [&](int64_t b) { return s[size_t(b)] < levels.Threshold && sh[size_t(b)] < high.Threshold; };
    auto loud = [&](int64_t b) {
        return track.Db[size_t(b)] > levels.Edge || track.HighDb[size_t(b)] > high.Edge;
    };
    const int64_t n = track.Blocks();
    const int64_t step = TEnergyTrack::Step;
    std::vector<TPause> pauses;
    for (int64_t b = 0; b < n;) {
        if (!quiet(b)) {
            ++b;
            continue;
        }
        int64_t e = b;
        while (e < n && quiet(e)) ++e;
        if ((e - b) * step >= minLength) {
            TPause p;
            p.Begin = b * step;
            p.End = e * step;
            // Follow the fading speech into the pause while it stays above the floor, across dips
            // of up to 15 ms; likewise back from the pause's end to the rising speech.
            const int64_t mid = (b + e) / 2;
            int64_t lastLoud = b - 1;
            for (int64_t k = b; k < mid; ++k) {
                if (loud(k)) {
                    lastLoud = k;
                } else if (k - lastLoud > 3) {
                    break;
                }
            }
            int64_t firstLoud = e;
            for (int64_t k = e - 1; k >= mid; --k) {
                if (loud(k)) {
                    firstLoud = k;
                } else if (firstLoud - k > 3) {
                    break;
                }
            }
            p.SpeechEnd = b == 0 ? 0 : (lastLoud + 1) * step;
            p.SpeechStart = e == n ? n * step : firstLoud * step;
            if (p.SpeechStart < p.SpeechEnd) p.SpeechStart = p.SpeechEnd = (p.SpeechStart + p.SpeechEnd) / 2;
            pauses.push_back(p);
        }
        b = e;
    }
    return pauses;
}

void FitEdgesToNoise(const TEnergyTrack& track,
                     const std::vector<TPause>& pauses,
                     TLevels& levels,
                     TLevels& high) {
    // Blocks 40 ms or more from a pause's speech edges are noise only.
    constexpr int64_t Inset = 8;
    constexpr size_t MinBlocks = 100;
    std::vector<float> db, highDb;
    for (const TPause& p : pauses) {
        const int64_t to = std::min(track.Blocks(), p.SpeechStart / TEnergyTrack::Step - Inset);
        for (int64_t b = p.SpeechEnd / TEnergyTrack::Step + Inset; b < to; ++b) {
            db.push_back(track.Db[size_t(b)]);
            highDb.push_back(track.HighDb[size_t(b)]);
        }
    }
    if (db.size() < MinBlocks) return;
    auto fit = [](TLevels& l, const std::vector<float>& noise) {
        l.Edge = std::max(l.Edge, Percentile(noise, 0.8) + 0.5f);
        l.Threshold = std::max(l.Threshold, l.Edge);
    };
    fit(levels, db);
    fit(high, highDb);
}

int64_t HiddenTail(
    const TEnergyTrack& track, float edge, int64_t firstSpeech, int64_t lastSpeech, float tailDb) {
    // The slope is read from where the speech stood this far above the edge, within 150 ms.
    constexpr float Rise = 10.0f;
    constexpr int64_t SlopeBlocks = 30;
    // Slower than this (dB per block) counts as this: a level that hardly falls tells no slope.
    constexpr double MinSlope = 0.05;
    // A fading voice falls faster as it stops: the straight line's length is cut by a fifth.
    constexpr double Shortening = 0.8;
    const int64_t n = track.Blocks();
    const int64_t b0 = std::max<int64_t>(0, firstSpeech / TEnergyTrack::Step);
    const int64_t b1 = std::min(n, lastSpeech / TEnergyTrack::Step);
    if (b1 <= b0) return 0;
    const float peak = *std::max_element(track.Db.begin() + b0, track.Db.begin() + b1);
    const double hidden = double(edge) - (double(peak) - double(tailDb));
    if (hidden <= 0.0) return 0;
    auto smoothed = [&](int64_t b) {
        const int64_t a = std::max<int64_t>(0, b - 1), c = std::min(n - 1, b + 1);
        return (track.Db[size_t(a)] + track.Db[size_t(b)] + track.Db[size_t(c)]) / 3.0f;
    };
    const int64_t e = b1 - 1;
    int64_t a = e;
    while (a > e - SlopeBlocks && a > b0 && smoothed(a) < edge + Rise) --a;
    const double slope = std::max(MinSlope, double(smoothed(a) - edge) / double(std::max<int64_t>(1, e - a)));
    return int64_t(Shortening * hidden / slope * double(TEnergyTrack::Step));
}

int64_t QuietestPosition(const TEnergyTrack& track, int64_t from, int64_t to) {
    const int64_t step = TEnergyTrack::Step;
    const int64_t b0 = std::clamp<int64_t>(from / step, 0, std::max<int64_t>(0, track.Blocks() - 1));
    const int64_t b1 = std::clamp<int64_t>(to / step, b0, std::max<int64_t>(0, track.Blocks() - 1));
    if (track.Blocks() == 0) return from;
    const std::vector<float>& db = track.Db;
    int64_t best = b0;
    float bestDb = 1e30f;
    for (int64_t b = b0; b <= b1; ++b) {
        const float v = db[size_t(b)] + (b > 0 ? db[size_t(b - 1)] : db[size_t(b)]) +
                        (b + 1 < track.Blocks() ? db[size_t(b + 1)] : db[size_t(b)]);
        if (v < bestDb) {
            bestDb = v;
            best = b;
        }
    }
    return best * step + step / 2;
}
