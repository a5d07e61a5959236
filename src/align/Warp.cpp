#include "Warp.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>

namespace {

// Allowed reference frames of each query row, inclusive; both ends non-decreasing.
struct TBand {
    std::vector<int64_t> Lo;
    std::vector<int64_t> Hi;
};

struct TCell {
    int64_t i = 0;
    int64_t j = 0;
};

// Pairs of frames averaged into one.
TSequence Halve(const TSequence& s) {
    TSequence h;
    h.Dim = s.Dim;
    h.Count = (s.Count + 1) / 2;
    h.Values.assign(size_t(h.Count * h.Dim), 0.0f);
    for (int64_t i = 0; i < h.Count; ++i) {
        const float* a = s.Frame(2 * i);
        const float* b = 2 * i + 1 < s.Count ? s.Frame(2 * i + 1) : a;
        float* out = h.Values.data() + i * h.Dim;
        for (int d = 0; d < h.Dim; ++d) out[d] = 0.5f * (a[d] + b[d]);
    }
    return h;
}

float Distance(const float* a, const float* b, int dim) {
    float acc = 0.0f;
    for (int d = 0; d < dim; ++d) {
        const float x = a[d] - b[d];
        acc += x * x;
    }
    return std::sqrt(acc);
}

// How a cell was reached: by a vertical step (the query advances alone), which may not follow
// another one, so the recording is never taken faster than half the query's pace; or otherwise.
enum : uint8_t {
    FromStart = 0,
    DiagonalFromFree = 1,
    DiagonalFromVertical = 2,
    LeftFromFree = 3,
    LeftFromVertical = 4
};

// The cheapest path through the band from row 0 to the last row, as its cells in order. Reference
// frames before the path's first cell and after its last cost skipCost each. Empty when
// cancelled.
std::vector<TCell> BandPath(const TSequence& q,
                            const TSequence& r,
                            const TBand& band,
                            double skipCost,
                            int threads,
                            const std::atomic<bool>* cancel) {
    const int64_t n = q.Count;
    std::vector<int64_t> offset(size_t(n + 1), 0);
    for (int64_t i = 0; i < n; ++i)
        offset[size_t(i + 1)] = offset[size_t(i)] + band.Hi[size_t(i)] - band.Lo[size_t(i)] + 1;
    // Per cell: how the free state was reached (the vertical state always comes from the free
    // state above).
    std::vector<uint8_t> from(size_t(offset[size_t(n)]));
    constexpr double Inf = std::numeric_limits<double>::infinity();

    // Local costs of a block of rows, computed in parallel; the recursion then runs over them.
    constexpr int64_t BlockRows = 64;
    std::vector<float> cost;
    std::vector<double> prevFree, prevVert, curFree, curVert;
    for (int64_t blockStart = 0; blockStart < n; blockStart += BlockRows) {
        if (cancel && cancel->load(std::memory_order_relaxed)) return {};
        const int64_t blockEnd = std::min(n, blockStart + BlockRows);
        const int64_t base = offset[size_t(blockStart)];
        cost.resize(size_t(offset[size_t(blockEnd)] - base));
        auto fill = [&](int64_t from, int64_t to) {
            for (int64_t i = from; i < to; ++i) {
                const float* a = q.Frame(i);
                float* out = cost.data() + (offset[size_t(i)] - base);
                for (int64_t j = band.Lo[size_t(i)]; j <= band.Hi[size_t(i)]; ++j)
                    out[j - band.Lo[size_t(i)]] = Distance(a, r.Frame(j), q.Dim);
            }
        };
        const int64_t cells = offset[size_t(blockEnd)] - base;
        if (threads > 1 && cells > 20000) {
            // Split the block's rows at half of its cells.
            int64_t mid = blockStart;
            while (mid < blockEnd && offset[size_t(mid)] - base < cells / 2) ++mid;
            std::thread worker([&] { fill(mid, blockEnd); });
            fill(blockStart, mid);
            worker.join();
        } else {
            fill(blockStart, blockEnd);
        }
        for (int64_t i = blockStart; i < blockEnd; ++i) {
            const int64_t lo = band.Lo[size_t(i)], hi = band.Hi[size_t(i)];
            const float* c = cost.data() + (offset[size_t(i)] - base);
            uint8_t* f = from.data() + offset[size_t(i)];
            curFree.assign(size_t(hi - lo + 1), Inf);
            curVert.assign(size_t(hi - lo + 1), Inf);
            const int64_t plo = i > 0 ? band.Lo[size_t(i - 1)] : 0, phi = i > 0 ? band.Hi[size_t(i - 1)] : -1;
            for (int64_t j = lo; j <= hi; ++j) {
                const size_t x = size_t(j - lo);
                double best = Inf;
                uint8_t dir = FromStart;
                if (i == 0) {
                    // The reference frames before the start are skipped at a cost.
                    best = skipCost * double(j);
                }
                if (i > 0 && j - 1 >= plo && j - 1 <= phi) {
                    const size_t y = size_t(j - 1 - plo);
                    if (prevFree[y] < best) {
                        best = prevFree[y];
                        dir = DiagonalFromFree;
                    }
                    if (prevVert[y] < best) {
                        best = prevVert[y];
                        dir = DiagonalFromVertical;
                    }
                }
                if (j > lo) {
                    if (curFree[x - 1] < best) {
                        best = curFree[x - 1];
                        dir = LeftFromFree;
                    }
                    if (curVert[x - 1] < best) {
                        best = curVert[x - 1];
                        dir = LeftFromVertical;
                    }
                }
                curFree[x] = best + c[x];
                f[x] = dir;
                if (i > 0 && j >= plo && j <= phi) curVert[x] = prevFree[size_t(j - plo)] + c[x];
            }
            prevFree.swap(curFree);
            prevVert.swap(curVert);
        }
    }
    // The reference frames after the end are skipped at a cost too.
    const int64_t lo = band.Lo[size_t(n - 1)];
    int64_t j = lo;
    bool vertical = false;
    double best = Inf;
    for (int64_t k = lo; k <= band.Hi[size_t(n - 1)]; ++k) {
        const double tail = skipCost * double(r.Count - 1 - k);
        if (prevFree[size_t(k - lo)] + tail < best) {
            best = prevFree[size_t(k - lo)] + tail;
            j = k;
            vertical = false;
        }
        if (prevVert[size_t(k - lo)] + tail < best) {
            best = prevVert[size_t(k - lo)] + tail;
            j = k;
            vertical = true;
        }
    }
    std::vector<TCell> path;
    int64_t i = n - 1;
    while (true) {
        path.push_back({i, j});
        if (vertical) {
            --i;
            vertical = false;
            continue;
        }
        const uint8_t dir = from[size_t(offset[size_t(i)] + j - band.Lo[size_t(i)])];
        if (dir == FromStart) break;
        if (dir == DiagonalFromFree || dir == DiagonalFromVertical) {
            --i;
            --j;
        } else {
            --j;
        }
        vertical = dir == DiagonalFromVertical || dir == LeftFromVertical;
    }
    std::reverse(path.begin(), path.end());
    return path;
}

// The band at twice the resolution around a path: every finer cell under a path cell, widened by
// radius frames in both directions.
TBand Project(const std::vector<TCell>& path, int64_t rows, int64_t cols, int radius) {
    TBand b;
    b.Lo.assign(size_t(rows), std::numeric_limits<int64_t>::max());
    b.Hi.assign(size_t(rows), -1);
    for (const TCell& c : path) {
        for (int64_t i = 2 * c.i; i <= 2 * c.i + 1 && i < rows; ++i) {
            b.Lo[size_t(i)] = std::min(b.Lo[size_t(i)], 2 * c.j);
            b.Hi[size_t(i)] = std::max(b.Hi[size_t(i)], std::min(cols - 1, 2 * c.j + 1));
        }
    }
    // Rows under no path cell (none when the path covers every coarse row) take the row above.
    for (int64_t i = 0; i < rows; ++i) {
        if (b.Hi[size_t(i)] < 0) {
            b.Lo[size_t(i)] = i > 0 ? b.Lo[size_t(i - 1)] : 0;
            b.Hi[size_t(i)] = i > 0 ? b.Hi[size_t(i - 1)] : cols - 1;
        }
    }
    // Widen across rows (a sliding minimum and maximum would be faster; radius is small).
    TBand w = b;
    for (int64_t i = 0; i < rows; ++i) {
        const int64_t from = std::max<int64_t>(0, i - radius), to = std::min(rows - 1, i + radius);
        int64_t lo = b.Lo[size_t(i)], hi = b.Hi[size_t(i)];
        for (int64_t k = from; k <= to; ++k) {
            lo = std::min(lo, b.Lo[size_t(k)]);
            hi = std::max(hi, b.Hi[size_t(k)]);
        }
        w.Lo[size_t(i)] = std::max<int64_t>(0, lo - radius);
        w.Hi[size_t(i)] = std::min(cols - 1, hi + radius);
    }
    for (int64_t i = rows - 2; i >= 0; --i) w.Lo[size_t(i)] = std::min(w.Lo[size_t(i)], w.Lo[size_t(i + 1)]);
    for (int64_t i = 1; i < rows; ++i) w.Hi[size_t(i)] = std::max(w.Hi[size_t(i)], w.Hi[size_t(i - 1)]);
    return w;
}

}  // namespace

