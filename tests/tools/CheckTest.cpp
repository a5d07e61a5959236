// sorvelle-cli check: every kind of damage is found, a sound project passes, nothing is written.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include "CliTestSupport.h"

namespace {

// The recording of the sound project: 78 frames, 22564 positions on the timeline.
constexpr int32_t RecordingPositionsOfFixture = 22564;

class CheckTest : public TTestProject {
  protected:
    // Text, second text, recording, segment table and two pictures, all consistent.
    void WriteSoundProject() {
        WriteText("one\r\ntwo\r\nthree\r\nfour\r\n");
        WriteAll(Path(QStringLiteral("txr")), "second\r\n");
        CopyRecording(QStringLiteral("mpeg1-l3-44100-stereo-cbr.mp3"));
        WriteArchive({Jpeg(QStringLiteral("red.jpg")), Jpeg(QStringLiteral("gradient.jpg"))});
        WritePos(SoundRecords());
    }

    static std::vector<TRecordSpec> SoundRecords() {
        return {{0, 1, 0, 11025, {0}},
                {1, 1, 11025, 22000, {1, 0}},
                {3, 1, 20000, RecordingPositionsOfFixture, {}}};
    }

    TCliResult Check() { return RunCli({QStringLiteral("check"), Text()}); }

    // Runs check, which must report the problem and change no file.
    void ExpectProblem(const QString& expected) {
        const auto before = Snapshot();
        const TCliResult r = Check();
        EXPECT_EQ(r.exitCode, 1) << r.out.constData() << r.err.constData();
        const QString out = QString::fromUtf8(r.out);
        bool found = false;
        for (const QString& line : out.split(u'\n')) {
            if (line.startsWith(QStringLiteral("problem: ")) && line.contains(expected)) found = true;
        }
        EXPECT_TRUE(found) << "wanted: " << expected.toStdString() << "\n" << out.toStdString();
        EXPECT_TRUE(out.endsWith(QStringLiteral(" found\n")));
        EXPECT_FALSE(out.contains(QStringLiteral("no problems found")));
        ExpectUnchanged(before);
    }

    void ExpectUnchanged(const QMap<QString, TFileState>& before) {
        const auto after = Snapshot();
        ASSERT_EQ(after.keys(), before.keys());
        for (const QString& name : before.keys()) {
            EXPECT_EQ(after[name].bytes, before[name].bytes) << name.toStdString();
            EXPECT_EQ(after[name].modified, before[name].modified) << name.toStdString();
        }
    }

