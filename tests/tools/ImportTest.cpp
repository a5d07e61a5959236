// sorvelle-cli import audacity: labels to segments, written as the editor's Save writes them.
#include <gtest/gtest.h>

#include <QFile>
#include <cmath>

#include "CliTestSupport.h"
#include "EditorState.h"
#include "ProjectFiles.h"

namespace {

class ImportTest : public TTestProject {
  protected:
    QString Labels() const { return dir_.filePath(QStringLiteral("labels.txt")); }
    QString Pos() const { return Path(QStringLiteral("pos")); }

    TCliResult Import(const QByteArray& labels) {
        WriteAll(Labels(), labels);
        return RunCli({QStringLiteral("import"), QStringLiteral("audacity"), Labels(), Text()});
    }

    // The records the .pos holds now, read with the editor's reader.
    void ReadBack() {
        ResetEditorState();
        ReadPosFile(Pos());
    }

    // The bytes Save writes for the records set up by fill, over a file holding base.
    QByteArray SavedBytes(const QByteArray& base, const std::function<void()>& fill) {
        const QString other = dir_.filePath(QStringLiteral("expected.pos"));
        WriteAll(other, base);
        ResetEditorState();
        ReadPosFile(other);
        fill();
        EXPECT_TRUE(WritePosFile(other));
        ResetEditorState();
        const QByteArray bytes = ReadAll(other);
        QFile::remove(other);
        return bytes;
    }

    void ExpectRefused(const QByteArray& labels, const char* reason) {
        const auto before = Snapshot();
        const TCliResult r = Import(labels);
        EXPECT_EQ(r.exitCode, 1) << reason;
        const QStringList err = ErrLines(r);
        ASSERT_EQ(err.size(), 1) << r.err.constData();
        EXPECT_TRUE(err[0].contains(QString::fromLatin1(reason))) << err[0].toStdString();
        EXPECT_TRUE(err[0].contains(QStringLiteral("nothing written")));
        auto after = Snapshot();
        after.remove(QStringLiteral("labels.txt"));
        auto expected = before;
        expected.remove(QStringLiteral("labels.txt"));
        ASSERT_EQ(after.keys(), expected.keys()) << reason;
        for (const QString& name : expected.keys()) {
            EXPECT_EQ(after[name].bytes, expected[name].bytes) << name.toStdString();
            EXPECT_EQ(after[name].modified, expected[name].modified) << name.toStdString();
        }
    }
};

TEST_F(ImportTest, LabelsBecomeSegmentsOfLinesInOrderRoundedToNearest) {
    WriteText("a\r\nb\r\nc\r\nd\r\n");
    // 1.000050 s is 11025.55 positions, 4.000045 s 44100.496, 4.0000454 s 44100.5005.
    const TCliResult r = Import(
        "0.000000\t1.500000\tfirst\n"
        "1.000050\t1.000090\t\n"
        "2.5\t3,25\tcomma decimal\r\n"
        "4.000045\t4.0000454\tnearest\n");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    ReadBack();
    const int32_t expected[4][2] = {{0, 16538}, {11026, 11026}, {27563, 35831}, {44100, 44101}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ItemTable[i].Flag, 1) << i;
        EXPECT_EQ(ItemTable[i].Start, expected[i][0]) << i;
        EXPECT_EQ(ItemTable[i].Finish, expected[i][1]) << i;
    }
    EXPECT_EQ(ItemTable[4].Flag, 0);
    EXPECT_EQ(ReadAll(Pos()).size(), 12004);
}

TEST_F(ImportTest, EveryLineEndEndsALabelAndACommaIsADecimalMark) {
    WriteText("a\r\nb\r\nc\r\nd\r\n");
    // A lone CR, CR LF and LF; "1,500" is 1.5 seconds, not 1500.
    const TCliResult r = Import("0\t1,500\ta\r1,5\t2\tb\r\n2.25\t3,75\tc\n\r4\t5\td");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.startsWith("4 labels")) << r.out.constData();
    ReadBack();
    const int32_t expected[4][2] = {{0, 16538}, {16538, 22050}, {24806, 41344}, {44100, 55125}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ItemTable[i].Start, expected[i][0]) << i;
        EXPECT_EQ(ItemTable[i].Finish, expected[i][1]) << i;
    }
    // Line numbers in messages count every kind of line end.
    ExpectRefused("1\t2\tx\r\r3\t2\tbackwards\r", "line 3: the label ends");
    ExpectRefused("1.000,5\t2\tx\n", "line 1: not a label");
}

