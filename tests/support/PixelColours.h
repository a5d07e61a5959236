#pragma once
// The colours the waveform tests expect, written out here rather than taken from the renderer, so
// that a colour changed in the renderer fails them; and a pixel as they compare it (opaque).
#include <QImage>

inline constexpr QRgb White = qRgb(255, 255, 255);
inline constexpr QRgb Black = qRgb(0, 0, 0);
inline constexpr QRgb Silver = qRgb(192, 192, 192);  // the time grid
inline constexpr QRgb Red = qRgb(255, 0, 0);         // the selection's lines
inline constexpr QRgb Band = qRgb(204, 229, 255);    // a stored segment under the overlay
inline constexpr QRgb CaretBand = qRgb(204, 255, 204);
inline constexpr QRgb Cursor = qRgb(0, 0, 255);  // the playback cursor

inline QRgb At(const QImage& img, int x, int y) { return img.pixel(x, y) | 0xff000000; }
