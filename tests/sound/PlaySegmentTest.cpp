// From a selection to the frames staged for the decoder: the frame arithmetic, the clamping and
// the bounds of InBuffer, on a made-up frame table whose frames carry recognisable bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <numeric>
#include <vector>

#include "FakeSoundOutput.h"
#include "TMyPlayer0802.h"

namespace {

constexpr unsigned char Untouched = 0xEE;  // never a byte of a made-up frame

// Seconds per frame of 44100 Hz MPEG-1 Layer III as Decode measures it: 4608 * 0.5 / 2 / 44100.
float Mpeg1FrameDuration() {
    float d = 4608.0f * 0.5f;
    d = d / 2.0f;
    return d / 44100.0f;
}

class PlaySegmentTest : public ::testing::Test {
  protected:
    // A stream of frames with the given lengths; frame i is filled with byte (i % 200) + 1. The
    // table has exactly one entry per frame, so any read past it is caught by the sanitizer.
    void Load(const std::vector<int32_t>& lengths) {
        const int64_t size = std::accumulate(lengths.begin(), lengths.end(), int64_t(0));
        player->FileName = "/tmp/recording.mp3";
        player->FileData = new unsigned char[size_t(size) + 1];
        player->FrameOffsets = lengths.empty() ? nullptr : new int32_t[lengths.size()];
        player->FrameCount = int32_t(lengths.size());
        int32_t at = 0;
        for (size_t i = 0; i < lengths.size(); ++i) {
            player->FrameOffsets[i] = at;
            std::memset(player->FileData + at, int(i % 200) + 1, size_t(lengths[i]));
            at += lengths[i];
        }
        player->FrameDuration = Mpeg1FrameDuration();
        player->Channels = 2;
        player->SampleRate = 44100;
        ASSERT_TRUE(InitMP3(&player->DecoderState));
        std::memset(player->InBuffer, Untouched, TMyPlayer0802::InBufferSize);
    }

    void LoadEqual(int32_t frames, int32_t length = 418) {
        Load(std::vector<int32_t>(size_t(frames), length));
    }

    void Press(int32_t selStart, int32_t selEnd) {
        player->SetPlayBound(TMyPlayer0802::pbStart, selStart);
        player->SetPlayBound(TMyPlayer0802::pbEnd, selEnd);
        player->PlaySegment();
    }

    // True when InBuffer holds exactly frames from .. to-1 of the file, and nothing after them.
    ::testing::AssertionResult Staged(int32_t from, int32_t to) {
        const int32_t begin = player->FrameOffsets[from];
        const int32_t bytes = player->FrameOffsets[to] - begin;
        if (std::memcmp(player->InBuffer, player->FileData + begin, size_t(bytes)) != 0)
            return ::testing::AssertionFailure()
                   << "InBuffer does not start with frames " << from << ".." << to - 1;
        if (player->InBuffer[bytes] != Untouched)
            return ::testing::AssertionFailure()
                   << "more than frames " << from << ".." << to - 1 << " staged";
        return ::testing::AssertionSuccess();
    }

    bool NothingStaged() const { return player->InBuffer[0] == Untouched; }

