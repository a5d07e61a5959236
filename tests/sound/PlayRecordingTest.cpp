// Playing segments of real recordings: the decoded PCM in the image, and its header.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QTemporaryDir>
#include <QtEndian>
#include <memory>

#include "FakeSoundOutput.h"
#include "TMyPlayer0802.h"
#include "TestSupport.h"
#include "Timeline.h"

namespace {

uint32_t U32(const QByteArray& b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
uint16_t U16(const QByteArray& b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }

// Timeline position inside frame k of a 44100 Hz MPEG-1 stream (288 positions per frame).
int32_t InsideFrame(int32_t k) { return k * 288 + 100; }

class PlayRecordingTest : public ::testing::Test {
  protected:
    void OpenRecording(const QString& path) {
        player->FileName = path;
        ASSERT_TRUE(player->Open()) << path.toStdString();
        int16_t* samples = nullptr;
        int32_t count = 0;
        player->Decode(&samples, nullptr, &count);
        ReleaseSamples(samples);
    }

    void Press(int32_t selStart, int32_t selEnd) {
        output.Stop();
        player->SetPlayBound(TMyPlayer0802::pbStart, selStart);
        player->SetPlayBound(TMyPlayer0802::pbEnd, selEnd);
        player->PlaySegment();
    }

    // The PCM frames first .. end-1 give when a fresh decoder is fed them.
    QByteArray FreshlyDecoded(int32_t first, int32_t end) {
        TDecoderState state;
        EXPECT_TRUE(InitMP3(&state));
        const int32_t begin = player->FrameOffsets[first];
        const int32_t bytes = player->FrameOffsets[end] - begin;
        QByteArray pcm;
        unsigned char out[16384];
        int done = 0;
        int result = decodeMP3(&state, player->FileData + begin, bytes, out, 8192, &done);
        while (result == MP3_OK) {
            pcm.append(reinterpret_cast<const char*>(out), done);
            result = decodeMP3(&state, nullptr, 0, out, 8192, &done);
        }
        return pcm;
    }

    std::unique_ptr<TMyPlayer0802> player = std::make_unique<TMyPlayer0802>();
    FakeSoundOutput output;
};

TEST_F(PlayRecordingTest, TenStereoFramesMakeAnImageOf46080Bytes) {
    OpenRecording(FixturePath("playback/tone-44100-stereo-128k.mp3"));
    Press(InsideFrame(20), InsideFrame(30));
    EXPECT_EQ(player->PlayFrom, 20);
    EXPECT_EQ(player->PlayTo, 30);
    ASSERT_EQ(output.plays, 1);
    EXPECT_EQ(output.lastImage, player->WaveImage);
    const QByteArray& h = output.header;
    EXPECT_EQ(h.mid(0, 4), "RIFF");
    EXPECT_EQ(U32(h, 4), 46076u);
    EXPECT_EQ(h.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(U16(h, 22), 2u);
    EXPECT_EQ(U32(h, 24), 44100u);
    EXPECT_EQ(U32(h, 28), 176400u);
    EXPECT_EQ(U16(h, 32), 4u);
    EXPECT_EQ(h.mid(36, 4), "data");
    EXPECT_EQ(U32(h, 40), 46036u);
    EXPECT_EQ(output.pcm.size(), 46036);
}

TEST_F(PlayRecordingTest, ImageHoldsTheSegmentsPcm) {
    OpenRecording(FixturePath("playback/tone-44100-stereo-128k.mp3"));
    Press(InsideFrame(20), InsideFrame(30));
    ASSERT_EQ(output.plays, 1);
    // A frame's sound depends on the frame before it; frames 21 to 29 come out of a fresh decoder
    // fed from frame 19 exactly as the segment played them.
    const QByteArray fresh = FreshlyDecoded(19, 30);
    ASSERT_EQ(fresh.size(), 11 * 4608);
    const QByteArray image(reinterpret_cast<const char*>(player->WaveImage), 46080);
    EXPECT_TRUE(image.mid(4608) == fresh.mid(2 * 4608));
}

TEST_F(PlayRecordingTest, StartUpSelectionPlaysFramesZeroToNineteen) {
    OpenRecording(FixturePath("playback/tone-44100-stereo-128k.mp3"));
    Press(0, 0);
    EXPECT_EQ(player->PlayFrom, 0);
    EXPECT_EQ(player->PlayTo, 20);
    ASSERT_EQ(output.plays, 1);
    EXPECT_EQ(U32(output.header, 40), uint32_t(20 * 4608 - 44));
}

TEST_F(PlayRecordingTest, MonoRecordingCountsTwoBytesPerSampleFrame) {
    OpenRecording(FixturePath("playback/tone-22050-mono-64k.mp3"));
    ASSERT_EQ(player->Channels, 1);
    Press(InsideFrame(20), InsideFrame(30));
    ASSERT_EQ(output.plays, 1);
    EXPECT_EQ(U16(output.header, 22), 1u);
    EXPECT_EQ(U32(output.header, 24), 22050u);
    EXPECT_EQ(U32(output.header, 28), 44100u);
    EXPECT_EQ(U16(output.header, 32), 2u);
    EXPECT_EQ(U32(output.header, 4), uint32_t(10 * 1152 - 4));
}

TEST_F(PlayRecordingTest, MinuteSelectionIsCutAtTheBufferAndSaysSo) {
    // 61 seconds of 128 kbit/s stereo: thirty copies of the two-second recording end to end.
    const QByteArray piece = ReadAll(FixturePath("playback/tone-44100-stereo-128k.mp3"));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WriteAll(dir.filePath("minute.mp3"), piece.repeated(30));
    OpenRecording(dir.filePath("minute.mp3"));
    ASSERT_GT(player->FrameCount, 2300);
    Press(0, 60 * 11025);
    ASSERT_EQ(output.plays, 1);
    EXPECT_EQ(U32(output.header, 4), uint32_t(TMyPlayer0802::WaveImageSize - 4));
    EXPECT_EQ(U32(output.header, 40), uint32_t(TMyPlayer0802::WaveImageSize - 44));
    EXPECT_EQ(output.pcm.size(), TMyPlayer0802::WaveImageSize - 44);
}

TEST_F(PlayRecordingTest, FifteenFrameRecordingPlaysItsFourteenFramesWithALength) {
    // Sixteen whole frames: the last has no successor, so the table holds fifteen.
    auto probe = std::make_unique<TMyPlayer0802>();  // 9 MiB: never on the stack
    probe->FileName = FixturePath("playback/tone-44100-stereo-128k.mp3");
    ASSERT_TRUE(probe->Open());
    const QByteArray whole = ReadAll(probe->FileName);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WriteAll(dir.filePath("short.mp3"), whole.left(probe->FrameOffsets[16]));
    OpenRecording(dir.filePath("short.mp3"));
    ASSERT_EQ(player->FrameCount, 15);
    Press(-3000, 9000);
    EXPECT_EQ(player->PlayFrom, 0);
    EXPECT_EQ(player->PlayTo, 14);
    ASSERT_EQ(output.plays, 1);
    EXPECT_EQ(U32(output.header, 40), uint32_t(14 * 4608 - 44));
}

TEST_F(PlayRecordingTest, PressWhilePlayingLeavesTheImageAlone) {
    OpenRecording(FixturePath("playback/tone-44100-stereo-128k.mp3"));
    Press(InsideFrame(20), InsideFrame(30));
    ASSERT_TRUE(output.playing);
    const QByteArray before(reinterpret_cast<const char*>(player->WaveImage), 46080);
    player->SetPlayBound(TMyPlayer0802::pbStart, 0);
    player->SetPlayBound(TMyPlayer0802::pbEnd, InsideFrame(60));
    player->PlaySegment();
    EXPECT_FALSE(player->PlayWave(46080));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(player->WaveImage), 46080), before);
    EXPECT_EQ(output.plays, 1);
}

}  // namespace
