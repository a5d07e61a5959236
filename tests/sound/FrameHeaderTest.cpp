// The four-byte frame header test and its decoding into the player's header fields.
#include <gtest/gtest.h>

#include "SoundTestSupport.h"

namespace {

// Opens a small valid stream followed by the bytes under test, and returns the position of
// those bytes; IsFrameHeader can only look at bytes of a loaded file.
int32_t LoadWithTail(TPlayerFixture& f, const QByteArray& tail) {
    QByteArray bytes = FrameRun(Mpeg1Header, 417, 3);
    const int32_t at = static_cast<int32_t>(bytes.size()) + 8;
    bytes.append(QByteArray(8, 'x'));
    bytes.append(tail);
    bytes.append(QByteArray(16, '\0'));
    EXPECT_TRUE(f.OpenBytes(bytes));
    return at;
}

struct THeaderCase {
    const char* bytes;
    int32_t version, layer, bitrate, sampleRate, channels, padding;
};

void PrintTo(const THeaderCase& c, std::ostream* os) { *os << QByteArray(c.bytes, 4).toHex().toStdString(); }

class HeaderDecoding : public ::testing::TestWithParam<THeaderCase> {};

TEST_P(HeaderDecoding, WritesEveryFieldAndHandsBackThePadding) {
    const THeaderCase c = GetParam();
    TPlayerFixture f;
    const int32_t at = LoadWithTail(f, QByteArray(c.bytes, 4));
    TMyPlayer0802& p = f.player();
    p.MpegVersion = p.Layer = p.Bitrate = p.SampleRate = p.Channels = 0;
    int32_t padding = -1;
    ASSERT_TRUE(p.IsFrameHeader(at, padding));
    EXPECT_EQ(p.MpegVersion, c.version);
    EXPECT_EQ(p.Layer, c.layer);
    EXPECT_EQ(p.Bitrate, c.bitrate);
    EXPECT_EQ(p.SampleRate, c.sampleRate);
    EXPECT_EQ(p.Channels, c.channels);
    EXPECT_EQ(padding, c.padding);
}

INSTANTIATE_TEST_SUITE_P(
    Headers,
    HeaderDecoding,
    ::testing::Values(
        // MPEG-1 Layer III 128 kbit/s 44100 Hz joint stereo.
        THeaderCase{"\xFF\xFB\x90\x64", 1, 3, 128, 44100, 2, 0},
        // MPEG-2 Layer III 64 kbit/s 22050 Hz mono.
        THeaderCase{"\xFF\xF3\x80\xC0", 2, 3, 64, 22050, 1, 0},
        // MPEG-2.5 Layer III 16 kbit/s 8000 Hz mono, padded: MPEG-2 bitrates, a quarter of MPEG-1 rates.
        THeaderCase{"\xFF\xE3\x2A\xC0", 3, 3, 16, 8000, 1, 1},
        // MPEG-1 Layer II 384 kbit/s 48000 Hz dual channel.
        THeaderCase{"\xFF\xFD\xE4\x80", 1, 2, 384, 48000, 2, 0},
        // MPEG-1 Layer I 448 kbit/s 32000 Hz stereo.
        THeaderCase{"\xFF\xFF\xE8\x00", 1, 1, 448, 32000, 2, 0},
        // MPEG-2 Layer I 256 kbit/s 24000 Hz: its own lower-frequency column.
        THeaderCase{"\xFF\xF7\xE4\x00", 2, 1, 256, 24000, 2, 0},
        // MPEG-2 Layer II 160 kbit/s 16000 Hz: the column Layers II and III share.
        THeaderCase{"\xFF\xF5\xE8\x40", 2, 2, 160, 16000, 2, 0},
        // Reserved version code: placeholders for bitrate and sample rate.
        THeaderCase{"\xFF\xEB\x90\x64", -1, 3, 1, 1, 2, 0},
        // Reserved layer code: bitrate placeholder, real sample rate.
        THeaderCase{"\xFF\xF9\x90\x64", 1, -1, 1, 44100, 2, 0}),
    [](const ::testing::TestParamInfo<THeaderCase>& info) {
        return "h" + QByteArray(info.param.bytes, 4).toHex().toStdString();
    });

TEST(FrameHeader, RejectsFreeFormatBadBitrateReservedRateAndMissingSync) {
    const char* rejected[] = {
        "\xFF\xFB\x00\x64",  // bitrate index 0 (free format)
        "\xFF\xFB\xF0\x64",  // bitrate index 15
        "\xFF\xFB\x9C\x64",  // sample-rate index 3
        "\xFF\xDB\x90\x64",  // only ten sync bits
        "\xFE\xFB\x90\x64",  // first byte not 0xFF
    };
    for (const char* bytes : rejected) {
        TPlayerFixture f;
        const int32_t at = LoadWithTail(f, QByteArray(bytes, 4));
        TMyPlayer0802& p = f.player();
        p.MpegVersion = p.Layer = p.Bitrate = p.SampleRate = p.Channels = 77;
        int32_t padding = -1;
        EXPECT_FALSE(p.IsFrameHeader(at, padding)) << QByteArray(bytes, 4).toHex().toStdString();
        // A rejected candidate leaves the fields of the last accepted header alone.
        EXPECT_EQ(p.Bitrate, 77);
        EXPECT_EQ(p.SampleRate, 77);
    }
}

TEST(FrameHeader, FailsWithFewerThanFourBytesLeftOrOutsideTheData) {
    TPlayerFixture f;
    QByteArray bytes = FrameRun(Mpeg1Header, 417, 3);
    bytes.append(Mpeg1Header.left(3));  // a header cut after three bytes ends the file
    ASSERT_TRUE(f.OpenBytes(bytes));
    int32_t padding = 0;
    const int32_t r = static_cast<int32_t>(bytes.size());
    EXPECT_EQ(f.player().DataSize(), r);
    EXPECT_TRUE(f.player().IsFrameHeader(834, padding));
    EXPECT_FALSE(f.player().IsFrameHeader(r - 3, padding));
    EXPECT_FALSE(f.player().IsFrameHeader(r, padding));
    EXPECT_FALSE(f.player().IsFrameHeader(-1, padding));
}

TEST(FrameHeader, FailsWithNoFileLoaded) {
    TPlayerFixture f;
    int32_t padding = 0;
    EXPECT_FALSE(f.player().IsFrameHeader(0, padding));
}

TEST(FrameLength, FollowsTheHeaderFields) {
    TPlayerFixture f;
    TMyPlayer0802& p = f.player();
    p.MpegVersion = 1;
    p.Bitrate = 128;
    p.SampleRate = 44100;
    EXPECT_FLOAT_EQ(p.FrameLength(), 417.959183f);
    EXPECT_EQ(static_cast<int>(p.FrameLength()), 417);

    p.MpegVersion = 2;
    p.Bitrate = 64;
    p.SampleRate = 22050;
    EXPECT_FLOAT_EQ(p.FrameLength(), 208.979591f);

    // MPEG-2.5 halves like MPEG-2; the padding bit is never part of the length.
    p.MpegVersion = 3;
    p.Bitrate = 16;
    p.SampleRate = 8000;
    EXPECT_FLOAT_EQ(p.FrameLength(), 144.0f);

    // The reserved version code: placeholders give 72000 bytes.
    p.MpegVersion = -1;
    p.Bitrate = 1;
    p.SampleRate = 1;
    EXPECT_FLOAT_EQ(p.FrameLength(), 72000.0f);
}

TEST(FrameHeader, ConstructionStartsEmpty) {
    TPlayerFixture f;
    const TMyPlayer0802& p = f.player();
    EXPECT_TRUE(p.FileName.isEmpty());
    EXPECT_EQ(p.FileData, nullptr);
    EXPECT_EQ(p.FrameOffsets, nullptr);
    EXPECT_EQ(p.FirstFrameOffset, 0);
    EXPECT_EQ(p.FrameCount, 0);
    EXPECT_EQ(p.PlayFrom, 0);
    EXPECT_EQ(p.PlayTo, 0);
    EXPECT_EQ(p.MpegVersion, 0);
    EXPECT_EQ(p.Layer, 0);
    EXPECT_EQ(p.Bitrate, 0);
    EXPECT_EQ(p.SampleRate, 0);
    EXPECT_EQ(p.Channels, 0);
    EXPECT_FLOAT_EQ(p.FrameDuration, 0.1f);
}

}  // namespace
