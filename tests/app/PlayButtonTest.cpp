// The play button under the waveform: the selection of the editor played through the player.
#include <gtest/gtest.h>

#include <QTest>
#include <QtEndian>
#include <memory>

#include "../sound/FakeSoundOutput.h"
#include "EditorState.h"
#include "SoundMain.h"
#include "WindowTest.h"

namespace {

class PlayButtonTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        // The reset of the world has cleared the hook the member set.
        SoundOutputOverride = &output;
        Player.FileName = FixturePath("playback/tone-44100-stereo-128k.mp3");
        ASSERT_TRUE(Player.Open());
        Player.Decode(&EditorState.Samples, nullptr, &EditorState.SampleCount);
    }
    uint32_t HeaderField(int at) const { return qFromLittleEndian<quint32>(output.header.constData() + at); }

    FakeSoundOutput output;
};

TEST_F(PlayButtonTest, PressAfterStartUpPlaysTheFirstTwentyFrames) {
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    EXPECT_EQ(Player.PlayFrom, 0);
    EXPECT_EQ(Player.PlayTo, 20);
    ASSERT_EQ(output.plays, 1);
    EXPECT_EQ(output.lastImage, Player.WaveImage);
    EXPECT_EQ(HeaderField(40), uint32_t(20 * 4608 - 44));
}

TEST_F(PlayButtonTest, PressPlaysTheSelection) {
    EditorState.SelStart = 20 * 288 + 100;
    EditorState.SelEnd = 30 * 288 + 100;
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    EXPECT_EQ(Player.PlayFrom, 20);
    EXPECT_EQ(Player.PlayTo, 30);
    ASSERT_EQ(output.plays, 1);
    EXPECT_EQ(HeaderField(4), 46076u);
    EXPECT_EQ(HeaderField(40), 46036u);
}

TEST_F(PlayButtonTest, PressWhileASegmentPlaysChangesNothing) {
    EditorState.SelStart = 20 * 288 + 100;
    EditorState.SelEnd = 30 * 288 + 100;
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    ASSERT_EQ(output.plays, 1);
    const QByteArray image(reinterpret_cast<const char*>(Player.WaveImage), 46080);
    const QByteArray staged(reinterpret_cast<const char*>(Player.InBuffer), 4096);

    EditorState.SelStart = 0;
    EditorState.SelEnd = 60 * 288;
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    EXPECT_EQ(Player.PlayFrom, 20);
    EXPECT_EQ(Player.PlayTo, 30);
    EXPECT_EQ(output.requests, 1);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(Player.WaveImage), 46080), image);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(Player.InBuffer), 4096), staged);

    output.Stop();
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    EXPECT_EQ(output.plays, 2);
    EXPECT_EQ(Player.PlayTo, 60);
}

TEST_F(PlayButtonTest, PressWithoutARecordingDoesNothing) {
    Player.Release();
    EditorState.SelEnd = 30 * 288;
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    EXPECT_EQ(output.requests, 0);
}

}  // namespace
