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

// A JPEG whose header promises more pixels than this is not decoded: 16384 x 16384, beyond any
// camera, while a few bytes can claim 37800 x 37800.
inline constexpr qint64 MaxJpegPixels = qint64(1) << 28;
// Nor one whose header promises more pixels than this for each byte of the file: a few bytes
// claiming a large picture decode to grey, slowly. Huffman-coded JPEGs take at least a byte for
// 512 pixels, however flat the picture.
inline constexpr qint64 MaxJpegPixelsPerByte = 1024;
// Nor one whose decoded picture would take more bytes than this: a camera photo of 20 megapixels
// decoded at full size. Scaled for the strips, the largest picture above takes 12 MiB.
inline constexpr qint64 MaxDecodedPictureBytes = 64LL * 1024 * 1024;

// Bytes of a decoded picture of that size (24-bit, lines padded as QImage pads them).
qint64 DecodedPictureBytes(QSize size);

struct TJpegResult {
    QImage image;   // Format_RGB888; null when the bytes could not be decoded
    QString error;  // libjpeg's message when image is null
};

// Decodes a whole JPEG file held in memory. With minSize valid, libjpeg scales by the smallest
// factor n/8 (n = 1..8) whose output is still at least minSize in both directions; pictures
// smaller than minSize come out at full size. An invalid minSize decodes at full size.
TJpegResult DecodeJpeg(const unsigned char* data, size_t size, QSize minSize);

// The size libjpeg would produce for minSize (as above), or an invalid size when the header
// cannot be read or the picture is beyond the limits above. data may hold only the start of a
// file of fileSize bytes (0: data is the whole file).
QSize ScaledJpegSize(const unsigned char* data, size_t size, QSize minSize, size_t fileSize = 0);

// The size that every picture must still cover at a device pixel ratio: LargestPictureCell
// times dpr, rounded up.
QSize PictureDecodeSize(double devicePixelRatio);
