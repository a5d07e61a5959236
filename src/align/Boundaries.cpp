#include "Boundaries.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// How far from the warped boundary a pause is looked for, positions (1.5 s), and the scale of
// the distance cost (0.3 s).
constexpr int64_t SearchWindow = 16538;
constexpr double DistanceScale = 3308.0;
constexpr double NoPauseCost = 3.0;
constexpr double LengthBonus = 0.5;

int64_t IntervalDistance(int64_t aLo, int64_t aHi, int64_t bLo, int64_t bHi) {
    if (aHi < bLo) return bLo - aHi;
    if (bHi < aLo) return aLo - bHi;
    return 0;
}

}  // namespace

std::vector<TBoundaryChoice> ChooseBoundaries(const std::vector<TWarpedLine>& warped,
                                              const std::vector<TPause>& pauses) {
    const int k = int(warped.size());
    struct TState {
        int Pause;
        int Last;  // the last pause taken up to here, -1 when none
        double Cost;
        int Back;
        double Distance;
    };
    std::vector<std::vector<TState>> states(size_t(k + 1));
    for (int b = 0; b <= k; ++b) {
        int64_t lo, hi;
        if (b == 0) {
            lo = hi = warped[0].Start;
        } else if (b == k) {
            lo = hi = warped[size_t(k - 1)].Finish;
        } else {
            lo = std::min(warped[size_t(b - 1)].Finish, warped[size_t(b)].Start);
            hi = std::max(warped[size_t(b - 1)].Finish, warped[size_t(b)].Start);
        }
        std::vector<TState> here;
        const std::vector<TState>* before = b > 0 ? &states[size_t(b - 1)] : nullptr;
        auto bestBefore = [&](int pause, int& back) {
            double best = std::numeric_limits<double>::infinity();
            back = -1;
            if (!before) return 0.0;
            for (size_t s = 0; s < before->size(); ++s) {
                const TState& st = (*before)[s];
                if (pause >= 0 && st.Last >= pause) continue;
                if (st.Cost < best) {
                    best = st.Cost;
                    back = int(s);
                }
            }
            return best;
        };
        // Pauses are in order: look from the first one that can be in reach.
        auto first = std::lower_bound(pauses.begin(), pauses.end(), lo - SearchWindow,
                                      [](const TPause& p, int64_t x) { return p.SpeechStart < x; });
        for (auto it = first; it != pauses.end() && it->SpeechEnd <= hi + SearchWindow; ++it) {
            const int p = int(it - pauses.begin());
            int64_t d;
            if (b == 0) {
                d = std::abs(it->SpeechStart - hi);
            } else if (b == k) {
                d = std::abs(it->SpeechEnd - lo);
            } else {
                d = IntervalDistance(lo, hi, it->SpeechEnd, it->SpeechStart);
            }
            if (d > SearchWindow) continue;
            const double x = double(d) / DistanceScale;
            double cost = std::min(x * x, 9.0);
            if (b > 0 && b < k) {
                const double len = std::clamp(double(it->Length()), 551.0, 16538.0);
                cost -= LengthBonus * std::log(len / 1103.0);
            }
            int back;
            const double prior = bestBefore(p, back);
            if (b > 0 && back < 0) continue;
            here.push_back({p, p, prior + cost, back, double(d)});
        }
        int back;
        const double prior = bestBefore(-1, back);
        here.push_back({-1, back >= 0 ? (*before)[size_t(back)].Last : -1, prior + NoPauseCost, back, 0.0});
        states[size_t(b)] = std::move(here);
    }
    std::vector<TBoundaryChoice> choice(size_t(k + 1));
    const std::vector<TState>& last = states[size_t(k)];
    int s = int(std::min_element(last.begin(), last.end(),
                                 [](const TState& a, const TState& b) { return a.Cost < b.Cost; }) -
                last.begin());
    for (int b = k; b >= 0; --b) {
        const TState& st = states[size_t(b)][size_t(s)];
        choice[size_t(b)] = {st.Pause, st.Distance};
        s = st.Back;
    }
    return choice;
}

std::vector<TPause> ChunkPauses(const std::vector<TPause>& all, int64_t begin, int64_t end) {
    std::vector<TPause> out;
    for (const TPause& p : all) {
        if (p.End <= begin || p.Begin >= end) continue;
        TPause c = p;
        c.Begin = std::max(c.Begin, begin);
        c.End = std::min(c.End, end);
        c.SpeechEnd = std::clamp(c.SpeechEnd, c.Begin, c.End);
        c.SpeechStart = std::clamp(c.SpeechStart, c.SpeechEnd, c.End);
        if (p.Begin < begin) c.SpeechEnd = begin;
        if (p.End > end) c.SpeechStart = end;
        out.push_back(c);
    }
    if (out.empty() || out.front().Begin > begin) out.insert(out.begin(), TPause{begin, begin, begin, begin});
    if (out.back().End < end) out.push_back(TPause{end, end, end, end});
    return out;
}

double PauseQuality(const TBoundaryChoice& choice) {
    if (choice.Pause < 0) return 0.0;
    const double x = choice.Distance / DistanceScale;
    return std::exp(-x * x);
}
