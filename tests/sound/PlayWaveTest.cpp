// The WAVE image PlayWave lays over the decoded PCM, and the refusal while a sound plays.
#include <gtest/gtest.h>

#include <QtEndian>
#include <cstring>
#include <memory>

#include "FakeSoundOutput.h"
#include "TMyPlayer0802.h"

namespace {

uint32_t U32(const QByteArray& b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
uint16_t U16(const QByteArray& b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }

// Fills the first bytes of WaveImage with a recognisable PCM pattern, as a decode would.
void FillPcm(TMyPlayer0802& player, int32_t bytes) {
    for (int32_t i = 0; i < bytes; ++i) player.WaveImage[i] = uint8_t(i * 7 + 3);
}

class PlayWaveTest : public ::testing::Test {
  protected:
    std::unique_ptr<TMyPlayer0802> player = std::make_unique<TMyPlayer0802>();
    FakeSoundOutput output;
};

TEST_F(PlayWaveTest, TenStereoFramesAt44100GiveTheHeaderOfTheirSize) {
    player->Channels = 2;
    player->SampleRate = 44100;
    FillPcm(*player, 46080);
    EXPECT_TRUE(player->PlayWave(46080));
    ASSERT_EQ(output.plays, 1);
    EXPECT_EQ(output.lastImage, player->WaveImage);
    const QByteArray& h = output.header;
    EXPECT_EQ(h.mid(0, 4), "RIFF");
    EXPECT_EQ(U32(h, 4), 46076u);
    EXPECT_EQ(h.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(U32(h, 16), 16u);
    EXPECT_EQ(U16(h, 20), 1u);
    EXPECT_EQ(U16(h, 22), 2u);
    EXPECT_EQ(U32(h, 24), 44100u);
    EXPECT_EQ(U32(h, 28), 176400u);
    EXPECT_EQ(U16(h, 32), 4u);
    EXPECT_EQ(U16(h, 34), 16u);
    EXPECT_EQ(h.mid(36, 4), "data");
    EXPECT_EQ(U32(h, 40), 46036u);
}

TEST_F(PlayWaveTest, HeaderIsWrittenOverThePcmNotInFrontOfIt) {
    player->Channels = 2;
    player->SampleRate = 44100;
    FillPcm(*player, 46080);
    ASSERT_TRUE(player->PlayWave(46080));
    ASSERT_EQ(output.pcm.size(), 46036);
    for (int i = 0; i < output.pcm.size(); ++i) {
        ASSERT_EQ(uint8_t(output.pcm[i]), uint8_t((i + 44) * 7 + 3)) << "byte " << i + 44;
    }
}

TEST_F(PlayWaveTest, MonoCountsTwoBytesPerSampleFrame) {
    player->Channels = 1;
    player->SampleRate = 22050;
    FillPcm(*player, 11520);
    ASSERT_TRUE(player->PlayWave(11520));
    EXPECT_EQ(U16(output.header, 22), 1u);
    EXPECT_EQ(U32(output.header, 24), 22050u);
    EXPECT_EQ(U32(output.header, 28), 22050u * 2);
    EXPECT_EQ(U16(output.header, 32), 2u);
    EXPECT_EQ(U32(output.header, 4), 11516u);
    EXPECT_EQ(U32(output.header, 40), 11476u);
}

TEST_F(PlayWaveTest, SizeBeyondTheBufferIsCutToIt) {
    player->Channels = 2;
    player->SampleRate = 44100;
    ASSERT_TRUE(player->PlayWave(TMyPlayer0802::WaveImageSize + 4608));
    EXPECT_EQ(U32(output.header, 4), uint32_t(TMyPlayer0802::WaveImageSize - 4));
    EXPECT_EQ(U32(output.header, 40), uint32_t(TMyPlayer0802::WaveImageSize - 44));
    EXPECT_EQ(output.pcm.size(), TMyPlayer0802::WaveImageSize - 44);
}

TEST_F(PlayWaveTest, FewerBytesThanAHeaderPlayNothing) {
    player->Channels = 2;
    player->SampleRate = 44100;
    FillPcm(*player, 64);
    EXPECT_FALSE(player->PlayWave(43));
    EXPECT_FALSE(player->PlayWave(0));
    EXPECT_FALSE(player->PlayWave(-5));
    EXPECT_EQ(output.requests, 0);
    EXPECT_EQ(player->WaveImage[0], uint8_t(3)) << "the PCM must stay untouched";
}

TEST_F(PlayWaveTest, ExactlyAHeaderIsAnEmptyButValidImage) {
    player->Channels = 2;
    player->SampleRate = 44100;
    EXPECT_TRUE(player->PlayWave(44));
    EXPECT_EQ(U32(output.header, 4), 40u);
    EXPECT_EQ(U32(output.header, 40), 0u);
}

TEST_F(PlayWaveTest, WhileASoundPlaysTheImageStaysAndTheRequestIsRefused) {
    player->Channels = 2;
    player->SampleRate = 44100;
    FillPcm(*player, 46080);
    ASSERT_TRUE(player->PlayWave(46080));
    const QByteArray before(reinterpret_cast<const char*>(player->WaveImage), 46080);
    player->Channels = 1;
    player->SampleRate = 22050;
    EXPECT_FALSE(player->PlayWave(11520));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(player->WaveImage), 46080), before);
    EXPECT_EQ(output.plays, 1);

    output.Stop();
    EXPECT_TRUE(player->PlayWave(11520));
    EXPECT_EQ(output.plays, 2);
    EXPECT_EQ(U16(output.header, 22), 1u);
}

TEST_F(PlayWaveTest, ResultIsTheOutputsAnswer) {
    player->Channels = 2;
    player->SampleRate = 44100;
    // A header whose channel count no output takes: the output's refusal comes back unchanged.
    player->Channels = 0;
    EXPECT_FALSE(player->PlayWave(4608));
    EXPECT_EQ(output.requests, 1);
    EXPECT_EQ(output.plays, 0);
}

}  // namespace