TEST_F(ImportTest, LabelsPastTheRecordingAreStoredAndNamedAsCheckNamesThem) {
    WriteText("a\r\nb\r\nc\r\nd\r\n");
    CopyRecording(QStringLiteral("mpeg1-l3-44100-stereo-cbr.mp3"));  // 22564 positions
    const TCliResult r = Import("0\t1\ta\n1\t2.5\tb\n3\t4\tc\n1\t2.0465\td\n");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(ErrLines(r),
              QStringList{QStringLiteral("sorvelle-cli import: warning: the segments of lines "
                                         "1-2 lie outside the recording ") +
                          Path(QStringLiteral("mp3")) + QStringLiteral(" (22564 positions, 2.047 s)")});
    ReadBack();
    EXPECT_EQ(ItemTable[2].Start, 33075);
    EXPECT_EQ(ItemTable[3].Finish, 22563);

    const QString checked = QString::fromUtf8(RunCli({QStringLiteral("check"), Text()}).out);
    EXPECT_TRUE(checked.contains(QStringLiteral("problem: line 1: segment 11025..27563 lies outside")));
    EXPECT_TRUE(checked.contains(QStringLiteral("problem: line 2: segment 33075..44100 lies outside")));
    EXPECT_FALSE(checked.contains(QStringLiteral("line 3:"))) << checked.toStdString();
}

TEST_F(ImportTest, AudacityLabelsRoundTripThroughImportAndExport) {
    WriteText("one\r\ntwo\r\nthree\r\nfour\r\nfive\r\n");
    // As Audacity writes them: six decimals, a point label, a spectral line after a label.
    const QByteArray labels =
        "0.250000\t1.750000\tone\n"
        "\\\t120.000000\t4000.000000\n"
        "1.750000\t1.750000\ttwo\n"
        "2.000023\t3.999977\tthree\n"
        "3600.123456\t3725.000001\tfour\n"
        "7200.000000\t7201.500000\tfive\n";
    ASSERT_EQ(Import(labels).exitCode, 0);
    ReadBack();
    std::vector<std::pair<int32_t, int32_t>> imported;
    for (int i = 0; i < 5; ++i) imported.push_back({ItemTable[i].Start, ItemTable[i].Finish});
    const double seconds[5][2] = {
        {0.25, 1.75}, {1.75, 1.75}, {2.000023, 3.999977}, {3600.123456, 3725.000001}, {7200.0, 7201.5}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(imported[size_t(i)].first, int32_t(std::llround(seconds[i][0] * 11025))) << i;
        EXPECT_EQ(imported[size_t(i)].second, int32_t(std::llround(seconds[i][1] * 11025))) << i;
    }

    // Export, and import the export again: the same positions and the same bytes.
    const QByteArray posAfterFirst = ReadAll(Pos());
    const TCliResult exported = RunCli({QStringLiteral("export"), QStringLiteral("audacity"), Text()});
    ASSERT_EQ(exported.exitCode, 0);
    const QStringList rows = QString::fromUtf8(exported.out).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 5);
    for (int i = 0; i < 5; ++i) {
        const QStringList f = rows[i].split(u'\t');
        ASSERT_EQ(f.size(), 3);
        EXPECT_EQ(int32_t(std::llround(f[0].toDouble() * 11025)), imported[size_t(i)].first);
        EXPECT_EQ(int32_t(std::llround(f[1].toDouble() * 11025)), imported[size_t(i)].second);
    }
    EXPECT_EQ(Import(exported.out).exitCode, 0);
    EXPECT_EQ(ReadAll(Pos()), posAfterFirst);
}

