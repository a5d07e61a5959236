// File names are bytes: names that are not UTF-8 are read, written and printed as they are, and a
// folder given in a file's place is called one.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstring>

#include "CliTestSupport.h"
#include "NativeNames.h"
#include "ProjectFiles.h"

namespace {

TEST(NativeNamesTest, EveryByteSurvivesAndUtf8NamesStayAsQtDecodesThem) {
    const QByteArray valid[] = {"plain.txt", "caf\xC3\xA9.txt", "\xF0\x9F\x98\x80 \xE2\x82\xAC"};
    for (const QByteArray& bytes : valid) {
        EXPECT_EQ(NameFromNative(bytes), QFile::decodeName(bytes)) << bytes.constData();
        EXPECT_EQ(NativeFromName(NameFromNative(bytes)), bytes) << bytes.constData();
    }
    // Windows-1251, an overlong '/', an encoded surrogate, a cut sequence, beyond U+10FFFF, 0xFF.
    const QByteArray invalid[] = {"\xF2\xE5\xEA\xF1\xF2.txt",
                                  "a\xC0\xAF"
                                  "b",
                                  "\xED\xA0\x80",
                                  "x\xE2\x82",
                                  "\xF4\x90\x80\x80",
                                  "\xFF\xC3\xA9"};
    for (const QByteArray& bytes : invalid) {
        const QString name = NameFromNative(bytes);
        EXPECT_EQ(NativeFromName(name), bytes) << bytes.toHex().constData();
        EXPECT_NE(QFile::encodeName(name), bytes) << bytes.toHex().constData();
    }
}

void WriteBytes(const QByteArray& name, const QByteArray& bytes) {
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << name.toHex().constData();
    EXPECT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
    ::close(fd);
}

QByteArray ReadBytes(const QByteArray& name) {
    QByteArray bytes;
    const int fd = ::open(name.constData(), O_RDONLY);
    if (fd < 0) return bytes;
    char buffer[4096];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, got);
    ::close(fd);
    return bytes;
}

