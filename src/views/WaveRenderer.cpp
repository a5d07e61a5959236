#include "WaveRenderer.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPoint>
#include <algorithm>
#include <cmath>

namespace {

const QColor WaveColor(0, 0, 0);
const QColor GridColor(192, 192, 192);
const QColor SelectionColor(255, 0, 0);

// Vertices far outside any bitmap are pulled in to a distance the painter's integer geometry
// handles; they only ever occur past the right edge, where the walk ends.
constexpr int64_t FarOff = 1 << 24;

int DrawCoord(int64_t v) { return int(std::clamp<int64_t>(v, -FarOff, FarOff)); }

// The polyline of the waveform, as pen moves: each LineTo draws from the last point.
class TPolyline {
  public:
    TPolyline(int capacity, int x, int y) {
        points_.reserve(size_t(capacity));
        points_.push_back(QPoint(x, y));
    }
    void LineTo(int64_t x, int y) { points_.push_back(QPoint(DrawCoord(x), y)); }
    void Draw(QPainter& p) const {
        if (points_.size() > 1) p.drawPolyline(points_.data(), int(points_.size()));
    }
    int Count() const { return int(points_.size()); }

  private:
    std::vector<QPoint> points_;
};

// Every sample from First + 1 on, each at the column of its running position; a column of three
// or more samples is drawn as its range at the next column.
void FineWave(TPolyline& line,
              const int16_t* samples,
              int64_t count,
              int64_t first,
              int width,
              int baseline,
              float viewSpan) {
    const float pps = float(width) / viewSpan;
    float acc = pps;
    int64_t col = 0;
    int extra = 0;
    int hi = 0;
    int lo = 0;
    for (int64_t i = first + 1; i < count && col < width; ++i) {
        acc = acc + pps;
        const int64_t x = TruncToInt64(acc);
        // Only a view left of the recording's start gets here; its samples do not exist, so
        // they draw nothing and the walk stops where it would have left the view.
        if (i < 0) {
            if (x >= width) break;
            continue;
        }
        const int v = samples[i];
        if (x == col) {
            hi = std::max(hi, v);
            lo = std::min(lo, v);
            ++extra;
        } else {
            if (extra > 1) {
                line.LineTo(x, WaveRow(baseline, hi));
                line.LineTo(x, WaveRow(baseline, lo));
            } else {
                line.LineTo(x, WaveRow(baseline, v));
            }
            col = x;
            extra = 0;
            hi = lo = v;
        }
    }
}

// One column at a time: the extremes of 81 positions spread over the column's share of samples.
void CoarseWave(TPolyline& line,
                const int16_t* samples,
                int64_t count,
                int64_t first,
                int width,
                int baseline,
                float viewSpan) {
    const float spp = viewSpan / float(width);
    const float strideQuotient = spp / float(CoarseWindow);
    // A stride beyond any int32 count leaves only idx itself in the recording; capping it there
    // changes no window and keeps the positions from overflowing.
    const int64_t stride = std::clamp<int64_t>(TruncToInt64(strideQuotient), 1, int64_t(1) << 32);
    const int64_t half = (CoarseWindow / 2) * stride;
    const float firstF = float(first);
    for (int x = 0; x < width; ++x) {
        float q = float(x) / float(width);
        q = viewSpan * q;
        q = firstF + q;
        const float rounded = q + 0.5f;
        const int64_t idx = TruncToInt64(rounded);
        if (idx >= count || idx < 0) continue;
        int hi = samples[idx];
        int lo = hi;
        int last = hi;
        // Positions outside the recording are skipped; the bounds keep j away from them.
        int64_t j = idx - half;
        if (j < 0) j += ((-j + stride - 1) / stride) * stride;
        const int64_t end = std::min(idx + half, count - 1);
        for (; j <= end; j += stride) {
            const int v = samples[j];
            hi = std::max(hi, v);
            lo = std::min(lo, v);
            last = v;
        }
        if (hi > 0 && lo > 0) {
            line.LineTo(x, WaveRow(baseline, hi));
        } else if (hi < 0 && lo < 0) {
            line.LineTo(x, WaveRow(baseline, lo));
        } else if (hi > 0 && lo < 0) {
            line.LineTo(x, WaveRow(baseline, hi));
            line.LineTo(x, WaveRow(baseline, lo));
        } else {
            line.LineTo(x, WaveRow(baseline, last));
        }
    }
}

}  // namespace

