// Decode's main pass split into ranges decoded side by side: the samples, the progress steps and
// the decoder state left for playback must be those of one pass in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <thread>

#include "SoundTestSupport.h"
#include "Timeline.h"

namespace {

struct TDecoded {
    std::vector<int16_t> samples;
    float frameDuration = 0;
    std::vector<std::string> progress;
    std::vector<unsigned char> playback;  // PCM of frames 10 to 19 decoded after Decode
    TMyPlayer0802::TDecodeReport report;
};

TDecoded DecodeWith(const QString& path, const TMyPlayer0802::TDecodeOverride& how) {
    TPlayerFixture f;
    TDecoded d;
    EXPECT_TRUE(f.OpenFile(path));
    f.player().DecodeOverride = how;
    TRecordingSink sink;
    d.samples = f.DecodeAll(&sink);
    d.frameDuration = f.player().FrameDuration;
    d.progress = sink.calls;
    d.report = f.player().LastDecode();
    // Playback decodes on from the state Decode leaves: frame 10 draws on the reservoir of the
    // frames before it in the queue, which are the recording's last ones.
    const int32_t bytes = f.player().DecodeFrames(10, 20);
    d.playback.assign(f.player().WaveImage, f.player().WaveImage + bytes);
    return d;
}

TMyPlayer0802::TDecodeOverride InRanges(int32_t ranges) {
    TMyPlayer0802::TDecodeOverride how;
    how.Ranges = ranges;
    return how;
}

void ExpectSameAsOnePass(const TDecoded& ranged, const TDecoded& single, const std::string& what) {
    ASSERT_EQ(ranged.samples.size(), single.samples.size()) << what;
    const auto diff = std::mismatch(ranged.samples.begin(), ranged.samples.end(), single.samples.begin());
    EXPECT_TRUE(diff.first == ranged.samples.end())
        << what << ": first difference at position " << (diff.first - ranged.samples.begin());
    EXPECT_EQ(ranged.frameDuration, single.frameDuration) << what;
    EXPECT_EQ(ranged.progress, single.progress) << what;
    EXPECT_EQ(ranged.playback, single.playback) << what;
}

struct TRangesCase {
    const char* name;
    bool splits;  // MPEG-1 Layers II and III split; the lower sampling frequencies do not
};

void PrintTo(const TRangesCase& c, std::ostream* os) { *os << c.name; }

class EveryStreamKind : public ::testing::TestWithParam<TRangesCase> {};

// Range starts fall on the 40-frame phase after a 30-frame warm-up: a fixture of 250 frames takes
// ranges at frames 40, 80, ..., one of 78 frames only the range at 40.
TEST_P(EveryStreamKind, RangesGiveTheSamplesOfOnePass) {
    const TRangesCase c = GetParam();
    const QString path = Mp3Fixture(c.name);
    const TDecoded single = DecodeWith(path, InRanges(1));
    ASSERT_EQ(single.report.Ranges, 1);
    for (const int32_t ranges : {2, 3, 8}) {
        const TDecoded ranged = DecodeWith(path, InRanges(ranges));
        const std::string what = std::string(c.name) + " in " + std::to_string(ranges) + " ranges";
        ExpectSameAsOnePass(ranged, single, what);
        if (c.splits) {
            EXPECT_GT(ranged.report.Ranges, 1) << what;
            EXPECT_LE(ranged.report.Ranges, ranges) << what;
            EXPECT_EQ(ranged.report.RangesRedone, 0) << what;
        } else {
            EXPECT_EQ(ranged.report.Ranges, 1) << what;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures,
                         EveryStreamKind,
                         ::testing::Values(TRangesCase{"mpeg1-l3-44100-stereo-cbr.mp3", true},
                                           TRangesCase{"mpeg1-l3-48000-stereo-32k.mp3", true},
                                           TRangesCase{"mpeg1-l3-44100-mono-vbr-crc.mp3", true},
                                           TRangesCase{"vbr-xing.mp3", true},
                                           TRangesCase{"mpeg1-l2-44100-stereo.mp3", true},
                                           TRangesCase{"mpeg1-l2-48000-mono-crc.mp3", true},
                                           TRangesCase{"id3v2-front-id3v1-back.mp3", true},
                                           TRangesCase{"garbage-front.mp3", true},
                                           TRangesCase{"truncated-mid-frame.mp3", true},
                                           TRangesCase{"mpeg2-l3-22050-mono.mp3", false},
                                           TRangesCase{"mpeg25-l3-8000-mono.mp3", false},
                                           TRangesCase{"mpeg2-l3-24000-stereo-8k.mp3", false},
                                           TRangesCase{"short-under-4001.mp3", false}),
                         [](const ::testing::TestParamInfo<TRangesCase>& info) {
                             std::string name = info.param.name;
                             name = name.substr(0, name.find('.'));
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

TEST(ParallelDecode, ARangeWhoseWarmupMissesTheStateIsDecodedAgainInOrder) {
    const QString path = Mp3Fixture("mpeg1-l3-44100-stereo-cbr.mp3");
    const TDecoded single = DecodeWith(path, InRanges(1));
    // One chunk of warm-up starts from an empty reservoir, so the chunk compared at the join
    // cannot match; the MPEG-2 stream at 8 kbit/s needs far more than three chunks.
    TMyPlayer0802::TDecodeOverride shortWarmup = InRanges(2);
    shortWarmup.WarmupChunks = 1;
    const TDecoded redone = DecodeWith(path, shortWarmup);
    ExpectSameAsOnePass(redone, single, "one chunk of warm-up");
    EXPECT_EQ(redone.report.Ranges, 2);
    EXPECT_EQ(redone.report.RangesRedone, 1);

    const QString lowRate = Mp3Fixture("mpeg2-l3-24000-stereo-8k.mp3");
    TMyPlayer0802::TDecodeOverride forced = InRanges(4);
    forced.AnyStream = true;
    const TDecoded split = DecodeWith(lowRate, forced);
    ExpectSameAsOnePass(split, DecodeWith(lowRate, InRanges(1)), "8 kbit/s forced into ranges");
    EXPECT_EQ(split.report.Ranges, 4);
    EXPECT_GE(split.report.RangesRedone, 1);
}

TEST(ParallelDecode, AFailedWorkersRangeIsDecodedInOrder) {
    const QString file = Mp3Fixture("mpeg1-l3-48000-stereo-32k.mp3");
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenFile(file));
    f.player().DecodeOverride = InRanges(4);
    f.player().DecodeOverride.FailRange = 2;
    TRecordingSink sink;
    int16_t* samples = nullptr;
    int32_t count = -1;
    ASSERT_NO_THROW(f.player().Decode(&samples, &sink, &count));
    ASSERT_NE(samples, nullptr);
    const std::vector<int16_t> decoded(samples, samples + count);
    ReleaseSamples(samples);
    // Not a waveform with a silent or half-written range: the whole of it, as one pass gives it.
    EXPECT_EQ(decoded, DecodeWith(file, InRanges(1)).samples);
    EXPECT_EQ(f.player().LastDecode().RangesRedone, 2);
    ASSERT_FALSE(sink.calls.empty());
    EXPECT_EQ(sink.calls.back(), "hide");

    // Every thread has ended: the player opens and decodes again as if nothing had happened.
    f.player().DecodeOverride = InRanges(4);
    ASSERT_TRUE(f.OpenFile(Mp3Fixture("mpeg1-l3-48000-stereo-32k.mp3")));
    const std::vector<int16_t> again = f.DecodeAll();
    EXPECT_EQ(f.player().LastDecode().Ranges, 4);
    EXPECT_EQ(again, DecodeWith(Mp3Fixture("mpeg1-l3-48000-stereo-32k.mp3"), InRanges(1)).samples);
}

TEST(ParallelDecode, ByDefaultALongRecordingTakesOneRangePerCoreAndAShortOneOne) {
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenFile(Mp3Fixture("mpeg1-l3-48000-stereo-32k.mp3")));
    f.DecodeAll();
    EXPECT_EQ(f.player().LastDecode().Ranges, 1);

    // 4000 silent frames (104 s): a thousand frames or more per range.
    ASSERT_TRUE(f.OpenBytes(FrameRun(Mpeg1Header, 417, 4000)));
    const std::vector<int16_t> samples = f.DecodeAll();
    const auto cores = static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
    EXPECT_EQ(f.player().LastDecode().Ranges, std::min({cores, 8, 3}));
    EXPECT_EQ(f.player().LastDecode().RangesRedone, 0);
    f.player().DecodeOverride = InRanges(1);
    ASSERT_TRUE(f.OpenBytes(FrameRun(Mpeg1Header, 417, 4000)));
    EXPECT_EQ(f.DecodeAll(), samples);
}

}  // namespace
