// Damaged recordings: the player either finds a stream and describes it within its tables, or
// finds none and leaves an empty, valid sample buffer; it never reads past the file's bytes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <future>
#include <memory>
#include <new>

#include "SyntheticMp3.h"
#include "TMyPlayer0802.h"
#include "TestSupport.h"
#include "Timeline.h"

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
        ReleaseSamples(samples);
        samples = nullptr;
        player->Decode(&samples, nullptr, &count);
    }

    void TearDown() override {
        ReleaseSamples(samples);
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

QByteArray BodyWithTail(int frames, const QByteArray& tail) {
    return FramesThenTail(FixturePath(QStringLiteral("mp3/mpeg1-l3-44100-stereo-cbr.mp3")), frames, tail);
}

// Positions sample frame j of the first main-pass chunk (ten frames, n sample frames) lands on.
int64_t FirstChunkPosition(int32_t j, int32_t n, float duration) {
    float q = float(j) / float(n);
    q = q * duration;
    q = q * 10.0f;
    return int64_t(double(q) * 11025.0 + 0.5);
}

TEST_F(HostileRecordingTest, TailOfAnotherRateStretchesTheWaveformInsteadOfEmptyingIt) {
    // 44.1 kHz stereo frames, then one MPEG-2.5 8 kHz mono header: the frames are measured
    // against 8000 Hz and one channel, 0.288 s each.
    ASSERT_TRUE(OpenBytes(BodyWithTail(60, QByteArray("\xFF\xE3\x28\xC0", 4))));
    ASSERT_EQ(player->FrameCount, 60);
    ASSERT_EQ(player->SampleRate, 8000);
    ASSERT_EQ(player->Channels, 1);
    DecodeAll();
    EXPECT_FLOAT_EQ(player->FrameDuration, 0.288f);
    float covered = 60.0f * player->FrameDuration;
    covered = covered * 11025.0f;
    ASSERT_EQ(count, int32_t(double(covered) + 100.5));
    ASSERT_NE(samples, nullptr);
    int nonZero = 0;
    for (int32_t i = 0; i < count; ++i) nonZero += samples[i] != 0;
    // 59 decoded frames of 2304 two-byte values each, read as one channel, spread over 11 times
    // as many positions.
    EXPECT_GT(nonZero, 59 * 2304 / 2);
}

TEST_F(HostileRecordingTest, StrayOneHertzHeaderGivesASparseBufferOfHundredsOfMegabytes) {
    // The reserved version code reads as 1 Hz: frames of 1152 s, 393 million positions for 31
    // frames. The block is zeroed by the system, and only the pages the samples land on are used.
    ASSERT_TRUE(OpenBytes(BodyWithTail(31, OneHertzHeader)));
    ASSERT_EQ(player->FrameCount, 31);
    ASSERT_EQ(player->SampleRate, 1);
    DecodeAll();
    EXPECT_FLOAT_EQ(player->FrameDuration, 1152.0f);
    ASSERT_EQ(count, 31 * 1152 * 11025 + 100);
    ASSERT_NE(samples, nullptr);
    const int32_t n = 11520;  // ten frames of 1152 stereo sample frames
    int nonZero = 0;
    for (int32_t j = 0; j < n; ++j) nonZero += samples[FirstChunkPosition(j, n, 1152.0f)] != 0;
    EXPECT_GT(nonZero, n / 2);
    EXPECT_EQ(samples[count - 1], 0);
}

TEST_F(HostileRecordingTest, TimelineBeyondInt32IsOutOfMemoryAndLeavesAnEmptyBuffer) {
    // 200 frames of 1152 s: 2.5 billion positions, more than a buffer of positions can index.
    ASSERT_TRUE(OpenBytes(BodyWithTail(201, OneHertzHeader)));
    ASSERT_EQ(player->FrameCount, 201);
    int16_t notABuffer = 0;
    int16_t* decoded = &notABuffer;
    int32_t decodedCount = 12345;
    EXPECT_THROW(player->Decode(&decoded, nullptr, &decodedCount), std::bad_alloc);
    EXPECT_EQ(decoded, nullptr);
    EXPECT_EQ(decodedCount, 0);
}

TEST_F(HostileRecordingTest, TenByteStreamOfThreeHeadersBuildsASmallTable) {
    // Reserved layer at 48 kHz: 3-byte frames. The table's estimate is bounded by a file of fewer
    // bytes than its minimum capacity.
    ASSERT_TRUE(OpenBytes(QByteArray("\xFF\xF8\x14\xFF\xF8\x14\xFF\xF8\x14\x00", 10)));
    ASSERT_EQ(player->FrameCount, 2);
    EXPECT_EQ(player->FrameOffsets[0], 0);
    EXPECT_EQ(player->FrameOffsets[1], 3);
    EXPECT_GE(player->FrameCapacity(), 2);
    DecodeAll();
    EXPECT_NE(samples, nullptr);
    EXPECT_GE(count, 0);
}

TEST_F(HostileRecordingTest, FifoAsRecordingIsNotReadAndDoesNotBlock) {
    const QString fifo = dir.filePath(QStringLiteral("rec.mp3"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    player->Release();
    player->FileName = fifo;
    auto opened = std::async(std::launch::async, [this] { return player->Open(); });
    if (opened.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        // Let the blocked open(2) through so that the test can end, and fail.
        const int writer = ::open(QFile::encodeName(fifo).constData(), O_RDWR);
        opened.wait();
        ::close(writer);
        FAIL() << "Open waited for a writer on the FIFO";
    }
    EXPECT_FALSE(opened.get());
    EXPECT_TRUE(player->ReadFailed());
    EXPECT_EQ(player->FileData, nullptr);

    // A folder in its place is no recording either.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.mp3")));
    player->FileName = dir.filePath(QStringLiteral("folder.mp3"));
    EXPECT_FALSE(player->Open());
    EXPECT_TRUE(player->ReadFailed());
}

}  // namespace
