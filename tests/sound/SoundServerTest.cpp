// End to end through a real sound server: a private PulseAudio daemon with a null sink, the
// program's output playing into it, and the sink's monitor recorded and compared with the PCM.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "PulseServer.h"
#include "TestSupport.h"

namespace {

// First channel of interleaved s16le PCM.
std::vector<double> FirstChannel(const QByteArray& pcm, int channels) {
    std::vector<double> out;
    const qsizetype frames = pcm.size() / (2 * channels);
    out.reserve(size_t(frames));
    for (qsizetype i = 0; i < frames; ++i)
        out.push_back(qFromLittleEndian<qint16>(pcm.constData() + i * 2 * channels));
    return out;
}

double Correlation(
    const std::vector<double>& a, size_t aAt, const std::vector<double>& b, size_t bAt, size_t n) {
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < n; ++i) {
        ab += a[aAt + i] * b[bAt + i];
        aa += a[aAt + i] * a[aAt + i];
        bb += b[bAt + i] * b[bAt + i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

struct Heard {
    qsizetype firstLoud = -1;  // sample frames of the recording
    qsizetype lastLoud = -1;
};

Heard LoudPart(const std::vector<double>& recording) {
    constexpr double Threshold = 200;  // the silence between sounds is exact zeros
    Heard h;
    for (size_t i = 0; i < recording.size(); ++i) {
        if (std::abs(recording[i]) > Threshold) {
            if (h.firstLoud < 0) h.firstLoud = qsizetype(i);
            h.lastLoud = qsizetype(i);
        }
    }
    return h;
}

// Checks that the recording holds the PCM once: as long within 10 %, and alike in shape.
void ExpectHeard(const QByteArray& recordingBytes, const QByteArray& pcmBytes) {
    const std::vector<double> recording = FirstChannel(recordingBytes, PulseServer::Channels);
    const std::vector<double> pcm = FirstChannel(pcmBytes, 2);
    ASSERT_GT(pcm.size(), 4096u);
    const Heard heard = LoudPart(recording);
    ASSERT_GE(heard.firstLoud, 0) << "nothing was heard";
    const double length = double(heard.lastLoud - heard.firstLoud + 1);
    EXPECT_NEAR(length, double(pcm.size()), 0.1 * double(pcm.size()))
        << "heard " << length << " sample frames of " << pcm.size();

    // Where the sound begins in the recording: the best match of its first 4096 frames near the
    // first loud frame, then the whole sound compared from there.
    const size_t window = 4096;
    double best = -1;
    size_t at = 0;
    const size_t from = size_t(std::max<qsizetype>(0, heard.firstLoud - 2048));
    for (size_t lag = from; lag < size_t(heard.firstLoud) + 2048 && lag + window <= recording.size(); ++lag) {
        const double c = Correlation(recording, lag, pcm, 0, window);
        if (c > best) {
            best = c;
            at = lag;
        }
    }
    const size_t n = std::min(pcm.size(), recording.size() - at);
    const double alike = Correlation(recording, at, pcm, 0, n);
    std::printf("heard %.0f of %zu sample frames; correlation %.4f from frame %zu\n", length, pcm.size(),
                alike, at);
    EXPECT_GT(double(n), 0.9 * double(pcm.size()));
    EXPECT_GT(alike, 0.9);
}

QString Probe() { return QStringLiteral(SORVELLE_PLAY_PROBE); }

class SoundServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!PulseServer::Installed()) {
            if (qEnvironmentVariableIsSet("CI"))
                FAIL()
                    << "pulseaudio and pulseaudio-utils must be installed in CI (scripts/packages-test.txt)";
            GTEST_SKIP() << "pulseaudio is not installed (apt-get install pulseaudio pulseaudio-utils): "
                            "no sound server to play through";
        }
        QString why;
        ASSERT_TRUE(server.Start(why)) << why.toStdString();
        ASSERT_TRUE(pcmDir.isValid());
    }

    // Runs the probe against the private server; returns its standard output.
    QString RunProbe(const QStringList& args) {
        QProcess probe;
        probe.setProcessEnvironment(server.ClientEnvironment());
        probe.start(Probe(), args);
        EXPECT_TRUE(probe.waitForFinished(120000)) << "the probe did not end";
        EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
        return QString::fromLocal8Bit(probe.readAllStandardOutput());
    }

    QString PcmPath() const { return pcmDir.filePath("played.pcm"); }

    PulseServer server;
    QTemporaryDir pcmDir;
};

TEST_F(SoundServerTest, SoundFromMemoryIsHeardWholeAndASecondIsRefused) {
    QString why;
    ASSERT_TRUE(server.StartRecording(why)) << why.toStdString();
    const QString out = RunProbe({"tone", PcmPath()});
    const QByteArray recording = server.StopRecording();
    EXPECT_TRUE(out.contains("played 88244")) << out.toStdString();
    EXPECT_TRUE(out.contains("again refused")) << out.toStdString();
    EXPECT_TRUE(out.contains("ended")) << out.toStdString();
    ExpectHeard(recording, ReadAll(PcmPath()));
}

