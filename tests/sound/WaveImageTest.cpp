// What the sound output takes from a WAVE image: only what its RIFF header declares.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QtEndian>

#include "SoundOutput.h"

namespace {

// A canonical 16-bit PCM image with the given PCM size; riffSize < 0 takes the standard value.
QByteArray Image(
    int channels, int rate, uint32_t pcmBytes, int64_t riffSize = -1, int bits = 16, int tag = 1) {
    QByteArray b(44 + int(pcmBytes), '\x11');
    auto u32 = [&b](int at, uint32_t v) { qToLittleEndian<quint32>(v, b.data() + at); };
    auto u16 = [&b](int at, uint16_t v) { qToLittleEndian<quint16>(v, b.data() + at); };
    b.replace(0, 4, "RIFF");
    u32(4, riffSize < 0 ? 36 + pcmBytes : uint32_t(riffSize));
    b.replace(8, 8, "WAVEfmt ");
    u32(16, 16);
    u16(20, uint16_t(tag));
    u16(22, uint16_t(channels));
    u32(24, uint32_t(rate));
    u32(28, uint32_t(rate * channels * bits / 8));
    u16(32, uint16_t(channels * bits / 8));
    u16(34, uint16_t(bits));
    b.replace(36, 4, "data");
    u32(40, pcmBytes);
    return b;
}

const unsigned char* Bytes(const QByteArray& b) {
    return reinterpret_cast<const unsigned char*>(b.constData());
}

TEST(WaveImageTest, CanonicalImageGivesFormatAndData) {
    const QByteArray image = Image(2, 44100, 4608);
    TWaveImageFormat format;
    ASSERT_TRUE(ParseWaveImage(Bytes(image), format));
    EXPECT_EQ(format.Channels, 2);
    EXPECT_EQ(format.SampleRate, 44100);
    EXPECT_EQ(format.Data, Bytes(image) + 44);
    EXPECT_EQ(format.DataSize, 4608u);
}

TEST(WaveImageTest, ImageWhoseRiffSizeCountsFromItsFourthByteIsAccepted) {
    // The player's own images declare image size - 4; the data chunk still bounds the PCM.
    const QByteArray image = Image(1, 22050, 11476, 11520 - 4);
    TWaveImageFormat format;
    ASSERT_TRUE(ParseWaveImage(Bytes(image), format));
    EXPECT_EQ(format.DataSize, 11476u);
}

TEST(WaveImageTest, DataChunkLargerThanTheRiffIsCutToTheRiff) {
    const QByteArray image = Image(2, 44100, 4000, 36 + 400);
    TWaveImageFormat format;
    ASSERT_TRUE(ParseWaveImage(Bytes(image), format));
    EXPECT_EQ(format.DataSize, 400u);
}

TEST(WaveImageTest, PartialSampleFrameIsDropped) {
    const QByteArray image = Image(2, 44100, 4607);
    TWaveImageFormat format;
    ASSERT_TRUE(ParseWaveImage(Bytes(image), format));
    EXPECT_EQ(format.DataSize, 4604u);
}

TEST(WaveImageTest, ChunksBeforeTheDataAreSkipped) {
    QByteArray image = Image(2, 44100, 16);
    QByteArray list(
        "LIST\x03\0\0\0"
        "abc\0",
        12);  // odd size, padded to even
    image.insert(36, list);
    qToLittleEndian<quint32>(36 + 12 + 16, image.data() + 4);
    TWaveImageFormat format;
    ASSERT_TRUE(ParseWaveImage(Bytes(image), format));
    EXPECT_EQ(format.Data, Bytes(image) + 56);
    EXPECT_EQ(format.DataSize, 16u);
}

TEST(WaveImageTest, WhatIsNotSixteenBitPcmWaveIsRefused) {
    TWaveImageFormat format;
    QByteArray notRiff = Image(2, 44100, 64);
    notRiff[0] = 'X';
    EXPECT_FALSE(ParseWaveImage(Bytes(notRiff), format));
    QByteArray notWave = Image(2, 44100, 64);
    notWave[8] = 'X';
    EXPECT_FALSE(ParseWaveImage(Bytes(notWave), format));
    EXPECT_FALSE(ParseWaveImage(Bytes(Image(2, 44100, 64, -1, 8)), format));
    EXPECT_FALSE(ParseWaveImage(Bytes(Image(2, 44100, 64, -1, 16, 3)), format));
    EXPECT_FALSE(ParseWaveImage(Bytes(Image(0, 44100, 64)), format));
    EXPECT_FALSE(ParseWaveImage(Bytes(Image(2, 0, 64)), format));
    EXPECT_FALSE(ParseWaveImage(nullptr, format));
}

TEST(WaveImageTest, DataBeforeAFormatOrBeyondTheRiffIsRefused) {
    TWaveImageFormat format;
    QByteArray noFormat = Image(2, 44100, 64);
    noFormat.replace(12, 4, "junk");
    EXPECT_FALSE(ParseWaveImage(Bytes(noFormat), format));
    // A RIFF too short to hold the data chunk's own header.
    EXPECT_FALSE(ParseWaveImage(Bytes(Image(2, 44100, 64, 30)), format));
}

}  // namespace
