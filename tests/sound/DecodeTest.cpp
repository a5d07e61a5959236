// Decoding the recording onto the 11025-per-second timeline.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <cmath>
#include <map>

#include "SoundTestSupport.h"

namespace {

const char* const Cbr44 = "mpeg1-l3-44100-stereo-cbr.mp3";
const char* const Mono22 = "mpeg2-l3-22050-mono.mp3";
const char* const Mono8 = "mpeg25-l3-8000-mono.mp3";

int16_t FirstChannel(const TMyPlayer0802& p, int32_t j) {
    const unsigned char* b = p.WaveImage + j * p.Channels * 2;
    return static_cast<int16_t>(b[0] | (b[1] << 8));
}

// The position sample frame j of an m-frame chunk starting at frame k lands on: q = j / n scaled
// by the frame duration and m in 32-bit float steps, t in double, nearest position.
int64_t PositionOf(int32_t j, int32_t n, int32_t k, int32_t m, float duration) {
    float q = static_cast<float>(j) / static_cast<float>(n);
    q = q * duration;
    q = q * static_cast<float>(m);
    const double t = static_cast<double>(k) * static_cast<double>(duration) + static_cast<double>(q);
    return static_cast<int64_t>(t * 11025.0 + 0.5);
}

// Reproduces the decoder's state at the start of the main pass (frames 0 to 29 already fed),
// then decodes the first main-pass chunk into the reference player's WaveImage.
int32_t FirstMainChunk(TPlayerFixture& reference, const char* fixture) {
    EXPECT_TRUE(reference.OpenFile(Mp3Fixture(fixture)));
    TMyPlayer0802& p = reference.player();
    p.DecodeFrames(0, 10);
    p.DecodeFrames(10, 20);
    p.DecodeFrames(20, 30);
    return p.DecodeFrames(0, 10);
}

TEST(DecodeFrames, TenFramesOf44100StereoGive46080Bytes) {
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenFile(Mp3Fixture(Cbr44)));
    // Frame 0 is the encoder's Info frame: it decodes as audio like every other frame.
    EXPECT_EQ(f.player().DecodeFrames(0, 10), 46080);
    EXPECT_EQ(f.player().DecodeFrames(10, 20), 46080);
    EXPECT_EQ(f.player().DecodeFrames(20, 30), 46080);
    int nonZero = 0;
    for (int32_t j = 0; j < 11520; ++j) nonZero += FirstChannel(f.player(), j) != 0;
    EXPECT_GT(nonZero, 10000);
}

TEST(DecodeFrames, TenFramesOf22050MonoGive11520Bytes) {
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenFile(Mp3Fixture(Mono22)));
    EXPECT_EQ(f.player().DecodeFrames(0, 10), 11520);
    EXPECT_EQ(f.player().DecodeFrames(20, 30), 11520);
}

TEST(DecodeFrames, StaysInsideTheTable) {
    TPlayerFixture f;
    EXPECT_EQ(f.player().DecodeFrames(0, 10), 0);  // nothing loaded
    ASSERT_TRUE(f.OpenFile(Mp3Fixture(Cbr44)));
    const int32_t count = f.player().FrameCount;
    // The last entry has no length: asking for it, or beyond, decodes only the frames before.
    EXPECT_EQ(f.player().DecodeFrames(count - 3, count + 50), 2 * 4608);
    EXPECT_EQ(f.player().DecodeFrames(-5, 0), 0);
}

TEST(Decode, MeasuresFrameDurationAndSizesTheBuffer) {
    for (const char* name : {Cbr44, Mono22}) {
        TPlayerFixture f;
        ASSERT_TRUE(f.OpenFile(Mp3Fixture(name)));
        const std::vector<int16_t> samples = f.DecodeAll();
        const TMyPlayer0802& p = f.player();
        EXPECT_FLOAT_EQ(p.FrameDuration, 1152.0f / 44100.0f) << name;
        EXPECT_NEAR(p.FrameDuration, 0.0261224, 1e-7) << name;
        // 288 positions per frame, and about 100 more.
        EXPECT_EQ(static_cast<int32_t>(samples.size()), 288 * p.FrameCount + 100) << name;
    }
}