TEST_F(SoundServerTest, StoppedSoundEndsAtOnce) {
    QString why;
    ASSERT_TRUE(server.StartRecording(why)) << why.toStdString();
    const QString out = RunProbe({"stop", PcmPath()});
    const QByteArray recording = server.StopRecording();
    EXPECT_EQ(out.trimmed(), "stopped");
    const std::vector<double> heard = FirstChannel(recording, PulseServer::Channels);
    const Heard loud = LoudPart(heard);
    ASSERT_GE(loud.firstLoud, 0) << "nothing was heard before the stop";
    std::printf("heard %lld sample frames before the stop took hold\n",
                static_cast<long long>(loud.lastLoud - loud.firstLoud + 1));
    // A tenth of a second played, plus what the device held: well short of the half second.
    EXPECT_LT(loud.lastLoud - loud.firstLoud, PulseServer::Rate * 4 / 10);
    // After the stop the output never read the overwritten image (a constant 0x7F7F).
    EXPECT_EQ(std::count(heard.begin(), heard.end(), double(0x7F7F)), 0);
}

TEST_F(SoundServerTest, SegmentOfARecordingIsHeardWhole) {
    QString why;
    ASSERT_TRUE(server.StartRecording(why)) << why.toStdString();
    // Half a second to one second: frames 19 to 37 of a 44100 Hz stereo recording.
    const QString out =
        RunProbe({"mp3", FixturePath("playback/tone-44100-stereo-128k.mp3"), "5512", "11025", PcmPath()});
    const QByteArray recording = server.StopRecording();
    EXPECT_TRUE(out.startsWith(QString("played %1 19 38").arg(19 * 4608))) << out.toStdString();
    EXPECT_TRUE(out.contains("ended")) << out.toStdString();
    const QByteArray pcm = ReadAll(PcmPath());
    EXPECT_EQ(pcm.size(), 19 * 4608 - 44);
    ExpectHeard(recording, pcm);
}

TEST_F(SoundServerTest, PressesAroundTheEndsOfSoundsPlayOneAfterAnother) {
    // Runs under the sanitizers: a press that lands while a finished sound is torn down, or a
    // stop from inside the output's own read, must neither crash nor leave the output stuck.
    const QString out = RunProbe({"rapid"});
    std::printf("%s", qPrintable(out));
    const QStringList words = out.split(' ');
    ASSERT_GE(words.size(), 8) << out.toStdString();
    // 40 ms sounds over 3 s, one after the other, each ended (heard out, stopped from inside its
    // first read, or stopped by a press) before the next.
    EXPECT_GT(words[1].toInt(), 6) << out.toStdString();
    EXPECT_GT(words[3].toInt(), 1) << out.toStdString();
    EXPECT_GT(words[5].toInt(), 0) << out.toStdString();
    EXPECT_TRUE(out.endsWith("ended\n")) << out.toStdString();
}

TEST_F(SoundServerTest, RatesOutsideThePlayableRangeAreRefused) {
    EXPECT_EQ(RunProbe({"rate", "1"}).trimmed(), "refused");
    EXPECT_EQ(RunProbe({"rate", "7999"}).trimmed(), "refused");
    EXPECT_EQ(RunProbe({"rate", "8000"}), "played\nended\n");
}

TEST_F(SoundServerTest, SoundOfAServerThatHangsEndsAfterItsDuration) {
    QProcess probe;
    probe.setProcessEnvironment(server.ClientEnvironment());
    probe.start(Probe(), {"stuck"});
    ASSERT_TRUE(probe.waitForReadyRead(60000));
    const QByteArray first = probe.readLine();
    ASSERT_EQ(first, "played\n");
    server.Freeze();
    const bool finished = probe.waitForFinished(30000);
    server.Thaw();
    ASSERT_TRUE(finished) << "the probe did not end";
    EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
    const QString out = QString::fromLocal8Bit(probe.readAllStandardOutput());
    ASSERT_TRUE(out.startsWith("ended after ")) << out.toStdString();
    // Half a second of sound: ended by the watchdog a couple of seconds later, not hours.
    const int ms = out.mid(12).split(' ').first().toInt();
    EXPECT_GT(ms, 2000) << out.toStdString();
    EXPECT_LT(ms, 10000) << out.toStdString();
}

TEST(SoundOutputWithoutServerTest, PlayRequestIsRefusedQuietly) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PULSE_SERVER", "unix:" + dir.filePath("no-server-here"));
    env.insert("XDG_RUNTIME_DIR", dir.path());
    env.insert("HOME", dir.path());
    env.insert("PULSE_RUNTIME_PATH", dir.path());
    probe.setProcessEnvironment(env);
    probe.start(Probe(), {"tone", dir.filePath("played.pcm")});
    ASSERT_TRUE(probe.waitForFinished(60000));
    EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(probe.exitCode(), 0);
    EXPECT_EQ(QString::fromLocal8Bit(probe.readAllStandardOutput()).trimmed(), "refused");
}

}  // namespace
