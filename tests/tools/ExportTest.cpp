// sorvelle-cli export: the bound lines in every format, read back by real readers.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <cmath>

#include "CliTestSupport.h"

namespace {

// Runs an ffmpeg tool and returns its stdout; fails the test when it is not installed.
QByteArray RunFfmpegTool(const char* tool, const QStringList& args) {
    const QString program = QStandardPaths::findExecutable(QString::fromLatin1(tool));
    if (program.isEmpty()) {
        ADD_FAILURE() << tool << " is not installed (Debian package ffmpeg, scripts/packages-test.txt)";
        return {};
    }
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        ADD_FAILURE() << tool << " failed: " << process.readAllStandardError().constData();
        return {};
    }
    return process.readAllStandardOutput();
}

// "start,duration" in seconds per subtitle packet, as ffprobe demuxes the file.
QStringList ProbedTimings(const QString& file) {
    const QByteArray out = RunFfmpegTool(
        "ffprobe", {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                    QStringLiteral("packet=pts_time,duration_time"), QStringLiteral("-of"),
                    QStringLiteral("csv=p=0"), file});
    return QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
}

QString Millis(int32_t position) {
    const int64_t ms = std::max<int64_t>(0, std::llround(double(position) * 1000.0 / 11025));
    return QString::asprintf("%lld.%03lld000", static_cast<long long>(ms / 1000),
                             static_cast<long long>(ms % 1000));
}

QString ExpectedTiming(int32_t start, int32_t finish) {
    const int64_t a = std::max<int64_t>(0, std::llround(double(start) * 1000.0 / 11025));
    const int64_t b = std::max<int64_t>(0, std::llround(double(finish) * 1000.0 / 11025));
    return Millis(start) + u',' +
           QString::asprintf("%lld.%03lld000", static_cast<long long>((b - a) / 1000),
                             static_cast<long long>((b - a) % 1000));
}

class ExportTest : public TTestProject {
  protected:
    TCliResult Export(const char* format, const QStringList& extra = {}) {
        return RunCli(QStringList{QStringLiteral("export"), QString::fromLatin1(format), Text()} + extra);
    }

    // Four lines, three bound; line 1 is bound but erased (Flag 0).
    void WriteSubtitleProject() {
        WriteText(Utf8(u8"Hello one\r\nnot bound\r\nSecond <b> & \"line\"\r\nЖёлтый, последний\r\n"));
        WritePos({{0, 1, 5513, 13781, {}},
                  {1, 0, 20000, 21000, {}},
                  {2, 1, 16538, 22050, {}},
                  {3, 1, 33075, 38588, {}}});
    }
};

TEST_F(ExportTest, SrtIsReadByFfmpegWithTheSameTimingsAndTexts) {
    WriteSubtitleProject();
    const QString srt = dir_.filePath(QStringLiteral("out.srt"));
    const TCliResult r = Export("srt", {QStringLiteral("-o"), srt});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.isEmpty());

    EXPECT_EQ(ProbedTimings(srt), (QStringList{ExpectedTiming(5513, 13781), ExpectedTiming(16538, 22050),
                                               ExpectedTiming(33075, 38588)}));
    // ffmpeg's own SubRip writer, fed by its reader: the texts survive the trip.
    const QString back = QString::fromUtf8(
        RunFfmpegTool("ffmpeg", {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), srt,
                                 QStringLiteral("-f"), QStringLiteral("srt"), QStringLiteral("-")}));
    EXPECT_TRUE(back.contains(QStringLiteral("00:00:00,500 --> 00:00:01,250\nHello one\n")))
        << back.toStdString();
    EXPECT_TRUE(back.contains(QString::fromUtf8(u8"00:00:03,000 --> 00:00:03,500\nЖёлтый, последний\n")))
        << back.toStdString();
    EXPECT_FALSE(back.contains(QStringLiteral("not bound")));
}

TEST_F(ExportTest, SrtLayoutIsExact) {
    WriteSubtitleProject();
    const TCliResult r = Export("srt");
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(QString::fromUtf8(r.out),
              QString::fromUtf8(u8"1\n00:00:00,500 --> 00:00:01,250\nHello one\n\n"
                                u8"2\n00:00:01,500 --> 00:00:02,000\nSecond <b> & \"line\"\n\n"
                                u8"3\n00:00:03,000 --> 00:00:03,500\nЖёлтый, последний\n\n"));
}