// Checks the first main-pass chunk of a 44100 Hz or 22050 Hz fixture: every one of its 2880
// positions holds the first channel of the last sample frame that rounds to it, which is sample
// frame perPosition x (i + 1) - perPosition / 2 - 1, or the one after it when float rounding at the
// exact half-way point moves that one down.
void ExpectLastSamplePerPosition(const char* fixture, int32_t perPosition) {
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenFile(Mp3Fixture(fixture)));
    const std::vector<int16_t> samples = f.DecodeAll();
    TPlayerFixture reference;
    const int32_t bytes = FirstMainChunk(reference, fixture);
    const int32_t n = bytes / 2 / reference.player().Channels;
    ASSERT_EQ(n, 2880 * perPosition);
    std::vector<int32_t> source(2881, -1);
    for (int32_t j = 0; j < n; ++j) {
        const int64_t at = PositionOf(j, n, 0, 10, f.player().FrameDuration);
        ASSERT_LE(at, 2880);
        source[static_cast<size_t>(at)] = j;
    }
    for (int32_t i = 1; i < 2880; ++i) {
        const int32_t last = perPosition * (i + 1) - perPosition / 2 - 1;
        ASSERT_TRUE(source[i] == last || source[i] == last + 1) << "position " << i << " from " << source[i];
        ASSERT_EQ(samples[i], FirstChannel(reference.player(), source[i])) << "position " << i;
    }
}

TEST(Decode, EachPositionKeepsTheLastOfItsFourStereoSamples) { ExpectLastSamplePerPosition(Cbr44, 4); }

TEST(Decode, MonoPositionKeepsTheLaterOfTwoSamples) { ExpectLastSamplePerPosition(Mono22, 2); }

TEST(Decode, SourceBelow11025HzLeavesGapsAtZero) {
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenFile(Mp3Fixture(Mono8)));
    const std::vector<int16_t> samples = f.DecodeAll();
    const TMyPlayer0802& p = f.player();
    EXPECT_FLOAT_EQ(p.FrameDuration, 576.0f / 8000.0f);
    TPlayerFixture reference;
    const int32_t bytes = FirstMainChunk(reference, Mono8);
    ASSERT_EQ(bytes, 11520);
    const int32_t n = bytes / 2;
    std::map<int64_t, int32_t> lastSource;
    for (int32_t j = 0; j < n; ++j) lastSource[PositionOf(j, n, 0, 10, p.FrameDuration)] = j;
    // Ten frames of 72 ms cover 7938 positions with 5760 samples.
    const int64_t chunkEnd = PositionOf(0, n, 10, 10, p.FrameDuration);
    EXPECT_EQ(chunkEnd, 7938);
    int gaps = 0;
    for (int64_t i = 0; i < chunkEnd; ++i) {
        const auto it = lastSource.find(i);
        if (it == lastSource.end()) {
            ++gaps;
            EXPECT_EQ(samples[i], 0) << "gap at " << i;
        } else {
            EXPECT_EQ(samples[i], FirstChannel(reference.player(), it->second)) << "position " << i;
        }
    }
    EXPECT_EQ(gaps, 7938 - 5760);
}

TEST(Decode, MarginBehindTheLastFrameIsZero) {
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenFile(Mp3Fixture(Cbr44)));
    const std::vector<int16_t> samples = f.DecodeAll();
    // The last table entry is never decoded: audio ends at frame FrameCount - 1.
    const size_t end = static_cast<size_t>(288 * (f.player().FrameCount - 1));
    for (size_t i = end + 1; i < samples.size(); ++i) EXPECT_EQ(samples[i], 0) << i;
    int nonZero = 0;
    for (size_t i = end - 288; i < end; ++i) nonZero += samples[i] != 0;
    EXPECT_GT(nonZero, 250);
}

