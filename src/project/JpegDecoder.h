#pragma once
// JPEG decoding through libjpeg, with DCT scaling so that a picture is decoded no larger than its
// largest place on screen needs. Safe on any input bytes and callable from any thread.

#include <QImage>
#include <QSize>
#include <QString>
#include <cstddef>

// The largest cell a picture is ever stretched into (the archive strip's), in device-independent
// pixels. The line strip's cells (219 x 146) are smaller.
inline constexpr QSize LargestPictureCell(250, 167);

struct TJpegResult {
    QImage image;   // Format_RGB888; null when the bytes could not be decoded
    QString error;  // libjpeg's message when image is null
};

// Decodes a whole JPEG file held in memory. With minSize valid, libjpeg scales by the smallest
// factor n/8 (n = 1..8) whose output is still at least minSize in both directions; pictures
// smaller than minSize come out at full size. An invalid minSize decodes at full size.
TJpegResult DecodeJpeg(const unsigned char* data, size_t size, QSize minSize);

// The size libjpeg would produce for minSize (as above), or an invalid size when the header
// cannot be read.
QSize ScaledJpegSize(const unsigned char* data, size_t size, QSize minSize);

// The size that every picture must still cover at a device pixel ratio: LargestPictureCell
// times dpr, rounded up.
QSize PictureDecodeSize(double devicePixelRatio);
