// The frame decoder with the mpglib calling convention over libmpg123's feed interface.
#include <gtest/gtest.h>

#include "Mp3Decoder.h"
#include "SoundTestSupport.h"
#include "TestSupport.h"

namespace {

class DecoderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        file = ReadAll(Mp3Fixture("mpeg1-l3-44100-stereo-cbr.mp3"));
        ASSERT_TRUE(fixture.OpenFile(Mp3Fixture("mpeg1-l3-44100-stereo-cbr.mp3")));
        ASSERT_TRUE(InitMP3(&state));
    }
    const unsigned char* Frame(int i) const {
        return reinterpret_cast<const unsigned char*>(file.constData()) + fixture.player().FrameOffsets[i];
    }
    int Length(int i) const {
        return fixture.player().FrameOffsets[i + 1] - fixture.player().FrameOffsets[i];
    }
    int Decode(const unsigned char* in, int size) {
        done = -1;
        return decodeMP3(&state, in, size, out, 8192, &done);
    }

    QByteArray file;
    TPlayerFixture fixture;
    TDecoderState state;
    unsigned char out[16384] = {};
    int done = -1;
};

TEST_F(DecoderTest, AWholeFrameIsDecodedAtOnceAndNoMore) {
    // Not held back until the next frame's header arrives.
    EXPECT_EQ(Decode(Frame(0), Length(0)), MP3_OK);
    EXPECT_EQ(done, 4608);
    EXPECT_EQ(Decode(nullptr, 0), MP3_NEED_MORE);
    EXPECT_EQ(Decode(Frame(1), Length(1)), MP3_OK);
    EXPECT_EQ(done, 4608);
}

TEST_F(DecoderTest, QueuedFramesComeOutOnePerCall) {
    QByteArray three;
    for (int i = 0; i < 3; ++i) three.append(reinterpret_cast<const char*>(Frame(i)), Length(i));
    EXPECT_EQ(
        Decode(reinterpret_cast<const unsigned char*>(three.constData()), static_cast<int>(three.size())),
        MP3_OK);
    EXPECT_EQ(done, 4608);
    EXPECT_EQ(Decode(nullptr, 0), MP3_OK);
    EXPECT_EQ(Decode(nullptr, 0), MP3_OK);
    EXPECT_EQ(Decode(nullptr, 0), MP3_NEED_MORE);
    EXPECT_EQ(done, 0);
}

TEST_F(DecoderTest, APartialFrameWaitsForTheRest) {
    const int half = Length(0) / 2;
    EXPECT_EQ(Decode(Frame(0), half), MP3_NEED_MORE);
    EXPECT_EQ(Decode(Frame(0) + half, Length(0) - half), MP3_OK);
    EXPECT_EQ(done, 4608);
}

TEST_F(DecoderTest, KeepsACopyOfTheQueuedBytes) {
    std::vector<unsigned char> buffer(Frame(1), Frame(1) + Length(1) + Length(2));
    ASSERT_EQ(Decode(buffer.data(), static_cast<int>(buffer.size())), MP3_OK);
    std::fill(buffer.begin(), buffer.end(), 0);  // the caller reuses its buffer at once
    EXPECT_EQ(Decode(nullptr, 0), MP3_OK);
    EXPECT_EQ(done, 4608);
}

TEST_F(DecoderTest, OutputIsLittleEndianSigned16WithTheStreamsChannels) {
    for (int i = 0; i < 25; ++i) ASSERT_EQ(Decode(Frame(i), Length(i)), MP3_OK);
    // A sweep at half scale: values reach well beyond 8 bits, in both signs.
    int16_t low = 0, high = 0;
    for (int j = 0; j < 2304; ++j) {
        const int16_t v = static_cast<int16_t>(out[2 * j] | (out[2 * j + 1] << 8));
        low = std::min(low, v);
        high = std::max(high, v);
    }
    EXPECT_LT(low, -4000);
    EXPECT_GT(high, 4000);
    EXPECT_LT(high, 20000);
}

TEST_F(DecoderTest, InitDropsWhatIsQueued) {
    const int half = Length(0) / 2;
    ASSERT_EQ(Decode(Frame(0), half), MP3_NEED_MORE);
    ASSERT_TRUE(InitMP3(&state));
    // The old half frame is gone: a whole frame fed now decodes on its own.
    EXPECT_EQ(Decode(Frame(5), Length(5)), MP3_OK);
    EXPECT_EQ(done, 4608);
    EXPECT_EQ(Decode(nullptr, 0), MP3_NEED_MORE);
}

TEST_F(DecoderTest, NonAudioBytesNeverDecode) {
    const QByteArray text = ReadAll(Mp3Fixture("not-audio.mp3"));
    const int result =
        Decode(reinterpret_cast<const unsigned char*>(text.constData()), static_cast<int>(text.size()));
    EXPECT_NE(result, MP3_OK);
    EXPECT_EQ(done, 0);
}

TEST_F(DecoderTest, TwoDecodersFedInTurnKeepApartStates) {
    // One decoder per worker must be possible: a second one, fed other frames in between, leaves
    // the first one's queue and memory alone.
    QByteArray alone;
    for (int i = 0; i < 12; ++i) {
        ASSERT_EQ(Decode(Frame(i), Length(i)), MP3_OK);
        alone.append(reinterpret_cast<const char*>(out), done);
    }
    ASSERT_TRUE(InitMP3(&state));
    TDecoderState other;
    ASSERT_TRUE(InitMP3(&other));
    unsigned char otherOut[16384];
    QByteArray interleaved;
    for (int i = 0; i < 12; ++i) {
        int otherDone = 0;
        ASSERT_EQ(decodeMP3(&other, Frame(40 - i), Length(40 - i), otherOut, 8192, &otherDone), MP3_OK);
        ASSERT_EQ(Decode(Frame(i), Length(i)), MP3_OK);
        interleaved.append(reinterpret_cast<const char*>(out), done);
    }
    EXPECT_TRUE(interleaved == alone);
}

TEST(Decoder, UninitialisedStateIsAnError) {
    TDecoderState state;
    unsigned char out[16384];
    int done = -1;
    EXPECT_EQ(decodeMP3(&state, nullptr, 0, out, 8192, &done), MP3_ERR);
    EXPECT_EQ(done, 0);
}

}  // namespace