    std::unique_ptr<TMyPlayer0802> player = std::make_unique<TMyPlayer0802>();
    FakeSoundOutput output;
};

TEST_F(PlaySegmentTest, BoundIsTheFrameOfThePositionInSinglePrecision) {
    player->FrameDuration = Mpeg1FrameDuration();
    EXPECT_EQ(player->SetPlayBound(TMyPlayer0802::pbStart, 11025), 38);
    EXPECT_EQ(player->PlayFrom, 38);
    EXPECT_EQ(player->SetPlayBound(TMyPlayer0802::pbEnd, 5760), 20);
    EXPECT_EQ(player->PlayTo, 20);
    EXPECT_EQ(player->PlayFrom, 38) << "the end bound must leave PlayFrom alone";
    // 1/11025 held as a float before the product would give 102.99999 frames; every step in
    // double would give 195 for 56160.
    EXPECT_EQ(player->SetPlayBound(TMyPlayer0802::pbEnd, 29664), 103);
    EXPECT_EQ(player->SetPlayBound(TMyPlayer0802::pbEnd, 56160), 194);
    // Truncation goes toward zero for positions before the first frame.
    EXPECT_EQ(player->SetPlayBound(TMyPlayer0802::pbStart, -1000), -3);
}

TEST_F(PlaySegmentTest, BoundWithoutAMeasuredFrameDurationSaturates) {
    player->FrameDuration = 0.0f;
    EXPECT_EQ(player->SetPlayBound(TMyPlayer0802::pbEnd, 11025), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(player->SetPlayBound(TMyPlayer0802::pbStart, -11025), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(player->SetPlayBound(TMyPlayer0802::pbStart, 0), 0);
}

TEST_F(PlaySegmentTest, EmptySelectionPlaysTheFirstTwentyFrames) {
    LoadEqual(100);
    Press(0, 0);
    EXPECT_EQ(player->PlayFrom, 0);
    EXPECT_EQ(player->PlayTo, 20);
    EXPECT_TRUE(Staged(0, 20));
}

TEST_F(PlaySegmentTest, SelectionBackwardsPlaysTheTenFramesBeforeItsEnd) {
    LoadEqual(100);
    Press(60 * 288, 40 * 288 + 100);
    EXPECT_EQ(player->PlayTo, 40);
    EXPECT_EQ(player->PlayFrom, 30);
    EXPECT_TRUE(Staged(30, 40));
}

TEST_F(PlaySegmentTest, ShortSelectionGrowsToTenFrames) {
    LoadEqual(100);
    Press(50 * 288 + 10, 53 * 288 + 10);
    EXPECT_EQ(player->PlayTo, 53);
    EXPECT_EQ(player->PlayFrom, 43);
    EXPECT_TRUE(Staged(43, 53));
}

TEST_F(PlaySegmentTest, SelectionPastTheEndStopsAtTheLastFrameWithALength) {
    LoadEqual(100);
    Press(50 * 288 + 10, 5000 * 288);
    EXPECT_EQ(player->PlayTo, 99);
    EXPECT_EQ(player->PlayFrom, 50);
    EXPECT_TRUE(Staged(50, 99));
}

TEST_F(PlaySegmentTest, NegativeSelectionReadsNothingBeforeFrameZero) {
    LoadEqual(100);
    Press(-100000, -5000);
    EXPECT_EQ(player->PlayTo, 20);
    EXPECT_EQ(player->PlayFrom, 0);
    EXPECT_TRUE(Staged(0, 20));
}

TEST_F(PlaySegmentTest, FifteenFrameRecordingPlaysWhatItHas) {
    LoadEqual(15);
    Press(0, 0);
    EXPECT_EQ(player->PlayTo, 14);
    EXPECT_EQ(player->PlayFrom, 0);
    EXPECT_TRUE(Staged(0, 14));
}

TEST_F(PlaySegmentTest, FiveFrameRecordingWithNegativeStartStaysInTheTable) {
    LoadEqual(5);
    Press(-50000, 0);
    EXPECT_EQ(player->PlayTo, 4);
    EXPECT_EQ(player->PlayFrom, 0);
    EXPECT_TRUE(Staged(0, 4));
}

TEST_F(PlaySegmentTest, RecordingWithoutAFrameLengthPlaysNothing) {
    LoadEqual(1);
    Press(0, 0);
    EXPECT_TRUE(NothingStaged());
    EXPECT_EQ(output.requests, 0);
}

TEST_F(PlaySegmentTest, NoRecordingNothingHappens) {
    player->PlayTo = 3;
    player->PlaySegment();
    EXPECT_EQ(player->PlayTo, 3) << "nothing is clamped without a recording";
    EXPECT_EQ(output.requests, 0);

    LoadEqual(100);
    player->FileName = "ab";
    player->PlayTo = 3;
    player->PlaySegment();
    EXPECT_EQ(player->PlayTo, 3) << "a file name shorter than three characters is no recording";
    EXPECT_TRUE(NothingStaged());
}

TEST_F(PlaySegmentTest, CopyStopsBeforeTheStagingAreaIsFull) {
    LoadEqual(40, 100000);
    Press(0, 30 * 288 + 100);
    EXPECT_EQ(player->PlayTo, 30);
    // After seven frames, 700000 bytes are not below 786431 - 100000.
    EXPECT_TRUE(Staged(0, 7));
}

TEST_F(PlaySegmentTest, FrameThatWouldNotFitIsNeverCopied) {
    std::vector<int32_t> lengths(40, 1000);
    lengths[5] = 786000;
    Load(lengths);
    Press(0, 0);
    EXPECT_TRUE(Staged(0, 5));
}

TEST_F(PlaySegmentTest, FirstFrameLargerThanTheStagingAreaPlaysNothing) {
    std::vector<int32_t> lengths(40, 1000);
    lengths[0] = TMyPlayer0802::InBufferSize + 1;
    Load(lengths);
    Press(0, 0);
    EXPECT_TRUE(NothingStaged());
    EXPECT_EQ(output.requests, 0);
}

TEST_F(PlaySegmentTest, WhileASoundPlaysNothingChanges) {
    LoadEqual(100);
    output.playing = true;
    player->PlayFrom = 70;
    player->PlayTo = 3;
    std::memset(player->WaveImage, 0x5A, 4096);
    player->PlaySegment();
    EXPECT_EQ(player->PlayFrom, 70);
    EXPECT_EQ(player->PlayTo, 3);
    EXPECT_TRUE(NothingStaged());
    EXPECT_EQ(player->WaveImage[0], 0x5A);
    EXPECT_EQ(player->WaveImage[4095], 0x5A);
    EXPECT_EQ(output.requests, 0);
}

}  // namespace