std::vector<TWarpRow> WarpSubsequence(const TSequence& query,
                                      const TSequence& reference,
                                      const TWarpOptions& options,
                                      const std::atomic<bool>* cancel) {
    if (query.Count == 0 || reference.Count == 0 || query.Dim != reference.Dim) return {};
    // Pyramid: level k holds sequences halved k times; level 0 is the caller's, not a copy.
    std::vector<TSequence> qs, rs;
    auto q = [&](size_t level) -> const TSequence& { return level == 0 ? query : qs[level - 1]; };
    auto r = [&](size_t level) -> const TSequence& { return level == 0 ? reference : rs[level - 1]; };
    size_t levels = 1;
    while (q(levels - 1).Count * r(levels - 1).Count > options.CoarseCells && q(levels - 1).Count > 1 &&
           r(levels - 1).Count > 1) {
        TSequence hq = Halve(q(levels - 1)), hr = Halve(r(levels - 1));
        qs.push_back(std::move(hq));
        rs.push_back(std::move(hr));
        ++levels;
    }
    std::vector<TCell> path;
    for (size_t level = levels; level-- > 0;) {
        TBand band;
        if (level + 1 == levels) {
            band.Lo.assign(size_t(q(level).Count), 0);
            band.Hi.assign(size_t(q(level).Count), r(level).Count - 1);
        } else {
            band = Project(path, q(level).Count, r(level).Count, options.Radius);
        }
        path = BandPath(q(level), r(level), band, options.SkipCost, options.Threads, cancel);
        if (path.empty()) return {};
    }
    std::vector<TWarpRow> rows(size_t(query.Count));
    std::vector<int> counts(size_t(query.Count), 0);
    for (const TCell& c : path) {
        TWarpRow& row = rows[size_t(c.i)];
        if (counts[size_t(c.i)]++ == 0) row.First = c.j;
        row.Last = c.j;
        row.Cost += Distance(query.Frame(c.i), reference.Frame(c.j), query.Dim);
    }
    for (size_t i = 0; i < rows.size(); ++i) rows[i].Cost /= float(std::max(1, counts[i]));
    return rows;
}
