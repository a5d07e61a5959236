// sorvelle-cli align end to end: the segment table it writes, byte for byte, and the failures
// that leave every file as it was.
#include <gtest/gtest.h>

#include <QFile>
#include <QtEndian>

#include "AlignTestSupport.h"
#include "CliTestSupport.h"
#include "EditorState.h"
#include "ProjectFiles.h"

namespace {

class AlignCliTest : public TTestProject {
  protected:
    QString Pos() const { return Path(QStringLiteral("pos")); }

    // The "three" narration as project p: its text and its recording.
    void MakeProject() {
        WriteText(ReadAll(FixturePath(QStringLiteral("align/three.txt"))));
        QFile::copy(FixturePath(QStringLiteral("align/three.mp3")), Path(QStringLiteral("mp3")));
    }

    TCliResult Align(QStringList extra = {}) {
        extra.prepend(Text());
        extra.prepend(QStringLiteral("align"));
        return RunCli(extra);
    }

    void ExpectNothingWritten(const QStringList& extra, const char* reason) {
        const auto before = Snapshot();
        const TCliResult r = Align(extra);
        EXPECT_EQ(r.exitCode, 1) << reason;
        EXPECT_TRUE(r.out.isEmpty()) << r.out.constData();
        const QStringList err = ErrLines(r);
        ASSERT_EQ(err.size(), 1) << r.err.constData();
        EXPECT_TRUE(err[0].contains(QString::fromUtf8(reason))) << err[0].toStdString();
        EXPECT_TRUE(err[0].endsWith(QStringLiteral("nothing written"))) << err[0].toStdString();
        const auto after = Snapshot();
        ASSERT_EQ(after.keys(), before.keys()) << reason;
        for (const QString& name : before.keys()) {
            EXPECT_EQ(after[name].bytes, before[name].bytes) << name.toStdString();
            EXPECT_EQ(after[name].modified, before[name].modified) << name.toStdString();
        }
    }

    static int32_t Int32At(const QByteArray& b, qsizetype offset) {
        return qFromLittleEndian<int32_t>(b.constData() + offset);
    }
    static void PutInt32(QByteArray& b, qsizetype offset, int32_t v) {
        qToLittleEndian<int32_t>(v, b.data() + offset);
    }
};

TEST_F(AlignCliTest, FailuresLeaveEveryFileAsItWas) {
    MakeProject();
    QFile::remove(Path(QStringLiteral("mp3")));
    // Without a segment table none is created either.
    ExpectNothingWritten({}, "no recording");
    WritePos({{1, 1, 100, 200, {3}}});
    ExpectNothingWritten({}, "no recording");

    CopyRecording(QStringLiteral("not-audio.mp3"));
    ExpectNothingWritten({}, "no MPEG audio stream");

    QFile::remove(Path(QStringLiteral("mp3")));
    QFile::copy(FixturePath(QStringLiteral("align/three.mp3")), Path(QStringLiteral("mp3")));
    ExpectNothingWritten({QStringLiteral("--language"), QStringLiteral("xx-no-such")},
                         "no speech synthesizer voice for language 'xx-no-such'");

    WritePos({{0, 1, 1, 2, {}}, {1, 1, 100, 200, {3}}, {2, 1, 300, 400, {}}});
    ExpectNothingWritten({}, "no line to align");
    // Only line 1 is chosen, and it has a segment.
    WritePos({{1, 1, 100, 200, {3}}});
    ExpectNothingWritten({QStringLiteral("--lines"), QStringLiteral("1")}, "no line to align");
}

TEST_F(AlignCliTest, WritesNewSegmentsAndKeepsEveryOtherByte) {
    MakeProject();
    const TNarration n = LoadNarration("three");
    // Line 1 is fixed; line 0 has pictures; record 7 (no such line) has values; the file has
    // bytes behind the table.
    WritePos({{0, 0, 0, 0, {4, 9}},
              {1, 1, n.Truth[1].Start - 100, n.Truth[1].Finish + 100, {2}},
              {7, 1, 5, 9, {1}}});
    QByteArray before = ReadAll(Pos()) + QByteArray("TAIL-BYTES-KEPT");
    WriteAll(Pos(), before);

    const TCliResult r = Align();
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.startsWith("Aligned 2 lines.")) << r.out.constData();
    EXPECT_TRUE(r.out.contains("segment table written to")) << r.out.constData();
    const QByteArray after = ReadAll(Pos());
    ASSERT_EQ(after.size(), PosFileSize + 15);

    QByteArray expected = before;
    for (int line : {0, 2}) {
        const qsizetype at = 4 + 12 * line;
        EXPECT_EQ(Int32At(after, at), 1) << line;
        const int32_t start = Int32At(after, at + 4), finish = Int32At(after, at + 8);
        EXPECT_LE(start, n.Truth[size_t(line)].Start + 441) << line;
        EXPECT_GE(finish, n.Truth[size_t(line)].Finish - 441) << line;
        PutInt32(expected, at, 1);
        PutInt32(expected, at + 4, start);
        PutInt32(expected, at + 8, finish);
    }
    EXPECT_LE(Int32At(after, 4 + 8), n.Truth[1].Start - 100);
    EXPECT_GE(Int32At(after, 28 + 4), n.Truth[1].Finish + 100);
    // Everything else, the fixed line, the pictures and the tail included, as it was.
    EXPECT_EQ(after, expected);
}

TEST_F(AlignCliTest, AlignsOnlyTheChosenLinesIntoAnotherFile) {
    MakeProject();
    WritePos({{0, 1, 10, 20, {}}, {1, 1, 30, 40, {}}, {2, 1, 50, 60, {1}}});
    const auto before = Snapshot();
    const QString out = dir_.filePath(QStringLiteral("other.pos"));
    const TCliResult r = Align({QStringLiteral("--overwrite"), QStringLiteral("--lines"),
                                QStringLiteral("2-2"), QStringLiteral("-o"), out});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.startsWith("Aligned 1 line.")) << r.out.constData();
    // The project's own table is untouched.
    EXPECT_EQ(ReadAll(Pos()), before[QStringLiteral("p.pos")].bytes);
    ResetEditorState();
    ReadPosFile(out);
    EXPECT_EQ(ItemTable[0].Start, 10);
    EXPECT_EQ(ItemTable[1].Finish, 40);
    EXPECT_EQ(ItemTable[2].Flag, 1);
    EXPECT_GT(ItemTable[2].Start, 40);
    EXPECT_GT(ItemTable[2].Finish, ItemTable[2].Start + 11025);
    EXPECT_EQ(ItemTable[2].PicCount, 1);

    const TCliResult bad = Align({QStringLiteral("--lines"), QStringLiteral("3-500")});
    EXPECT_EQ(bad.exitCode, 2);
    const TCliResult help = RunCli({QStringLiteral("align"), QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("usage: sorvelle-cli align PROJECT.txt")) << help.out.constData();
}

}  // namespace