TEST_F(ExportTest, WebVttIsReadByFfmpegWithTheSameTimingsAndTexts) {
    WriteSubtitleProject();
    const QString vtt = dir_.filePath(QStringLiteral("out.vtt"));
    const TCliResult r = Export("vtt", {QStringLiteral("--output"), vtt});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QByteArray bytes = ReadAll(vtt);
    EXPECT_TRUE(bytes.startsWith("WEBVTT\n\n00:00:00.500 --> 00:00:01.250\nHello one\n\n"));
    EXPECT_TRUE(bytes.contains("Second &lt;b&gt; &amp; \"line\""));

    EXPECT_EQ(ProbedTimings(vtt), (QStringList{ExpectedTiming(5513, 13781), ExpectedTiming(16538, 22050),
                                               ExpectedTiming(33075, 38588)}));
    const QString back = QString::fromUtf8(
        RunFfmpegTool("ffmpeg", {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), vtt,
                                 QStringLiteral("-f"), QStringLiteral("srt"), QStringLiteral("-")}));
    // The reader turns the references back into the characters of the line.
    EXPECT_TRUE(back.contains(QStringLiteral("00:00:01,500 --> 00:00:02,000\nSecond <b> & \"line\"\n")))
        << back.toStdString();
}

TEST_F(ExportTest, SubtitlesLeaveOutLinesWithoutVisibleText) {
    WriteText("first\r\n   \r\nthird\r\n");
    WritePos({{0, 1, 0, 11025, {}}, {1, 1, 11025, 22050, {}}, {2, 1, 22050, 33075, {}}});
    const TCliResult srt = Export("srt");
    EXPECT_EQ(srt.out, QByteArray("1\n00:00:00,000 --> 00:00:01,000\nfirst\n\n"
                                  "2\n00:00:02,000 --> 00:00:03,000\nthird\n\n"));
    const TCliResult vtt = Export("vtt");
    EXPECT_EQ(vtt.out, QByteArray("WEBVTT\n\n00:00:00.000 --> 00:00:01.000\nfirst\n\n"
                                  "00:00:02.000 --> 00:00:03.000\nthird\n\n"));
    // The data formats keep every bound line.
    const TCliResult labels = Export("audacity");
    EXPECT_EQ(labels.out,
              QByteArray("0.000000\t1.000000\tfirst\n1.000000\t2.000000\t   \n2.000000\t3.000000\tthird\n"));
}

TEST_F(ExportTest, SegmentsImportWouldRefuseAreLeftOutWithAWarning) {
    WriteText("ok\r\nbackwards\r\nnegative start\r\nall negative\r\nok too\r\n");
    WritePos({{0, 1, 0, 11025, {}},
              {1, 1, 22050, 11025, {}},
              {2, 1, -500, 11025, {}},
              {3, 1, -10, -5, {}},
              {4, 1, 33075, 33075, {}}});
    for (const char* format : {"srt", "vtt", "audacity", "csv", "json"}) {
        const TCliResult r = Export(format);
        EXPECT_EQ(r.exitCode, 0) << format;
        EXPECT_EQ(ErrLines(r), QStringList{QStringLiteral(
                                   "sorvelle-cli export: warning: lines 1-3 left out: their segments end "
                                   "before they start or begin before 0")})
            << format;
        EXPECT_FALSE(r.out.contains("negative")) << format;
        EXPECT_FALSE(r.out.contains("backwards")) << format;
        EXPECT_TRUE(r.out.contains("ok too")) << format;
    }
    // What export writes, import takes.
    const QString labels = dir_.filePath(QStringLiteral("labels.txt"));
    ASSERT_EQ(Export("audacity", {QStringLiteral("-o"), labels}).exitCode, 0);
    const TCliResult imported =
        RunCli({QStringLiteral("import"), QStringLiteral("audacity"), labels, Text()});
    EXPECT_EQ(imported.exitCode, 0) << imported.err.constData();
}