TEST(Decode, ProgressShowsMaximumStepsPerChunkAndHides) {
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenFile(Mp3Fixture(Cbr44)));
    ASSERT_EQ(f.player().FrameCount, 78);
    TRecordingSink sink;
    f.DecodeAll(&sink);
    const std::vector<std::string> expected = {"pos 0", "max 7", "show",  "pos 0", "pos 1", "pos 2",
                                               "pos 3", "pos 4", "pos 5", "pos 6", "pos 7", "hide"};
    EXPECT_EQ(sink.calls, expected);
}

TEST(Decode, ShortRecordingMeasuresOnTheFramesItHas) {
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenFile(Mp3Fixture("short-under-4001.mp3")));
    ASSERT_LT(f.player().FrameCount, 31);
    ASSERT_GT(f.player().FrameCount, 1);
    const std::vector<int16_t> samples = f.DecodeAll();
    EXPECT_FLOAT_EQ(f.player().FrameDuration, 1152.0f / 44100.0f);
    EXPECT_EQ(static_cast<int32_t>(samples.size()), 288 * f.player().FrameCount + 100);
    int nonZero = 0;
    for (int16_t v : samples) nonZero += v != 0;
    EXPECT_GT(nonZero, 288 * (f.player().FrameCount - 2));
}

TEST(Decode, NoUsableFrameGivesAnEmptyValidBuffer) {
    // A padded first frame whose successor sits one byte early: the table stays empty.
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenBytes(FrameRun(Mpeg1PaddedHeader, 417, 1) + FrameRun(Mpeg1Header, 417, 2)));
    ASSERT_EQ(f.player().FrameCount, 0);
    TRecordingSink sink;
    EXPECT_TRUE(f.DecodeAll(&sink).empty());
    EXPECT_NE(f.lastSamples, nullptr);
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"pos 0", "max 0", "show", "hide"}));

    // One entry: a frame without a length.
    ASSERT_TRUE(f.OpenBytes(FrameRun(Mpeg1Header, 417, 1) + FrameRun(Mpeg1PaddedHeader, 417, 1) +
                            FrameRun(Mpeg1Header, 417, 1)));
    ASSERT_EQ(f.player().FrameCount, 1);
    EXPECT_TRUE(f.DecodeAll().empty());
    EXPECT_NE(f.lastSamples, nullptr);
}

TEST(Decode, AfterAFailedOpenGivesAnEmptyValidBuffer) {
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenFile(Mp3Fixture(Cbr44)));
    EXPECT_FALSE(f.OpenFile(Mp3Fixture("not-audio.mp3")));
    EXPECT_TRUE(f.DecodeAll().empty());
    EXPECT_NE(f.lastSamples, nullptr);
}

TEST(Decode, OpenResetsTheDecoderSoAReopenDecodesTheSame) {
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenFile(Mp3Fixture(Cbr44)));
    const std::vector<int16_t> first = f.DecodeAll();
    ASSERT_TRUE(f.OpenFile(Mp3Fixture(Mono22)));
    f.DecodeAll();
    ASSERT_TRUE(f.OpenFile(Mp3Fixture(Cbr44)));
    EXPECT_EQ(f.DecodeAll(), first);
}

TEST(Decode, TagsAndStrayBytesAroundTheStreamDoNotChangeTheSamples) {
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenFile(Mp3Fixture(Cbr44)));
    const std::vector<int16_t> plain = f.DecodeAll();
    for (const char* name : {"id3v2-front-id3v1-back.mp3", "garbage-front.mp3", "truncated-mid-frame.mp3"}) {
        ASSERT_TRUE(f.OpenFile(Mp3Fixture(name))) << name;
        EXPECT_EQ(f.DecodeAll(), plain) << name;
    }
}