QList<QByteArray> Entries(const QByteArray& folder) {
    QList<QByteArray> names;
    DIR* dir = ::opendir(folder.constData());
    if (dir == nullptr) return names;
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names << e->d_name;
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

class FileNamesTest : public TTestProject {
  protected:
    // The folder "урок" holding the project "текст.txt", both named in Windows-1251.
    void SetUp() override {
        TTestProject::SetUp();
        folder_ = QFile::encodeName(dir_.path()) + "/\xF3\xF0\xEE\xEA";
        ASSERT_EQ(::mkdir(folder_.constData(), 0755), 0);
        text_ = folder_ + "/\xF2\xE5\xEA\xF1\xF2.txt";
    }

    // Qt cannot remove what it cannot name.
    void TearDown() override {
        for (const QByteArray& name : Entries(folder_)) ::unlink((folder_ + '/' + name).constData());
        ::rmdir(folder_.constData());
        TTestProject::TearDown();
    }

    QByteArray Companion(const char* ext) const { return text_.left(text_.size() - 3) + ext; }

    // The project's text and segment table, the table written by the editor's writer.
    void WriteProject(const std::vector<TRecordSpec>& records, const QByteArray& posTail = {}) {
        WriteBytes(text_, "one\r\ntwo\r\n");
        WritePos(records);
        WriteBytes(Companion("pos"), ReadAll(Path(QStringLiteral("pos"))) + posTail);
        QFile::remove(Path(QStringLiteral("pos")));
    }

    QByteArray folder_;
    QByteArray text_;
};

TEST_F(FileNamesTest, CheckFindsEveryCompanionAndPrintsItsName) {
    WriteProject({{0, 1, 0, 11025, {0}}, {1, 1, 11025, 22000, {}}});
    CopyRecording(QStringLiteral("mpeg1-l3-44100-stereo-cbr.mp3"));
    WriteBytes(Companion("mp3"), ReadAll(Path(QStringLiteral("mp3"))));
    WriteArchive({Jpeg(QStringLiteral("red.jpg"))});
    WriteBytes(Companion("ims"), ReadAll(Path(QStringLiteral("ims"))));

    const TCliResult r = RunCliBytes({"check", text_});
    EXPECT_EQ(r.exitCode, 0) << r.out.constData() << r.err.constData();
    EXPECT_TRUE(r.out.contains("text: " + text_ + ": 2 lines")) << r.out.constData();
    EXPECT_TRUE(r.out.contains("second text: none (" + Companion("txr") + ")"));
    EXPECT_TRUE(r.out.contains("recording: " + Companion("mp3") + ": 78 frames, 22564 positions"));
    EXPECT_TRUE(r.out.contains("picture archive: " + Companion("ims") + ": 1 pictures"));
    EXPECT_TRUE(r.out.contains("segment table: " + Companion("pos") + ": 12004 bytes, 500 records"));
    EXPECT_TRUE(r.out.endsWith("no problems found\n"));
}

TEST_F(FileNamesTest, ImportAndExportWriteUnderTheNamesGiven) {
    WriteProject({{0, 0, 0, 0, {3, 4}}, {7, 1, 600, 700, {}}}, "tail");
    const QByteArray labels = folder_ + "/\xEC\xE5\xF2\xEA\xE8.txt";
    WriteBytes(labels, "1\t2\tx\n");
    const TCliResult imported = RunCliBytes({"import", "audacity", labels, text_});
    ASSERT_EQ(imported.exitCode, 0) << imported.err.constData();
    EXPECT_TRUE(imported.out.contains(" in " + Companion("pos") + "\n")) << imported.out.constData();

    // Read back with the editor's reader; the tail behind the table stays.
    const QByteArray pos = ReadBytes(Companion("pos"));
    EXPECT_EQ(pos.size(), 12004 + 4);
    EXPECT_TRUE(pos.endsWith("tail"));
    WriteAll(Path(QStringLiteral("pos")), pos);
    ResetEditorState();
    ReadPosFile(Path(QStringLiteral("pos")));
    EXPECT_EQ(ItemTable[0].Flag, 1);
    EXPECT_EQ(ItemTable[0].Start, 11025);
    EXPECT_EQ(ItemTable[0].Finish, 22050);
    EXPECT_EQ(ItemTable[0].PicCount, 2);
    EXPECT_EQ(ItemTable[7].Start, 600);

    const QByteArray output = folder_ + "/\xE2\xFB\xE2\xEE\xE4.json";
    const TCliResult exported = RunCliBytes({"export", "json", text_, "-o", output});
    ASSERT_EQ(exported.exitCode, 0) << exported.err.constData();
    const QJsonObject root = QJsonDocument::fromJson(ReadBytes(output)).object();
    const QJsonArray entries = root.value(QStringLiteral("entries")).toArray();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].toObject().value(QStringLiteral("start_position")).toInt(), 11025);
    EXPECT_TRUE(root.value(QStringLiteral("project")).toString().endsWith(QStringLiteral(".txt")));

    // No temporary file is left behind.
    QList<QByteArray> expected;
    for (const QByteArray& name : {labels, Companion("pos"), text_, output})
        expected << name.mid(folder_.size() + 1);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Entries(folder_), expected);

    // The project's own files are known by their bytes.
    const TCliResult refused = RunCliBytes({"export", "srt", text_, "-o", Companion("pos")});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(ReadBytes(Companion("pos")), pos);
}

TEST_F(FileNamesTest, AMissingFileIsNamedByItsBytes) {
    const QByteArray missing = folder_ + "/\xED\xE5\xF2.txt";
    const TCliResult r = RunCliBytes({"check", missing});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "sorvelle-cli check: no such file: " + missing + "\n");
}

TEST_F(FileNamesTest, AFolderInAFilesPlaceIsCalledOne) {
    WriteText("a\r\n");
    WriteAll(dir_.filePath(QStringLiteral("labels.txt")), "1\t2\tx\n");
    const QString folder = dir_.filePath(QStringLiteral("sub.txt"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString labels = dir_.filePath(QStringLiteral("labels.txt"));
    const std::pair<QStringList, int> cases[] = {
        {{QStringLiteral("check"), folder}, 2},
        {{QStringLiteral("export"), QStringLiteral("srt"), folder}, 2},
        {{QStringLiteral("import"), QStringLiteral("audacity"), folder, Text()}, 2},
        {{QStringLiteral("import"), QStringLiteral("audacity"), labels, folder}, 2},
        {{QStringLiteral("export"), QStringLiteral("srt"), Text(), QStringLiteral("-o"), folder}, 1},
    };
    for (const auto& [args, code] : cases) {
        const TCliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, code) << args.join(u' ').toStdString();
        EXPECT_EQ(ErrLines(r), QStringList{QStringLiteral("sorvelle-cli ") + args[0] +
                                           QStringLiteral(": is a folder: ") + folder})
            << r.err.constData();
    }
}

}  // namespace