TEST_F(ExportTest, JsonParsesAndCarriesLineFlagPositionsAndPicturesInRange) {
    WriteText("zero\r\none\r\ntwo\r\nthree\r\nfour");
    WriteArchive({Jpeg(QStringLiteral("red.jpg")), Jpeg(QStringLiteral("green.jpg"))});
    WritePos({{0, 1, 100, 200, {1, 0}},
              {1, 1, 300, 400, {1, 7, -3, 0}},
              {2, 3, 500, 600, {0}},
              {3, 1, 700, 800, {0, 1, 0, 1, 0}, 9},
              {4, 1, 900, 1000, {1, 1}, 1}});
    const TCliResult r = Export("json");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonObject root = doc.object();
    EXPECT_EQ(root.value(QStringLiteral("project")).toString(), QStringLiteral("p.txt"));
    EXPECT_EQ(root.value(QStringLiteral("positions_per_second")).toInt(), 11025);
    const QJsonArray entries = root.value(QStringLiteral("entries")).toArray();
    ASSERT_EQ(entries.size(), 4);  // line 2 has Flag 3

    const int lines[] = {0, 1, 3, 4};
    const int starts[] = {100, 300, 700, 900};
    const QList<QVariant> pictures[] = {{1, 0}, {1, 0}, {0, 1, 0, 1, 0}, {1}};
    const char* texts[] = {"zero", "one", "three", "four"};
    for (int i = 0; i < 4; ++i) {
        const QJsonObject e = entries[i].toObject();
        EXPECT_EQ(e.value(QStringLiteral("line")).toInt(), lines[i]);
        EXPECT_EQ(e.value(QStringLiteral("flag")).toInt(), 1);
        EXPECT_EQ(e.value(QStringLiteral("start_position")).toInt(), starts[i]);
        EXPECT_EQ(e.value(QStringLiteral("end_position")).toInt(), starts[i] + 100);
        EXPECT_DOUBLE_EQ(e.value(QStringLiteral("start")).toDouble(), starts[i] / 11025.0);
        EXPECT_DOUBLE_EQ(e.value(QStringLiteral("end")).toDouble(), (starts[i] + 100) / 11025.0);
        EXPECT_EQ(e.value(QStringLiteral("text")).toString(), QString::fromLatin1(texts[i]));
        EXPECT_EQ(e.value(QStringLiteral("pictures")).toArray().toVariantList(), pictures[i])
            << "entry " << i;
    }
}

TEST_F(ExportTest, JsonWithoutAnArchiveNamesNoPicture) {
    WriteText("only\r\n");
    WritePos({{0, 1, 1, 2, {0, 1}}});
    const QJsonArray entries =
        QJsonDocument::fromJson(Export("json").out).object().value(QStringLiteral("entries")).toArray();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_TRUE(entries[0].toObject().value(QStringLiteral("pictures")).toArray().isEmpty());
}

TEST_F(ExportTest, Windows1251TextComesOutAsUtf8) {
    // "Привет, ёж" and "Щука" in Windows-1251, with a byte no UTF-8 text holds.
    WriteText(QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2, \xB8\xE6\r\n\xD9\xF3\xEA\xE0\r\n"));
    WritePos({{0, 1, 0, 11025, {}}, {1, 1, 11025, 22050, {}}});
    const TCliResult labels = Export("audacity");
    ASSERT_EQ(labels.exitCode, 0);
    EXPECT_EQ(labels.out,
              QString::fromUtf8(u8"0.000000\t1.000000\tПривет, ёж\n1.000000\t2.000000\tЩука\n").toUtf8());
    const QJsonArray entries =
        QJsonDocument::fromJson(Export("json").out).object().value(QStringLiteral("entries")).toArray();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].toObject().value(QStringLiteral("text")).toString(),
              QString::fromUtf8(u8"Привет, ёж"));
    const TCliResult srt = Export("srt");
    EXPECT_TRUE(srt.out.contains(QString::fromUtf8(u8"\nЩука\n").toUtf8()));
}