TEST_F(ImportTest, WritesWhatSaveWritesKeepingPicturesOtherRecordsAndTheTail) {
    WriteText("a\r\nb\r\nc\r\n");
    WritePos({{0, 0, 0, 0, {2, 3}}, {1, 1, 50, 60, {4}}, {7, 1, 600, 700, {1}}});
    // Bytes behind the table, which Save keeps.
    QByteArray base = ReadAll(Pos()) + QByteArray("tail bytes");
    WriteAll(Pos(), base);
    const QByteArray expected = SavedBytes(base, [] {
        ItemTable[0].Flag = 1;
        ItemTable[0].Start = 11025;
        ItemTable[0].Finish = 22050;
        ItemTable[1].Flag = 1;
        ItemTable[1].Start = 22050;
        ItemTable[1].Finish = 33075;
    });
    ASSERT_EQ(Import("1\t2\tx\n2\t3\ty\n").exitCode, 0);
    EXPECT_EQ(ReadAll(Pos()), expected);
    ReadBack();
    EXPECT_EQ(ItemTable[0].PicCount, 2);
    EXPECT_EQ(ItemTable[0].Pics[1], 3);
    EXPECT_EQ(ItemTable[7].Start, 600);
    EXPECT_EQ(ItemTable[7].Pics[0], 1);
}

TEST_F(ImportTest, FiveHundredLabelsAreTakenAndFiveHundredOneRefused) {
    WriteText("a\r\n");
    QByteArray labels;
    for (int i = 0; i < 500; ++i)
        labels += QByteArray::number(i) + "\t" + QByteArray::number(i + 1) + "\tx\n";
    const TCliResult r = Import(labels);
    ASSERT_EQ(r.exitCode, 0);
    // More labels than lines: written, with a warning.
    EXPECT_TRUE(r.err.contains("warning")) << r.err.constData();
    ReadBack();
    EXPECT_EQ(ItemTable[499].Start, 499 * 11025);

    ExpectRefused(labels + "500\t501\tone too many\n", "501 labels");
}

TEST_F(ImportTest, TooManyLabelsCreateNoSegmentTable) {
    WriteText("a\r\n");
    QByteArray labels;
    for (int i = 0; i < 501; ++i) labels += "1\t2\n";
    ExpectRefused(labels, "501 labels");
    EXPECT_FALSE(QFile::exists(Pos()));
}

TEST_F(ImportTest, ALabelEndingBeforeItStartsIsRefused) {
    WriteText("a\r\nb\r\n");
    WritePos({{0, 1, 5, 6, {1}}});
    ExpectRefused("1\t2\tfine\n3.5\t3.25\tbackwards\n",
                  "line 2: the label ends (3.25 s) before it starts (3.5 s)");
}

TEST_F(ImportTest, MalformedLabelLinesAreRefused) {
    WriteText("a\r\n");
    WritePos({{0, 1, 5, 6, {}}});
    ExpectRefused("1\t2\tok\nnot a label\n", "line 2: not a label");
    ExpectRefused("abc\t2\tx\n", "line 1: not a label");
    ExpectRefused("1\tnan\tx\n", "line 1: not a label");
    ExpectRefused("-1\t2\tx\n", "before 0 seconds");
    ExpectRefused("1\t300000\tx\n", "beyond the timeline");
}

TEST_F(ImportTest, AnEmptyTrackWritesNothing) {
    WriteText("a\r\n");
    const TCliResult r = Import("\n\n");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_FALSE(QFile::exists(Pos()));
}

TEST_F(ImportTest, AMissingProjectTextIsAUsageError) {
    WriteAll(Labels(), "1\t2\tx\n");
    const TCliResult r = RunCli({QStringLiteral("import"), QStringLiteral("audacity"), Labels(),
                                 dir_.filePath(QStringLiteral("q.txt"))});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(ErrLines(r).size(), 1);
    EXPECT_FALSE(QFile::exists(dir_.filePath(QStringLiteral("q.pos"))));
}

}  // namespace
