#pragma once
// Rendering of the waveform view: the recording as one black polyline, ten silver time marks with
// their labels, and the two red selection lines, into a plain QImage. Positions are indices on
// the 11025-per-second timeline; the view arithmetic runs in 32-bit floats, each intermediate
// rounded to single precision, and every float-to-integer conversion truncates toward zero.

#include <QImage>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

// A stored segment shown as a band across the whole height, under the waveform.
struct TWaveBand {
    int32_t Start = 0;  // the segment's ends, in either order
    int32_t Finish = 0;
    QRgb Colour = 0;
    QString Label;  // drawn at the band's bottom left when the band is wide enough for it
};

// What one redraw looks at.
struct TWaveView {
    int Width = 0;           // W: pixels across the view
    int Height = 0;          // H: pixels down the view
    float ViewStart = 0.0f;  // position at the left edge
    float ViewSpan = 0.0f;   // positions across the full width
    int32_t SelStart = 0;    // selection ends; a line is drawn for each that falls in the view
    int32_t SelEnd = 0;
    // Painted first, in order (a later band over an earlier one); none in the plain view.
    std::vector<TWaveBand> Bands;
};

// What one redraw did, for callers that want to look (tests and the benchmark).
struct TWaveRenderInfo {
    bool Coarse = false;          // true: one column at a time; false: one sample at a time
    int Vertices = 0;             // points of the waveform polyline, the start (0, Baseline) included
    std::vector<int> GridX;       // columns of the time marks, left to right
    QStringList Labels;           // their texts, in the same order
    std::vector<int> SelectionX;  // columns of the selection lines drawn (SelStart's first)
    int BandsDrawn = 0;           // bands that reached into the view
};

// Points of the timeline per time label: the labels count seconds of this many positions.
inline constexpr float TimelineRate = 11025.0f;
// Fewer than this many positions per pixel draws every sample; at or above it, per column.
inline constexpr float FineSamplesPerPixel = 100.0f;
// The coarse waveform reads this many positions around each column's sample.
inline constexpr int CoarseWindow = 81;

// Bounds of the view, wide enough for any real use: from a single position across the whole
// width (under one sample per pixel) up to 2^30 positions (about 27 hours at 11025 per second,
// well past a ten-hour recording). They keep every drag from driving ViewSpan to 0, infinity or
// NaN, and keep ViewStart a finite position that an int32 holds.
inline constexpr float MinViewSpan = 1.0f;
inline constexpr float MaxViewPositions = 1073741824.0f;

// Puts start into [0, MaxViewPositions] (a start that is not >= 0, NaN included, becomes 0) and
// span into [MinViewSpan, MaxViewPositions] (NaN becomes MinViewSpan).
void ClampView(float& start, float& span);

// Float to integer, truncated toward zero; NaN gives 0 and values beyond the type saturate, so
// no view, however extreme, converts with undefined behaviour.
inline int64_t TruncToInt64(float f) {
    // 2^62 is exact in a float and leaves room for the sums the callers form.
    constexpr float Limit = 4611686018427387904.0f;
    if (f != f) return 0;
    if (f >= Limit) return int64_t(1) << 62;
    if (f <= -Limit) return -(int64_t(1) << 62);
    return int64_t(f);
}
int32_t TruncToInt32(float f);

// Row of sample value v: positive values below the baseline, one row per 700.
inline int WaveRow(int baseline, int v) { return baseline + v / 700; }

// The first sample of the view: ViewStart rounded to the nearest position.
int32_t FirstSample(float viewStart);

// Time label of the mark at column gx: "minutes:seconds" with the seconds to two decimals.
QString GridLabel(int gx, int width, float viewSpan, int32_t first);

// Column of position s in a view whose first sample is `first`: (s - first) * width / viewSpan,
// truncated; not limited to the view.
int64_t ColumnAt(int32_t s, int32_t first, int width, float viewSpan);

// Position under column x of a view (a click): not limited to the recording.
int32_t PositionAt(int x, int width, float viewSpan, float viewStart);

// Fills bitmap white, paints view.Bands, then draws the waveform of samples[0 .. sampleCount), the time grid
// and the selection for view. The geometry comes from view.Width and view.Height, whatever the size of bitmap
// (what falls outside it is clipped). Reads samples only inside [0, sampleCount), for any view; with no
// samples, only the grid and the selection are drawn.
void RenderWave(QImage& bitmap,
                const int16_t* samples,
                int32_t sampleCount,
                const TWaveView& view,
                TWaveRenderInfo* info = nullptr);
