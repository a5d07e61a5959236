#include "WaveRenderer.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "PixelLine.h"

namespace {

const QRgb WaveColor = qRgb(0, 0, 0);
const QRgb GridColor = qRgb(192, 192, 192);
const QRgb SelectionColor = qRgb(255, 0, 0);

// The polyline of the waveform, as pen moves: each LineTo draws from the last point.
class TPolyline {
  public:
    TPolyline(int capacity, int64_t x, int64_t y) {
        points_.reserve(size_t(capacity));
        points_.push_back({x, y});
    }
    void LineTo(int64_t x, int64_t y) { points_.push_back({x, y}); }
    void Draw(QImage& image, QRgb colour) const {
        for (size_t i = 1; i < points_.size(); ++i) {
            DrawPixelLine(image, points_[i - 1].x, points_[i - 1].y, points_[i].x, points_[i].y, colour);
        }
    }
    int Count() const { return int(points_.size()); }

  private:
    struct Vertex {
        int64_t x, y;
    };
    std::vector<Vertex> points_;
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
    // The window of each column, found before any sample is read; a column whose sample lies
    // outside the recording has none and draws nothing.
    struct TSpan {
        int64_t from, to, idx;
    };
    std::vector<TSpan> windows(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x) {
        float q = float(x) / float(width);
        q = viewSpan * q;
        q = firstF + q;
        const float rounded = q + 0.5f;
        const int64_t idx = TruncToInt64(rounded);
        TSpan& w = windows[size_t(x)];
        w.idx = idx;
        if (idx >= count || idx < 0) {
            w.from = 1;
            w.to = 0;
            continue;
        }
        // Positions outside the recording are skipped; the bounds keep j away from them.
        w.from = idx - half;
        if (w.from < 0) w.from += ((-w.from + stride - 1) / stride) * stride;
        w.to = std::min(idx + half, count - 1);
    }
    // Far apart in a long recording, the reads wait on memory; asking for the sample a few
    // reads ahead (the windows of neighbouring columns nearly touch) lets those waits overlap.
    constexpr int64_t Ahead = 24;
    const int64_t lead = Ahead * stride;
    for (int x = 0; x < width; ++x) {
        const TSpan& w = windows[size_t(x)];
        if (w.from > w.to) continue;
        int hi = samples[w.idx];
        int lo = hi;
        int last = hi;
        for (int64_t j = w.from; j <= w.to; j += stride) {
            if (j + lead < count) __builtin_prefetch(samples + j + lead);
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

// Each band over the columns its segment covers, clipped to the view; the colour of a column is
// found once, so overlapping bands cost no more than one fill of the view.
int PaintBands(QImage& bitmap, const TWaveView& view, int32_t first) {
    const int W = std::min(view.Width, bitmap.width());
    const int H = std::min(view.Height, bitmap.height());
    if (W <= 0 || H <= 0 || !std::isfinite(view.ViewSpan) || !(view.ViewSpan > 0.0f)) return 0;
    struct TColumns {
        int x0, x1;
        size_t band;
    };
    std::vector<TColumns> shown;
    std::vector<int> owner(size_t(W), -1);
    for (size_t b = 0; b < view.Bands.size(); ++b) {
        const TWaveBand& band = view.Bands[b];
        const int64_t a = ColumnAt(std::min(band.Start, band.Finish), first, view.Width, view.ViewSpan);
        const int64_t z = ColumnAt(std::max(band.Start, band.Finish), first, view.Width, view.ViewSpan);
        if (z < 0 || a >= W) continue;
        const int x0 = int(std::max<int64_t>(a, 0));
        const int x1 = int(std::min<int64_t>(z, W - 1));
        for (int x = x0; x <= x1; ++x) owner[size_t(x)] = int(shown.size());
        shown.push_back({x0, x1, b});
    }
    if (shown.empty()) return 0;
    for (int y = 0; y < H; ++y) {
        auto* row = reinterpret_cast<QRgb*>(bitmap.scanLine(y));
        for (int x = 0; x < W; ++x) {
            const int o = owner[size_t(x)];
            if (o >= 0) row[x] = view.Bands[shown[size_t(o)].band].Colour | 0xff000000u;
        }
    }
    // One label per starting column, the top band's: labels of bands under it would be drawn on
    // the same place. A band narrower than its label shows none rather than a cut-off number.
    std::vector<int> labelled(size_t(W), -1);
    for (size_t i = 0; i < shown.size(); ++i) labelled[size_t(shown[i].x0)] = int(i);
    QPainter p(&bitmap);
    p.setPen(QPen(Qt::black));
    const QFontMetrics metrics(p.font());
    // Measuring every label of hundreds of thin bands costs more than the fill: a band narrower
    // than one character is passed over before any label is measured.
    const int narrowest = 2 + metrics.horizontalAdvance(QLatin1Char('0'));
    for (const int i : labelled) {
        if (i < 0) continue;
        const TColumns& c = shown[size_t(i)];
        const QString& label = view.Bands[c.band].Label;
        const int width = c.x1 - c.x0 + 1;
        if (label.isEmpty() || width < narrowest || metrics.horizontalAdvance(label) + 2 > width) continue;
        p.drawText(c.x0 + 2, H - 2 - metrics.descent(), label);
    }
    return int(shown.size());
}

}  // namespace

int64_t ColumnAt(int32_t s, int32_t first, int width, float viewSpan) {
    // Widened so that no position and view start can overflow the difference.
    const float offset = float(int64_t(s) - int64_t(first));
    float f = offset * float(width);
    f = f / viewSpan;
    return TruncToInt64(f);
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

    if (bitmap.format() != QImage::Format_RGB32 && bitmap.format() != QImage::Format_ARGB32) {
        bitmap = bitmap.convertToFormat(QImage::Format_RGB32);
    }
    bitmap.fill(Qt::white);
    const int bands = view.Bands.empty() ? 0 : PaintBands(bitmap, view, first);
    if (info) info->BandsDrawn = bands;

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
    line.Draw(bitmap, WaveColor);
    if (info) {
        info->Coarse = coarse;
        info->Vertices = line.Count();
    }

    {
        // The painter only sets the labels' text; every line is written to the pixels directly.
        QPainter p(&bitmap);
        p.setPen(QPen(Qt::black));
        const QFontMetrics metrics(p.font());
        const int d = W / 10;
        for (int k = 0; k < 10; ++k) {
            const int gx = d * k + d / 2;
            DrawPixelLine(bitmap, gx, 0, gx, 2 * baseline, GridColor);
            const QString label = GridLabel(gx, W, span, first);
            // The label hides whatever lies under it: waveform and grid alike.
            const QRect box(gx + 3, 3, metrics.horizontalAdvance(label), metrics.height());
            p.fillRect(box, Qt::white);
            p.drawText(box.left(), box.top() + metrics.ascent(), label);
            if (info) {
                info->GridX.push_back(gx);
                info->Labels.push_back(label);
            }
        }
    }

    for (const int32_t s : {view.SelStart, view.SelEnd}) {
        const int64_t sx = ColumnAt(s, first, W, span);
        if (sx >= 0 && sx <= W) {
            DrawPixelLine(bitmap, sx, H, sx, 0, SelectionColor);
            if (info) info->SelectionX.push_back(int(sx));
        }
    }
}
