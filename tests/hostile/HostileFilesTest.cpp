// Damaged segment tables, picture archives and texts: what is read, what is refused with which
// message, and that no file changes unless the user saved or added a picture.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>

#include "EditorState.h"
#include "FileError.h"
#include "PictureArchive.h"
#include "ProjectBytes.h"
#include "ProjectFiles.h"
#include "TestSupport.h"

namespace {

class HostileFilesTest : public FreshStateTest {
  protected:
    void SetUp() override {
        FreshStateTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        for (int i = 0; i < ItemTableSize; ++i) {
            ItemTable[i].Flag = 9;
            ItemTable[i].Start = 1000 + i;
            ItemTable[i].Finish = 2000 + i;
            ItemTable[i].PicCount = 1;
            ItemTable[i].Pics[0] = 7;
        }
    }

    bool TableUntouched() const {
        for (int i = 0; i < ItemTableSize; ++i) {
            const TItemRec& r = ItemTable[i];
            if (r.Flag != 9 || r.Start != 1000 + i || r.Finish != 2000 + i || r.PicCount != 1 ||
                r.Pics[0] != 7)
                return false;
        }
        return true;
    }

    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
};

TEST_F(HostileFilesTest, PosShorterThanItsCountChangesNothing) {
    WriteAll(Path("short.pos"), QByteArray("\x05\x00\x00", 3));
    ReadPosFile(Path("short.pos"));
    EXPECT_TRUE(TableUntouched());
    WriteAll(Path("empty.pos"), QByteArray());
    ReadPosFile(Path("empty.pos"));
    EXPECT_TRUE(TableUntouched());
}

TEST_F(HostileFilesTest, PosWithNegativeCountChangesNothing) {
    WriteAll(Path("negative.pos"), Int32Bytes({-3, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    ReadPosFile(Path("negative.pos"));
    EXPECT_TRUE(TableUntouched());
    WriteAll(Path("lowest.pos"), Int32Bytes({INT32_MIN}) + QByteArray(12004, '\x11'));
    ReadPosFile(Path("lowest.pos"));
    EXPECT_TRUE(TableUntouched());
}

TEST_F(HostileFilesTest, PosCutInsideARecordKeepsTheFieldsBehindTheEnd) {
    // Record 0 whole, then two bytes of record 1's Flag: they replace its low-order bytes.
    WriteAll(Path("cut.pos"), Int32Bytes({2, 11, 12, 13}) + QByteArray("\x34\x12", 2));
    ReadPosFile(Path("cut.pos"));
    EXPECT_EQ(ItemTable[0].Flag, 11);
    EXPECT_EQ(ItemTable[0].Finish, 13);
    EXPECT_EQ(ItemTable[1].Flag, 0x1234);
    EXPECT_EQ(ItemTable[1].Start, 1001);
    EXPECT_EQ(ItemTable[0].PicCount, 1);
    EXPECT_EQ(ItemTable[0].Pics[0], 7);
}

TEST_F(HostileFilesTest, OversizedPosReadsTableBWhereItBeginsAndASaveKeepsTheTail) {
    const int n = 600;
    QByteArray bytes = Int32Bytes({n});
    for (int i = 0; i < n; ++i) bytes += Int32Bytes({1, 10 * i, 10 * i + 5});
    for (int i = 0; i < n; ++i) bytes += Int16Bytes({2, static_cast<int16_t>(i % 500), 3, 0, 0, 0});
    const QString path = Path("big.pos");
    WriteAll(path, bytes);
    ReadPosFile(path);
    EXPECT_EQ(ItemTable[499].Start, 4990);
    EXPECT_EQ(ItemTable[499].Finish, 4995);
    EXPECT_EQ(ItemTable[0].PicCount, 2);
    EXPECT_EQ(ItemTable[499].Pics[0], 499);
    EXPECT_EQ(ItemTable[499].Pics[1], 3);

    ASSERT_TRUE(WritePosFile(path));
    const QByteArray saved = ReadAll(path);
    ASSERT_EQ(saved.size(), bytes.size());
    EXPECT_EQ(saved.left(4), Int32Bytes({500}));
    EXPECT_EQ(saved.mid(PosFileSize), bytes.mid(PosFileSize));
    EXPECT_EQ(saved.mid(4 + 12 * 499, 12), Int32Bytes({1, 4990, 4995}));
    EXPECT_EQ(saved.mid(4 + 12 * 500 + 12 * 499, 4), Int16Bytes({2, 499}));
}

class HostileArchiveTest : public HostileFilesTest {
  protected:
    void TearDown() override {
        CloseArchive();
        HostileFilesTest::TearDown();
    }

    QString OpenWith(const QByteArray& bytes) {
        const QString path = Path("lesson.ims");
        WriteAll(path, bytes);
        EditorState.ArchiveName = path;
        OpenArchive();
        EXPECT_NE(EditorState.ArchiveFile, -1);
        return path;
    }

    QString LoadMessage() {
        try {
            LoadPictures();
        } catch (const EFileError& e) {
            return QString::fromStdString(e.what());
        }
        return QString();
    }

    QString AppendMessage(const QString& picture) {
        try {
            AppendPicture(picture);
        } catch (const EFileError& e) {
            return QString::fromStdString(e.what());
        }
        return QString();
    }

    const QByteArray red = ReadAll(FixturePath(QStringLiteral("jpeg/red.jpg")));
    const QByteArray green = ReadAll(FixturePath(QStringLiteral("jpeg/green.jpg")));
};

TEST_F(HostileArchiveTest, WildSizesAreDamagedPicturesAndTheArchiveIsNotWrittenOver) {
    const QByteArray bytes = ArchiveBytes({red, green}, {static_cast<int32_t>(red.size()), INT32_MAX, -40});
    const QString path = OpenWith(bytes);
    EXPECT_EQ(LoadMessage(),
              QStringLiteral("Cannot show pictures 1-2 of %1: damaged or not JPEG data").arg(path));
    EXPECT_EQ(EditorState.PictureCount, 3);
    EXPECT_FALSE(PictureTable[0].isNull());
    EXPECT_TRUE(PictureTable[1].isNull());
    EXPECT_TRUE(PictureTable[2].isNull());

    const QString picture = FixturePath(QStringLiteral("jpeg/blue.jpg"));
    EXPECT_EQ(AppendMessage(picture),
              QStringLiteral("Cannot add picture %1: the picture archive %2 is damaged").arg(picture, path));
    EXPECT_EQ(ReadAll(path), bytes);
}

TEST_F(HostileArchiveTest, SizesPastTheEndOfTheFileRefuseAnAdditionInsteadOfWritingFarOut) {
    // The fuzzer's input: 256 pictures promised in a file of 1397 bytes.
    const QString found = FixturePath(QStringLiteral("hostile/picture_archive/sizes-past-end-of-file"));
    const QByteArray bytes = ReadAll(found);
    const QString path = OpenWith(bytes);
    LoadMessage();
    const QString picture = FixturePath(QStringLiteral("jpeg/red.jpg"));
    EXPECT_EQ(AppendMessage(picture),
              QStringLiteral("Cannot add picture %1: the picture archive %2 is damaged").arg(picture, path));
    EXPECT_EQ(ReadAll(path), bytes);

    // One size of 100 bytes in a file with none of them behind the header.
    CloseArchive();
    const QByteArray promised = ArchiveBytes({}, {100});
    const QString second = OpenWith(promised);
    EXPECT_FALSE(AppendMessage(picture).isEmpty());
    EXPECT_EQ(ReadAll(second), promised);
}

TEST_F(HostileArchiveTest, NonJpegPictureIsRefusedAndOneInsideTheArchiveIsNamed) {
    const QByteArray text = ReadAll(FixturePath(QStringLiteral("jpeg/not-a-jpeg.jpg")));
    const QByteArray bytes =
        ArchiveBytes({red, text, green}, {static_cast<int32_t>(red.size()), static_cast<int32_t>(text.size()),
                                          static_cast<int32_t>(green.size())});
    const QString path = OpenWith(bytes);
    EXPECT_EQ(LoadMessage(),
              QStringLiteral("Cannot show picture 1 of %1: damaged or not JPEG data").arg(path));
    EXPECT_FALSE(PictureTable[0].isNull());
    EXPECT_TRUE(PictureTable[1].isNull());
    EXPECT_FALSE(PictureTable[2].isNull());

    const QString notJpeg = FixturePath(QStringLiteral("jpeg/not-a-jpeg.jpg"));
    EXPECT_EQ(AppendMessage(notJpeg),
              QStringLiteral("Cannot add picture %1: not a readable JPEG file").arg(notJpeg));
    const QString cut = FixturePath(QStringLiteral("jpeg/cut-header.jpg"));
    EXPECT_EQ(AppendMessage(cut), QStringLiteral("Cannot add picture %1: not a readable JPEG file").arg(cut));
    EXPECT_EQ(ReadAll(path), bytes);
}

TEST_F(HostileFilesTest, TextWithInvalidBytesSavesBackByteForByteButForLineBreaks) {
    static const char raw[] = "caf\xc3\xa9 \xff\xfe broken \xc3( nbsp\xa0 \x98 \x00 end\nnext\rlast";
    const QByteArray bytes(raw, sizeof raw - 1);
    WriteAll(Path("t.txt"), bytes);
    const TLoadedText loaded = LoadTextFile(Path("t.txt"));
    EXPECT_EQ(loaded.encoding, TTextEncoding::Windows1251);
    SaveTextFile(Path("t.txt"), loaded.text, loaded.encoding);
    QByteArray expected = bytes;
    expected.replace("\n", "\r\n");
    expected.replace("\rlast", "\r\nlast");
    EXPECT_EQ(ReadAll(Path("t.txt")), expected);
}

TEST_F(HostileFilesTest, CompanionsLinkedToAPipeAreNeitherWrittenNorReplaced) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("pipe")).constData(), 0644), 0);
    for (const char* name : {"lesson.pos", "lesson.txr"})
        ASSERT_EQ(::symlink("pipe", QFile::encodeName(Path(name)).constData()), 0);
    EXPECT_FALSE(WritePosFile(Path("lesson.pos")));
    try {
        SaveTextFile(Path("lesson.txr"), QStringLiteral("second"), TTextEncoding::Utf8);
        ADD_FAILURE() << "saved into a pipe";
    } catch (const EFileError& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), QStringLiteral("Cannot create file ") + Path("lesson.txr"));
    }
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(Path("pipe")).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    // Reading ignores them as well: no file of that name exists.
    ReadPosFile(Path("lesson.pos"));
    EXPECT_TRUE(TableUntouched());
}

}  // namespace
