#pragma once
// One-pixel solid lines written straight into a 32-bit QImage, without antialiasing: both ends
// are drawn, and whatever lies outside the image is clipped. The painter's general stroker is
// far slower for the thousands of short steep segments of a waveform.

#include <QImage>
#include <cstdint>

// image must be Format_RGB32 or Format_ARGB32; other formats are left untouched.
void DrawPixelLine(QImage& image, int64_t x0, int64_t y0, int64_t x1, int64_t y1, QRgb colour);
