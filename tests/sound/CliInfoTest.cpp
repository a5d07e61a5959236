// sorvelle-cli info, run as a separate process on the fixtures.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include "SoundTestSupport.h"
#include "TestSupport.h"

namespace {

struct TRun {
    int exitCode = -1;
    QString out;
    QString err;
};

TRun RunCli(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(SORVELLE_CLI_PATH), args);
    TRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "sorvelle-cli did not finish";
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString Fnv1a64Hex(const std::vector<int16_t>& samples) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (int16_t s : samples) {
        const auto v = static_cast<uint16_t>(s);
        for (unsigned byte : {v & 0xFFu, static_cast<unsigned>(v >> 8)}) {
            hash ^= byte;
            hash *= 0x100000001b3ull;
        }
    }
    return QStringLiteral("%1").arg(hash, 16, 16, QLatin1Char('0'));
}

TEST(CliInfo, PrintsTheFiguresOfTheEditorsOwnDecoding) {
    const QString path = Mp3Fixture("garbage-front.mp3");
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenFile(path));
    const std::vector<int16_t> samples = f.DecodeAll();

    const TRun run = RunCli({"info", path});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    const QString expected = QStringLiteral(
                                 "first_frame_offset: 692\n"
                                 "frame_count: 78\n"
                                 "mpeg_version: 1\n"
                                 "layer: 3\n"
                                 "bitrate: 128\n"
                                 "sample_rate: 44100\n"
                                 "channels: 2\n"
                                 "frame_duration: 0.026122449\n"
                                 "sample_count: %1\n"
                                 "samples_fnv1a64: %2\n")
                                 .arg(samples.size())
                                 .arg(Fnv1a64Hex(samples));
    EXPECT_EQ(run.out.toStdString(), expected.toStdString());
}

TEST(CliInfo, Mpeg25MonoFigures) {
    const TRun run = RunCli({"info", Mp3Fixture("mpeg25-l3-8000-mono.mp3")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(
        run.out.contains("\nmpeg_version: 3\nlayer: 3\nbitrate: 16\nsample_rate: 8000\nchannels: 1\n"))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("\nframe_duration: 0.0719999969\n")) << run.out.toStdString();
}

TEST(CliInfo, EmptyTimelineHashesToTheOffsetBasis) {
    // One table entry: a frame without a length, so nothing is measured and no position exists.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("one.mp3");
    WriteAll(path, FrameRun(Mpeg1Header, 417, 1) + FrameRun(Mpeg1PaddedHeader, 417, 1) +
                       FrameRun(Mpeg1Header, 417, 1));
    const TRun run = RunCli({"info", path});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("\nframe_count: 1\n")) << run.out.toStdString();
    // FNV-1a of no bytes is its offset basis.
    EXPECT_TRUE(run.out.endsWith("\nsample_count: 0\nsamples_fnv1a64: cbf29ce484222325\n"))
        << run.out.toStdString();
}

TEST(CliInfo, NoStreamIsExitOneWithOneLine) {
    const QString path = Mp3Fixture("not-audio.mp3");
    const TRun run = RunCli({"info", path});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.err, QStringLiteral("error: no MPEG audio stream found in %1\n").arg(path));
}

TEST(CliInfo, FileThatCannotBeReadIsExitTwo) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A FIFO would block a plain open until a writer came; it is not read at all.
    const QString fifo = dir.filePath("recording.mp3");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {QStringLiteral("/nonexistent/recording.mp3"), dir.path(), fifo}) {
        const TRun run = RunCli({"info", path});
        EXPECT_EQ(run.exitCode, 2) << path.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_EQ(run.err, QStringLiteral("error: cannot read %1\n").arg(path));
    }
}

TEST(CliInfo, InfoAndCheckMeasureTheTimelineAsTheEditorDecodesIt) {
    // 44.1 kHz stereo frames ended by an 8 kHz mono header: 0.288 s per frame.
    const QByteArray whole = ReadAll(Mp3Fixture("mpeg1-l3-44100-stereo-cbr.mp3"));
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenBytes(whole));
    const QByteArray bytes =
        whole.left(f.player().FrameOffsets[50]) + QByteArray("\xFF\xE3\x28\xC0", 4) + QByteArray(200, '\0');
    ASSERT_TRUE(f.OpenBytes(bytes));
    const int32_t positions = int32_t(f.DecodeAll().size());
    ASSERT_GT(positions, 50 * 3175);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WriteAll(dir.filePath("lesson.txt"), "one line\r\n");
    WriteAll(dir.filePath("lesson.mp3"), bytes);
    const TRun info = RunCli({"info", dir.filePath("lesson.mp3")});
    EXPECT_EQ(info.exitCode, 0) << info.err.toStdString();
    EXPECT_TRUE(info.out.contains(QStringLiteral("\nsample_count: %1\n").arg(positions)))
        << info.out.toStdString();
    EXPECT_TRUE(info.out.contains("\nframe_duration: 0.287999988\n")) << info.out.toStdString();
    const TRun check = RunCli({"check", dir.filePath("lesson.txt")});
    EXPECT_TRUE(check.out.contains(QStringLiteral("50 frames, %1 positions").arg(positions)))
        << check.out.toStdString();
}

TEST(CliInfo, TimelineTooLongToHoldIsOutOfMemory) {
    // A stray 1 Hz header after 200 frames: 2.5 billion positions.
    const QByteArray whole = ReadAll(Mp3Fixture("mpeg1-l3-44100-stereo-cbr.mp3")).repeated(4);
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenBytes(whole));
    ASSERT_GT(f.player().FrameCount, 200);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("long.mp3");
    WriteAll(path, whole.left(f.player().FrameOffsets[200]) + QByteArray("\xFF\xEB\x90\x64", 4) +
                       QByteArray(200, '\0'));
    const TRun run = RunCli({"info", path});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, QStringLiteral("error: %1: out of memory\n").arg(path));
}

TEST(CliInfo, UsageErrorsAreExitTwoWithOneLine) {
    const QString file = Mp3Fixture("mpeg1-l3-44100-stereo-cbr.mp3");
    for (const QStringList& args : {QStringList{"info"}, QStringList{"info", "--frames", file},
                                    QStringList{"info", file, file}, QStringList{"nosuchcommand"}}) {
        const TRun run = RunCli(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    }
}

TEST(CliInfo, HelpListsTheKeys) {
    const TRun run = RunCli({"info", "--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* key : {"first_frame_offset", "frame_count", "mpeg_version", "layer", "bitrate",
                            "sample_rate", "channels", "frame_duration", "sample_count", "samples_fnv1a64"}) {
        EXPECT_TRUE(run.out.contains(QLatin1String(key))) << key;
    }
    const TRun top = RunCli({"--help"});
    EXPECT_EQ(top.exitCode, 0);
    EXPECT_TRUE(top.out.contains("info")) << top.out.toStdString();
}

}  // namespace