TEST_F(ExportTest, CsvQuotesEveryText) {
    WriteText("plain\r\nwith, comma and \"quotes\"\r\n");
    WritePos({{0, 1, 0, 5513, {}}, {1, 1, 11025, 11026, {}}});
    const TCliResult r = Export("csv");
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QByteArray("line,start,end,text\n0,0.000000,0.500045,\"plain\"\n"
                                "1,1.000000,1.000091,\"with, comma and \"\"quotes\"\"\"\n"));
}

TEST_F(ExportTest, OnlyLinesWithARecordAndFlagOneInLineOrder) {
    QByteArray text;
    for (int i = 0; i < 503; ++i) text += "line " + QByteArray::number(i) + "\r\n";
    WriteText(text);
    WritePos(
        {{499, 1, 40, 50, {}}, {0, 1, 10, 20, {}}, {1, 0, 5, 6, {}}, {2, -1, 7, 8, {}}, {3, 1, 30, 35, {}}});
    const TCliResult r = Export("audacity");
    ASSERT_EQ(r.exitCode, 0);
    const QStringList rows = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows[0].endsWith(QStringLiteral("\tline 0")));
    EXPECT_TRUE(rows[1].endsWith(QStringLiteral("\tline 3")));
    EXPECT_TRUE(rows[2].endsWith(QStringLiteral("\tline 499")));
}

TEST_F(ExportTest, RecordsBeyondTheTextAreNotExported) {
    WriteText("one line, no break at the end");
    WritePos({{0, 1, 1, 2, {}}, {1, 1, 3, 4, {}}, {7, 1, 5, 6, {}}});
    const TCliResult r = Export("csv");
    EXPECT_EQ(r.out,
              QByteArray("line,start,end,text\n0,0.000091,0.000181,\"one line, no break at the end\"\n"));
}

TEST_F(ExportTest, OutputOverAProjectFileIsRefused) {
    WriteText("a\r\n");
    WritePos({{0, 1, 1, 2, {}}});
    const QByteArray pos = ReadAll(Path(QStringLiteral("pos")));
    for (const char* ext : {"pos", "txt", "ims", "mp3", "txr"}) {
        const TCliResult r = Export("srt", {QStringLiteral("-o"), Path(QString::fromLatin1(ext))});
        EXPECT_EQ(r.exitCode, 2) << ext;
        EXPECT_EQ(ErrLines(r).size(), 1) << ext;
    }
    EXPECT_EQ(ReadAll(Path(QStringLiteral("pos"))), pos);
    EXPECT_EQ(ReadAll(Text()), QByteArray("a\r\n"));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("ims"))));
}

TEST_F(ExportTest, OutputThatCannotBeWrittenExitsOne) {
    WriteText("a\r\n");
    const TCliResult r =
        Export("json", {QStringLiteral("-o"), dir_.filePath(QStringLiteral("no/such/dir/out.json"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(ErrLines(r).size(), 1);
}

TEST_F(ExportTest, OutputOntoAPipeOrALinkToOneIsRefusedAndLeavesIt) {
    WriteText("a\r\n");
    const QString pipe = dir_.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
    const QString link = dir_.filePath(QStringLiteral("out.srt"));
    ASSERT_TRUE(QFile::link(pipe, link));
    for (const QString& output : {pipe, link}) {
        const TCliResult r = Export("srt", {QStringLiteral("-o"), output});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(ErrLines(r), QStringList{QStringLiteral("sorvelle-cli export: cannot write ") + output});
    }
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(pipe).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), pipe);
}

TEST_F(ExportTest, ExportChangesNoProjectFile) {
    WriteSubtitleProject();
    WriteArchive({Jpeg(QStringLiteral("red.jpg"))});
    const auto before = Snapshot();
    for (const char* format : {"srt", "vtt", "audacity", "csv", "json"})
        EXPECT_EQ(Export(format).exitCode, 0);
    const auto after = Snapshot();
    EXPECT_EQ(before.keys(), after.keys());
    for (const QString& name : before.keys()) {
        EXPECT_EQ(before[name].bytes, after[name].bytes) << name.toStdString();
        EXPECT_EQ(before[name].modified, after[name].modified) << name.toStdString();
    }
}

}  // namespace