TEST(Decode, ReservedLayerStreamDecodesToAValidBuffer) {
    // The decoder rejects every one of these frames: nothing is measured, nothing is mapped.
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenBytes(FrameRun(QByteArray("\xFF\xF9\x90\x64", 4), 4, 1500)));
    const std::vector<int16_t> samples = f.DecodeAll();
    EXPECT_FLOAT_EQ(f.player().FrameDuration, 0.0f);
    EXPECT_EQ(samples.size(), 100u);
}

struct TFixtureCase {
    const char* name;
    bool opens;
    int32_t sampleRate;
    int32_t channels;
};

void PrintTo(const TFixtureCase& c, std::ostream* os) { *os << c.name; }

class EveryFixture : public ::testing::TestWithParam<TFixtureCase> {};

TEST_P(EveryFixture, OpensAndDecodesCleanly) {
    const TFixtureCase c = GetParam();
    TPlayerFixture f;
    ASSERT_TRUE(QFileInfo::exists(Mp3Fixture(c.name))) << c.name;
    ASSERT_EQ(f.OpenFile(Mp3Fixture(c.name)), c.opens);
    const std::vector<int16_t> samples = f.DecodeAll();
    const TMyPlayer0802& p = f.player();
    if (!c.opens) {
        EXPECT_TRUE(samples.empty());
        return;
    }
    EXPECT_EQ(p.SampleRate, c.sampleRate);
    EXPECT_EQ(p.Channels, c.channels);
    EXPECT_LE(p.FrameCount, p.FrameCapacity());
    for (int32_t i = 1; i < p.FrameCount; ++i) ASSERT_GT(p.FrameOffsets[i], p.FrameOffsets[i - 1]);
    float covered = static_cast<float>(p.FrameCount) * p.FrameDuration;
    covered = covered * 11025.0f;
    EXPECT_EQ(static_cast<int32_t>(samples.size()),
              static_cast<int32_t>(static_cast<double>(covered) + 100.5));
    int nonZero = 0;
    for (int16_t v : samples) nonZero += v != 0;
    EXPECT_GT(nonZero, static_cast<int>(samples.size()) / 4) << "decoded audio missing";
}

INSTANTIATE_TEST_SUITE_P(Fixtures,
                         EveryFixture,
                         ::testing::Values(TFixtureCase{"mpeg1-l3-44100-stereo-cbr.mp3", true, 44100, 2},
                                           TFixtureCase{"mpeg2-l3-22050-mono.mp3", true, 22050, 1},
                                           TFixtureCase{"mpeg25-l3-8000-mono.mp3", true, 8000, 1},
                                           TFixtureCase{"vbr-xing.mp3", true, 44100, 2},
                                           TFixtureCase{"id3v2-front-id3v1-back.mp3", true, 44100, 2},
                                           TFixtureCase{"garbage-front.mp3", true, 44100, 2},
                                           TFixtureCase{"mpeg1-l2-44100-stereo.mp3", true, 44100, 2},
                                           TFixtureCase{"mpeg1-l3-48000-stereo-32k.mp3", true, 48000, 2},
                                           TFixtureCase{"mpeg1-l3-44100-mono-vbr-crc.mp3", true, 44100, 1},
                                           TFixtureCase{"mpeg1-l2-48000-mono-crc.mp3", true, 48000, 1},
                                           TFixtureCase{"mpeg2-l3-24000-stereo-8k.mp3", true, 24000, 2},
                                           TFixtureCase{"truncated-mid-frame.mp3", true, 44100, 2},
                                           TFixtureCase{"short-under-4001.mp3", true, 44100, 2},
                                           TFixtureCase{"not-audio.mp3", false, 0, 0}),
                         [](const ::testing::TestParamInfo<TFixtureCase>& info) {
                             std::string name = info.param.name;
                             name = name.substr(0, name.find('.'));
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

}  // namespace