    void PatchInt32(const QString& ext, qint64 offset, int32_t value) {
        QByteArray bytes = ReadAll(Path(ext));
        ASSERT_LE(offset + 4, bytes.size());
        qToLittleEndian<int32_t>(value, bytes.data() + offset);
        WriteAll(Path(ext), bytes);
    }
};

TEST_F(CheckTest, ASoundProjectPassesAndNothingIsWritten) {
    WriteSoundProject();
    const auto before = Snapshot();
    const TCliResult r = Check();
    EXPECT_EQ(r.exitCode, 0) << r.out.constData() << r.err.constData();
    const QString out = QString::fromUtf8(r.out);
    EXPECT_TRUE(out.contains(QStringLiteral("text: ") + Text() + QStringLiteral(": 4 lines (UTF-8)")));
    EXPECT_TRUE(out.contains(QStringLiteral(": 78 frames, 22564 positions (2.047 s)"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral(": 2 pictures, ")));
    EXPECT_TRUE(out.contains(QStringLiteral(": 12004 bytes, 500 records")));
    EXPECT_TRUE(out.endsWith(QStringLiteral("no problems found\n")));
    EXPECT_TRUE(r.err.isEmpty());
    ExpectUnchanged(before);
}

TEST_F(CheckTest, AProjectOfTextOnlyPassesAndGetsNoArchive) {
    WriteText("just text");
    const TCliResult r = Check();
    EXPECT_EQ(r.exitCode, 0);
    const QString out = QString::fromUtf8(r.out);
    EXPECT_TRUE(out.contains(QStringLiteral("recording: none")));
    EXPECT_TRUE(out.contains(QStringLiteral("picture archive: none")));
    EXPECT_TRUE(out.contains(QStringLiteral("segment table: none")));
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{QStringLiteral("p.txt")});
}

TEST_F(CheckTest, LinesBeyondTheRecordsAndRecordsBeyondTheLines) {
    WriteSoundProject();
    QByteArray text;
    for (int i = 0; i < 502; ++i) text += "l\r\n";
    WriteText(text);
    ExpectProblem(QStringLiteral("the text has 502 lines; lines 500 to 501 have no record"));

    WriteText("one\r\ntwo\r\n");
    ExpectProblem(QStringLiteral("records 3 hold segments or pictures, but the text has 2 lines"));
}

TEST_F(CheckTest, FinishBeforeStart) {
    WriteSoundProject();
    auto records = SoundRecords();
    records.push_back({2, 1, 300, 200, {}});
    WritePos(records);
    ExpectProblem(QStringLiteral("line 2: Finish 200 before Start 300"));
}

TEST_F(CheckTest, SegmentsOutsideTheRecording) {
    WriteSoundProject();
    auto records = SoundRecords();
    records.push_back({2, 1, 22000, RecordingPositionsOfFixture + 1, {}});
    WritePos(records);
    ExpectProblem(
        QStringLiteral("line 2: segment 22000..22565 lies outside the recording (22564 positions)"));

    records.back() = {2, 1, -5, 100, {}};
    WritePos(records);
    ExpectProblem(QStringLiteral("line 2: segment -5..100 reaches before 0"));
}

TEST_F(CheckTest, PictureNumbersOutsideTheArchiveAndOddCounts) {
    WriteSoundProject();
    auto records = SoundRecords();
    records.push_back({2, 1, 0, 1, {1, 2}});
    WritePos(records);
    ExpectProblem(QStringLiteral("line 2: picture number 2 outside the archive (2 pictures)"));

    records.back() = {2, 1, 0, 1, {0, 0, 0, 0, 0}, 6};
    WritePos(records);
    ExpectProblem(QStringLiteral("line 2: picture count 6 outside 0 to 5"));

    records.back() = {2, 7, 0, 1, {}};
    WritePos(records);
    ExpectProblem(QStringLiteral("records with a Flag other than 0 or 1: 2"));
}

TEST_F(CheckTest, DamagedPictures) {
    WriteSoundProject();
    WriteArchive({Jpeg(QStringLiteral("red.jpg")), Jpeg(QStringLiteral("not-a-jpeg.jpg"))});
    ExpectProblem(QStringLiteral("picture 1: does not start with the JPEG start marker"));
    WriteArchive({Jpeg(QStringLiteral("red.jpg")), Jpeg(QStringLiteral("cut-header.jpg"))});
    ExpectProblem(QStringLiteral("picture 1: does not decode as a JPEG"));

    const QByteArray gradient = Jpeg(QStringLiteral("gradient.jpg"));
    WriteArchive({gradient.left(gradient.size() / 2), Jpeg(QStringLiteral("red.jpg"))});
    ExpectProblem(QStringLiteral("picture 0: cut short, no JPEG end marker"));
}

TEST_F(CheckTest, ASegmentTableOfUnexpectedSize) {
    WriteSoundProject();
    const QByteArray pos = ReadAll(Path(QStringLiteral("pos")));
    WriteAll(Path(QStringLiteral("pos")), pos.left(12003));
    ExpectProblem(QStringLiteral("12003 bytes, but 500 records take 12004"));

    WriteAll(Path(QStringLiteral("pos")), pos + "x");
    ExpectProblem(QStringLiteral("12005 bytes, but 500 records take 12004"));

    WriteAll(Path(QStringLiteral("pos")), pos);
    PatchInt32(QStringLiteral("pos"), 0, 600);
    ExpectProblem(QStringLiteral("record count 600 outside 0 to 500"));

    WriteAll(Path(QStringLiteral("pos")), "ab");
    ExpectProblem(QStringLiteral("2 bytes, too short to hold its record count"));
}

TEST_F(CheckTest, AnArchiveWhoseSizesPointPastItsEnd) {
    WriteSoundProject();
    const qint64 redSize = Jpeg(QStringLiteral("red.jpg")).size();
    PatchInt32(QStringLiteral("ims"), 12, 1000000);
    ExpectProblem(QString::asprintf("picture 1: 1000000 bytes at offset %lld run past the end of the archive",
                                    static_cast<long long>(2008 + redSize)));

    // Inside the file, but larger than any picture may be: not read at all.
    WriteSoundProject();
    PatchInt32(QStringLiteral("ims"), 12, 70000000);
    {
        QFile ims(Path(QStringLiteral("ims")));
        ASSERT_TRUE(ims.open(QIODevice::ReadWrite));
        ASSERT_TRUE(ims.resize(2008 + redSize + 70000000));
    }
    ExpectProblem(QStringLiteral("picture 1: 70000000 bytes, more than the 67108864 a picture may have"));

    WriteSoundProject();
    PatchInt32(QStringLiteral("ims"), 8, -10);
    ExpectProblem(QStringLiteral("picture 0: negative size -10"));

    WriteSoundProject();
    PatchInt32(QStringLiteral("ims"), 4, 501);
    ExpectProblem(QStringLiteral("picture count 501 outside 0 to 500"));
    // The sizes behind such a count mean nothing: they are not reported one by one.
    EXPECT_FALSE(Check().out.contains("picture 2:"));

    WriteSoundProject();
    PatchInt32(QStringLiteral("ims"), 4, 3);
    ExpectProblem(QStringLiteral("picture 2: empty, 0 bytes"));

    WriteAll(Path(QStringLiteral("ims")), QByteArray(100, '\0'));
    ExpectProblem(QStringLiteral("100 bytes, shorter than its 2008-byte header"));
}

TEST_F(CheckTest, ARecordingWithoutAStream) {
    WriteSoundProject();
    CopyRecording(QStringLiteral("not-audio.mp3"));
    ExpectProblem(QStringLiteral("no MPEG audio stream found"));
}

TEST_F(CheckTest, AMissingTextCannotBeRead) {
    const TCliResult r = Check();
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(ErrLines(r).size(), 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(QDir(dir_.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(CheckTest, TheDemoProjectPasses) {
    const QString demo = QStringLiteral(SORVELLE_SOURCE_DIR "/demo/lesson.txt");
    if (!QFileInfo::exists(demo)) GTEST_SKIP() << "no demo project in this tree";
    // A copy, so that nothing can touch the committed files.
    for (const char* ext : {"txt", "txr", "mp3", "pos", "ims"}) {
        const QString from = QStringLiteral(SORVELLE_SOURCE_DIR "/demo/lesson.") + QString::fromLatin1(ext);
        if (QFileInfo::exists(from)) {
            ASSERT_TRUE(QFile::copy(from, Path(QString::fromLatin1(ext))));
        }
    }
    const TCliResult r = Check();
    EXPECT_EQ(r.exitCode, 0) << r.out.constData() << r.err.constData();
    EXPECT_TRUE(r.out.endsWith("no problems found\n"));
}

}  // namespace
