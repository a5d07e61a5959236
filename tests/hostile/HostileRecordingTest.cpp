// Damaged recordings: the player either finds a stream and describes it within its tables, or
// finds none and leaves an empty, valid sample buffer; it never reads past the file's bytes.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "SyntheticMp3.h"
#include "TMyPlayer0802.h"
#include "TestSupport.h"

namespace {

class HostileRecordingTest : public FreshStateTest {
  protected:
    void SetUp() override {
        FreshStateTest::SetUp();
        ASSERT_TRUE(dir.isValid());
    }

    bool OpenBytes(const QByteArray& bytes) {
        const QString path = dir.filePath(QStringLiteral("rec.mp3"));
        WriteAll(path, bytes);
        player->Release();
        player->FileName = path;
        return player->Open();
    }

    void DecodeAll() {
        delete[] samples;
        samples = nullptr;
        player->Decode(&samples, nullptr, &count);
    }

    void TearDown() override {
        delete[] samples;
        FreshStateTest::TearDown();
    }

    QTemporaryDir dir;
    // 9 MiB of fixed buffers: on the heap rather than the stack.
    std::unique_ptr<TMyPlayer0802> player = std::make_unique<TMyPlayer0802>();
    int16_t* samples = nullptr;
    int32_t count = -1;
};

TEST_F(HostileRecordingTest, TruncatedInsideAFrameDecodesTheWholeFramesBeforeTheCut) {
    const QByteArray whole = ReadAll(FixturePath(QStringLiteral("mp3/mpeg1-l3-44100-stereo-cbr.mp3")));
    ASSERT_TRUE(OpenBytes(whole));
    const int32_t wholeFrames = player->FrameCount;
    // Cut in the middle of the frame before the last stored one.
    const int32_t cutAt = player->FrameOffsets[wholeFrames - 2] + 200;
    ASSERT_TRUE(OpenBytes(whole.left(cutAt)));
    EXPECT_EQ(player->FrameCount, wholeFrames - 2);
    EXPECT_LT(player->FrameOffsets[player->FrameCount - 1] + 417, cutAt);
    DecodeAll();
    ASSERT_NE(samples, nullptr);
    EXPECT_GT(count, 288 * (wholeFrames - 4));
}

TEST_F(HostileRecordingTest, GarbageIsNoRecordingAndLeavesAnEmptyBuffer) {
    QByteArray garbage(50000, '\0');
    for (int i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 7919) ^ (i >> 3));
    // Lone sync patterns that are never followed by a second header at their distance.
    for (int i = 100; i + 4 < garbage.size(); i += 997)
        garbage.replace(i, 4, QByteArray("\xFF\xFB\x90\x64", 4));
    EXPECT_FALSE(OpenBytes(garbage));
    EXPECT_EQ(player->FileData, nullptr);
    DecodeAll();
    EXPECT_EQ(count, 0);
    EXPECT_NE(samples, nullptr);

    EXPECT_FALSE(OpenBytes(ReadAll(FixturePath(QStringLiteral("mp3/not-audio.mp3")))));
    EXPECT_FALSE(OpenBytes(QByteArray()));
    DecodeAll();
    EXPECT_EQ(count, 0);
}

TEST_F(HostileRecordingTest, VariableBitrateBeyondTheEstimateKeepsEveryFrame) {
    // Three long frames set the estimate (file size / (1044.9 - 5) is about 33 entries); the
    // 300 short frames behind them do not fit it.
    std::vector<TSyntheticFrame> frames(3, Mpeg1Layer3Frame(14));
    frames.insert(frames.end(), 300, Mpeg1Layer3Frame(1));
    std::vector<int> offsets;
    const QByteArray bytes = JoinFrames(frames, &offsets);
    ASSERT_TRUE(OpenBytes(bytes));
    const int estimate = static_cast<int>(bytes.size() / (1044.897 - 5.0));
    ASSERT_LT(estimate, 40);
    // The last frame has no successor and is not stored.
    ASSERT_EQ(player->FrameCount, 302);
    EXPECT_LE(player->FrameCount, player->FrameCapacity());
    for (int i = 0; i < player->FrameCount; ++i) ASSERT_EQ(player->FrameOffsets[i], offsets[size_t(i)]) << i;
    DecodeAll();
    EXPECT_GE(count, 0);
}

TEST_F(HostileRecordingTest, HugeFrameCountOfFourByteFramesStaysWithinTheTable) {
    // Reserved layer code: bitrate 1, a nominal length of 3.27 bytes, so every 4 bytes is a frame.
    QByteArray bytes;
    for (int i = 0; i < 200000; ++i) bytes.append("\xFF\xF8\x10\xC0", 4);
    ASSERT_TRUE(OpenBytes(bytes));
    EXPECT_GT(player->FrameCount, 199990);
    EXPECT_LE(player->FrameCount, player->FrameCapacity());
    EXPECT_EQ(player->FrameOffsets[player->FrameCount - 1], 4 * (player->FrameCount - 1));
    DecodeAll();
    // No audio decodes from bare headers: the timeline keeps only its margin.
    ASSERT_NE(samples, nullptr);
    EXPECT_GE(count, 0);
    EXPECT_LT(count, 1000);
}

TEST_F(HostileRecordingTest, StrayHeaderWithReservedVersionAtTheEndGivesNoGiantBuffer) {
    const QByteArray whole = ReadAll(FixturePath(QStringLiteral("mp3/mpeg1-l3-44100-stereo-cbr.mp3")));
    ASSERT_TRUE(OpenBytes(whole));
    ASSERT_GT(player->FrameCount, 41);
    // Frame 40 replaced by a header with the reserved version code: it ends the chain, and its
    // fields (a rate of 1 Hz) are the last ones read.
    QByteArray bytes = whole.left(player->FrameOffsets[40]);
    bytes += QByteArray("\xFF\xEB\x90\x64", 4) + QByteArray(100, '\0');
    ASSERT_TRUE(OpenBytes(bytes));
    ASSERT_EQ(player->FrameCount, 40);
    ASSERT_EQ(player->SampleRate, 1);
    DecodeAll();
    // Measured against 1 Hz a frame would last 1152 s: 500 million positions. The recording is
    // treated as unusable instead.
    EXPECT_EQ(count, 0);
    EXPECT_NE(samples, nullptr);
}

}  // namespace
