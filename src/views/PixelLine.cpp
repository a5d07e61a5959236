#include "PixelLine.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Fixed point with 32 fraction bits: a slope of at most one pixel per step, exact enough over
// any length an image holds.
constexpr int64_t One = int64_t(1) << 32;
constexpr int64_t Half = int64_t(1) << 31;

// Coordinates beyond this are pulled in: past it a line is off any image, and the products
// below stay inside 64 bits.
constexpr int64_t Far = int64_t(1) << 24;

}  // namespace

void DrawPixelLine(QImage& image, int64_t x0, int64_t y0, int64_t x1, int64_t y1, QRgb colour) {
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32) return;
    const int64_t w = image.width();
    const int64_t h = image.height();
    if (w <= 0 || h <= 0) return;
    x0 = std::clamp(x0, -Far, Far);
    x1 = std::clamp(x1, -Far, Far);
    y0 = std::clamp(y0, -Far, Far);
    y1 = std::clamp(y1, -Far, Far);
    uchar* bits = image.bits();
    const int64_t stride = image.bytesPerLine();
    const int64_t dx = x1 - x0;
    const int64_t dy = y1 - y0;
    if (std::llabs(dx) >= std::llabs(dy)) {
        if (dx == 0) {
            if (x0 >= 0 && x0 < w && y0 >= 0 && y0 < h)
                reinterpret_cast<QRgb*>(bits + y0 * stride)[x0] = colour;
            return;
        }
        // Walk x from left to right over the part inside the image; y follows at the rounded slope.
        if (dx < 0) {
            std::swap(x0, x1);
            std::swap(y0, y1);
        }
        const int64_t slope = (y1 - y0) * One / (x1 - x0);
        const int64_t from = std::max<int64_t>(x0, 0);
        const int64_t to = std::min<int64_t>(x1, w - 1);
        int64_t y = y0 * One + (from - x0) * slope + Half;
        for (int64_t x = from; x <= to; ++x, y += slope) {
            const int64_t row = y >> 32;
            if (row >= 0 && row < h) reinterpret_cast<QRgb*>(bits + row * stride)[x] = colour;
        }
    } else {
        // Walk y from top to bottom, one scan line per step; x follows at the rounded slope.
        if (dy < 0) {
            std::swap(x0, x1);
            std::swap(y0, y1);
        }
        const int64_t slope = (x1 - x0) * One / (y1 - y0);
        const int64_t from = std::max<int64_t>(y0, 0);
        const int64_t to = std::min<int64_t>(y1, h - 1);
        if (from > to) return;
        int64_t x = x0 * One + (from - y0) * slope + Half;
        uchar* line = bits + from * stride;
        for (int64_t y = from; y <= to; ++y, x += slope, line += stride) {
            const int64_t col = x >> 32;
            if (col >= 0 && col < w) reinterpret_cast<QRgb*>(line)[col] = colour;
        }
    }
}