int64_t TruncToInt64(float f) {
    // 2^62 is exact in a float and leaves room for the sums the callers form.
    constexpr float Limit = 4611686018427387904.0f;
    if (std::isnan(f)) return 0;
    if (f >= Limit) return int64_t(1) << 62;
    if (f <= -Limit) return -(int64_t(1) << 62);
    return int64_t(f);
}

int32_t TruncToInt32(float f) {
    // 2^31 is exact in a float; the largest int32 is not.
    constexpr float Limit = 2147483648.0f;
    if (std::isnan(f)) return 0;
    if (f >= Limit) return INT32_MAX;
    if (f < -Limit) return INT32_MIN;
    return int32_t(f);
}

void ClampView(float& start, float& span) {
    if (!(start >= 0.0f)) start = 0.0f;
    if (start > MaxViewPositions) start = MaxViewPositions;
    if (!(span >= MinViewSpan)) span = MinViewSpan;
    if (span > MaxViewPositions) span = MaxViewPositions;
}

int32_t FirstSample(float viewStart) {
    const float rounded = viewStart + 0.5f;
    return TruncToInt32(rounded);
}

QString GridLabel(int gx, int width, float viewSpan, int32_t first) {
    float t = float(gx) / float(width);
    t = viewSpan * t;
    t = float(first) + t;
    const float s = t / TimelineRate;
    const float minutes = s / 60.0f;
    const int32_t m = TruncToInt32(minutes);
    const float whole = 60.0f * float(m);
    const float r = s - whole;
    return QString::asprintf("%i:%.2f", m, double(r));
}

int32_t PositionAt(int x, int width, float viewSpan, float viewStart) {
    float s = float(x) / float(width);
    s = s * viewSpan;
    s = s + viewStart;
    return TruncToInt32(s);
}

void RenderWave(QImage& bitmap,
                const int16_t* samples,
                int32_t sampleCount,
                const TWaveView& view,
                TWaveRenderInfo* info) {
    if (bitmap.isNull()) return;
    const int W = view.Width;
    const int H = view.Height;
    const int baseline = H / 2;
    const int32_t first = FirstSample(view.ViewStart);
    const float span = view.ViewSpan;

    bitmap.fill(Qt::white);
    QPainter p(&bitmap);
    p.setRenderHint(QPainter::Antialiasing, false);

    TPolyline line(2 * std::max(W, 0) + 2, 0, baseline);
    const bool coarse = !(float(W) > span * 0.01f);
    // A span that is not a positive number shows no recording; the grid still goes on top.
    if (samples && sampleCount > 0 && W > 0 && std::isfinite(span) && span > 0.0f) {
        if (coarse) {
            CoarseWave(line, samples, sampleCount, first, W, baseline, span);
        } else {
            FineWave(line, samples, sampleCount, first, W, baseline, span);
        }
    }
    p.setPen(QPen(WaveColor, 1, Qt::SolidLine));
    line.Draw(p);
    if (info) {
        info->Coarse = coarse;
        info->Vertices = line.Count();
    }

    const int d = W / 10;
    const QFontMetrics metrics(p.font());
    for (int k = 0; k < 10; ++k) {
        const int gx = d * k + d / 2;
        p.setPen(QPen(GridColor, 1, Qt::SolidLine));
        p.drawLine(gx, 0, gx, 2 * baseline);
        const QString label = GridLabel(gx, W, span, first);
        // The label hides whatever lies under it: waveform and grid alike.
        const QRect box(gx + 3, 3, metrics.horizontalAdvance(label), metrics.height());
        p.fillRect(box, Qt::white);
        p.setPen(QPen(Qt::black));
        p.drawText(box.left(), box.top() + metrics.ascent(), label);
        if (info) {
            info->GridX.push_back(gx);
            info->Labels.push_back(label);
        }
    }

    p.setPen(QPen(SelectionColor, 1, Qt::SolidLine));
    for (const int32_t s : {view.SelStart, view.SelEnd}) {
        // Widened so that no selection end and view start can overflow the difference.
        const float offset = float(int64_t(s) - int64_t(first));
        float f = offset * float(W);
        f = f / span;
        const int64_t sx = TruncToInt64(f);
        if (sx >= 0 && sx <= W) {
            p.drawLine(int(sx), H, int(sx), 0);
            if (info) info->SelectionX.push_back(int(sx));
        }
    }
}
