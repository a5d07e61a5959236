#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <new>
#include <thread>

#include "EditorState.h"
#include "FileError.h"
#include "JpegDecoder.h"
#include "NumberRuns.h"
#include "PictureArchive.h"
#include "ProjectBytes.h"
#include "TestSupport.h"
#include "WorkerThreads.h"

namespace {

QByteArray Header(int32_t format, int32_t count, const QList<int32_t>& sizes) {
    return ArchiveHeader(format, count, sizes);
}

// Bytes this process has read from files so far.
qint64 BytesRead() {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:")) return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

// A JPEG file padded with zeros behind its end marker to exactly `size` bytes; decoders stop at
// the marker, so it still reads as the same picture.
QByteArray PaddedJpeg(const char* fixture, qsizetype size) {
    QByteArray bytes = ReadAll(FixturePath(QString::fromLatin1(fixture)));
    bytes.append(QByteArray(size - bytes.size(), '\0'));
    return bytes;
}

bool IsColour(const QImage& image, QColor want) {
    if (image.isNull()) return false;
    const QColor got = image.pixelColor(image.width() / 2, image.height() / 2);
    return std::abs(got.red() - want.red()) < 10 && std::abs(got.green() - want.green()) < 10 &&
           std::abs(got.blue() - want.blue()) < 10;
}

class PictureArchiveTest : public FreshStateTest {
  protected:
    void SetUp() override {
        FreshStateTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        EditorState.ArchiveName = Path("lesson.ims");
    }
    void TearDown() override {
        SetPictureDecodeSize(QSize());
        SetPictureMemoryBudget(PictureMemoryBudget);
        FreshStateTest::TearDown();
    }

    QString Path(const QString& name) const { return dir.filePath(name); }

    QString Picture(const QString& name, const QByteArray& bytes) const {
        WriteAll(Path(name), bytes);
        return Path(name);
    }

    QByteArray Archive() const { return ReadAll(EditorState.ArchiveName); }

    // Runs LoadPictures and returns the message of its error, empty when there was none.
    static QString LoadReport() {
        try {
            LoadPictures();
        } catch (const EFileError& e) {
            return QString::fromStdString(e.what());
        }
        return {};
    }

    static QString AppendReport(const QString& file) {
        try {
            AppendPicture(file);
        } catch (const EFileError& e) {
            return QString::fromStdString(e.what());
        }
        return {};
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(PictureArchiveTest, NewArchiveIsExactly2008Bytes) {
    OpenArchive();
    ASSERT_NE(EditorState.ArchiveFile, -1);
    EXPECT_EQ(EditorState.PictureCount, 0);
    EXPECT_EQ(Archive(), Header(1, 0, {}));
    EXPECT_EQ(Archive().size(), 2008);
    EXPECT_EQ(LoadReport(), QString());
    EXPECT_EQ(EditorState.PictureCount, 0);
}

TEST_F(PictureArchiveTest, AdditionsWriteSizesDataAndCountInPlace) {
    const QByteArray first = PaddedJpeg("jpeg/red.jpg", 10000);
    const QByteArray second = PaddedJpeg("jpeg/blue.jpg", 5000);
    OpenArchive();
    AppendPicture(Picture("first.jpg", first));
    QByteArray archive = Archive();
    ASSERT_EQ(archive.size(), 12008);
    EXPECT_EQ(Int32At(archive, 0), 1);
    EXPECT_EQ(Int32At(archive, 4), 1);
    EXPECT_EQ(Int32At(archive, 8), 10000);
    EXPECT_EQ(archive.mid(2008), first);
    EXPECT_EQ(EditorState.PictureCount, 1);

    AppendPicture(Picture("second.jpg", second));
    archive = Archive();
    ASSERT_EQ(archive.size(), 17008);
    EXPECT_EQ(Int32At(archive, 4), 2);
    EXPECT_EQ(Int32At(archive, 8), 10000);
    EXPECT_EQ(Int32At(archive, 12), 5000);
    EXPECT_EQ(archive.mid(2008, 10000), first);
    EXPECT_EQ(archive.mid(12008), second);
    EXPECT_EQ(archive.mid(16, 2008 - 16), QByteArray(2008 - 16, '\0'));

    EXPECT_EQ(LoadReport(), QString());
    EXPECT_TRUE(IsColour(PictureTable[0], Qt::red));
    EXPECT_TRUE(IsColour(PictureTable[1], Qt::blue));
    EXPECT_TRUE(PictureTable[2].isNull());
}

TEST_F(PictureArchiveTest, AnAdditionCutShortLeavesTheArchiveByteForByte) {
    const QByteArray red = ReadAll(FixturePath("jpeg/red.jpg"));
    const QByteArray junk(3000, 'j');
    // One picture and junk behind it, which the new picture overwrites in part.
    WriteAll(EditorState.ArchiveName, Header(1, 1, {int32_t(red.size()), 777}) + red + junk);
    OpenArchive();
    const QByteArray before = Archive();
    // The size entry and the first bytes fit under the limit, the rest does not: the addition
    // breaks off in its second write.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = static_cast<rlim_t>(before.size() + 1000);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString report = AppendReport(Picture("second.jpg", PaddedJpeg("jpeg/blue.jpg", 5000)));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(report, QStringLiteral("Cannot add picture %1: the picture archive %2 cannot be written")
                          .arg(Path("second.jpg"), EditorState.ArchiveName));
    EXPECT_EQ(Archive(), before);
    EXPECT_EQ(EditorState.PictureCount, 1);
    EXPECT_EQ(LoadReport(), QString());
    EXPECT_EQ(EditorState.PictureCount, 1);
    EXPECT_TRUE(IsColour(PictureTable[0], Qt::red));
}

TEST_F(PictureArchiveTest, FiveHundredFirstPictureIsRefusedSilently) {
    const QByteArray red = ReadAll(FixturePath("jpeg/red.jpg"));
    QList<int32_t> sizes;
    QByteArray data;
    for (int i = 0; i < 500; ++i) {
        sizes << static_cast<int32_t>(red.size());
        data += red;
    }
    WriteAll(EditorState.ArchiveName, Header(1, 500, sizes) + data);
    OpenArchive();
    EXPECT_EQ(LoadReport(), QString());
    ASSERT_EQ(EditorState.PictureCount, 500);
    for (const QImage& slot : PictureTable) EXPECT_TRUE(IsColour(slot, Qt::red));

    const QByteArray before = Archive();
    EXPECT_EQ(AppendReport(Picture("blue.jpg", ReadAll(FixturePath("jpeg/blue.jpg")))), QString());
    EXPECT_EQ(Archive(), before);
    EXPECT_EQ(EditorState.PictureCount, 500);
}

TEST_F(PictureArchiveTest, FormatWordOtherThanOneLoadsAndStays) {
    const QByteArray green = ReadAll(FixturePath("jpeg/green.jpg"));
    WriteAll(EditorState.ArchiveName, Header(7, 1, {int32_t(green.size())}) + green);
    OpenArchive();
    EXPECT_EQ(LoadReport(), QString());
    EXPECT_EQ(EditorState.PictureCount, 1);
    EXPECT_TRUE(IsColour(PictureTable[0], Qt::green));
    AppendPicture(Picture("red.jpg", ReadAll(FixturePath("jpeg/red.jpg"))));
    EXPECT_EQ(Int32At(Archive(), 0), 7);
    EXPECT_EQ(Int32At(Archive(), 4), 2);
}

TEST_F(PictureArchiveTest, BytesBehindTheLastPictureAreOverwritten) {
    const QByteArray red = ReadAll(FixturePath("jpeg/red.jpg"));
    const QByteArray green = ReadAll(FixturePath("jpeg/green.jpg"));
    const QByteArray blue = ReadAll(FixturePath("jpeg/blue.jpg"));
    const QByteArray junk(5000, 'x');
    WriteAll(EditorState.ArchiveName,
             Header(1, 2, {int32_t(red.size()), int32_t(green.size())}) + red + green + junk);
    OpenArchive();
    AppendPicture(Picture("blue.jpg", blue));
    const QByteArray archive = Archive();
    const qsizetype at = 2008 + red.size() + green.size();
    EXPECT_EQ(archive.mid(at, blue.size()), blue);
    EXPECT_EQ(archive.size(), at + junk.size());
    EXPECT_EQ(archive.mid(at + blue.size()), junk.mid(blue.size()));
    EXPECT_EQ(Int32At(archive, 16), blue.size());
    EXPECT_EQ(LoadReport(), QString());
    EXPECT_TRUE(IsColour(PictureTable[2], Qt::blue));
}

TEST_F(PictureArchiveTest, OpeningTheSameProjectTwiceKeepsAdditionsWorking) {
    OpenArchive();
    AppendPicture(Picture("red.jpg", ReadAll(FixturePath("jpeg/red.jpg"))));
    LoadPictures();
    const int first = EditorState.ArchiveFile;
    OpenArchive();
    ASSERT_NE(EditorState.ArchiveFile, -1);
    // The old descriptor was closed, not leaked.
    EXPECT_TRUE(first == EditorState.ArchiveFile || ::fcntl(first, F_GETFD) == -1);
    EXPECT_EQ(LoadReport(), QString());
    EXPECT_EQ(EditorState.PictureCount, 1);
    AppendPicture(Picture("blue.jpg", ReadAll(FixturePath("jpeg/blue.jpg"))));
    EXPECT_EQ(LoadReport(), QString());
    EXPECT_EQ(EditorState.PictureCount, 2);
    EXPECT_EQ(Int32At(Archive(), 4), 2);
    EXPECT_TRUE(IsColour(PictureTable[0], Qt::red));
    EXPECT_TRUE(IsColour(PictureTable[1], Qt::blue));
}

TEST_F(PictureArchiveTest, OpenArchiveIsLockedAgainstASecondProgram) {
    OpenArchive();
    ASSERT_NE(EditorState.ArchiveFile, -1);
    const QByteArray path = QFile::encodeName(EditorState.ArchiveName);
    const int other = ::open(path.constData(), O_RDWR | O_CLOEXEC);
    ASSERT_NE(other, -1);
    EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
    CloseArchive();
    EXPECT_EQ(EditorState.ArchiveFile, -1);
    EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    ::close(other);
}

TEST_F(PictureArchiveTest, SecondProcessSeesTheLockAndHoldsItAgainstUs) {
    OpenArchive();
    ASSERT_NE(EditorState.ArchiveFile, -1);
    // util-linux flock(1) stands in for a second instance of the editor.
    QProcess probe;
    probe.start(QStringLiteral("flock"), {QStringLiteral("--exclusive"), QStringLiteral("--nonblock"),
                                          EditorState.ArchiveName, QStringLiteral("true")});
    ASSERT_TRUE(probe.waitForFinished(30000));
    EXPECT_EQ(probe.exitCode(), 1);
    CloseArchive();

    QProcess holder;
    holder.start(QStringLiteral("flock"),
                 {QStringLiteral("--exclusive"), EditorState.ArchiveName, QStringLiteral("sh"),
                  QStringLiteral("-c"), QStringLiteral("echo held; exec cat")});
    ASSERT_TRUE(holder.waitForReadyRead(30000));
    EXPECT_EQ(holder.readAll(), QByteArray("held\n"));
    OpenArchive();
    EXPECT_TRUE(ArchiveReadOnly());
    holder.closeWriteChannel();  // cat ends, and with it the lock
    ASSERT_TRUE(holder.waitForFinished(30000));
    OpenArchive();
    EXPECT_NE(EditorState.ArchiveFile, -1);
    EXPECT_FALSE(ArchiveReadOnly());
}

TEST_F(PictureArchiveTest, ArchiveHeldByAnotherProgramIsOpenedForReadingOnly) {
    const QByteArray red = ReadAll(FixturePath("jpeg/red.jpg"));
    WriteAll(EditorState.ArchiveName, Header(1, 1, {int32_t(red.size())}) + red);
    // An earlier project's pictures must not stay on show for this one.
    EditorState.PictureCount = 3;
    PictureTable[1] = QImage(4, 4, QImage::Format_RGB888);
    const QByteArray path = QFile::encodeName(EditorState.ArchiveName);
    const int other = ::open(path.constData(), O_RDWR | O_CLOEXEC);
    ASSERT_NE(other, -1);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    const QByteArray before = Archive();

    OpenArchive();
    ASSERT_NE(EditorState.ArchiveFile, -1);
    EXPECT_TRUE(ArchiveReadOnly());
    EXPECT_EQ(::fcntl(EditorState.ArchiveFile, F_GETFL) & O_ACCMODE, O_RDONLY);
    EXPECT_EQ(LoadReport(), QString());
    EXPECT_EQ(EditorState.PictureCount, 1);
    EXPECT_TRUE(IsColour(PictureTable[0], Qt::red));
    EXPECT_TRUE(PictureTable[1].isNull());
    EXPECT_EQ(
        AppendReport(Picture("blue.jpg", ReadAll(FixturePath("jpeg/blue.jpg")))),
        QStringLiteral("Cannot add picture %1: the picture archive %2 is open in another Sorvelle window")
            .arg(Path("blue.jpg"), EditorState.ArchiveName));
    EXPECT_EQ(Archive(), before);
    ::close(other);

    OpenArchive();
    EXPECT_FALSE(ArchiveReadOnly());
    EXPECT_EQ(LoadReport(), QString());
    EXPECT_EQ(EditorState.PictureCount, 1);
}

TEST_F(PictureArchiveTest, AnArchiveMadeReadOnlyLetsItsLockGo) {
    OpenArchive();
    AppendPicture(Picture("red.jpg", ReadAll(FixturePath("jpeg/red.jpg"))));
    LoadPictures();
    MakeArchiveReadOnly();
    EXPECT_TRUE(ArchiveReadOnly());
    const int other = ::open(QFile::encodeName(EditorState.ArchiveName).constData(), O_RDWR | O_CLOEXEC);
    EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    ::close(other);
    EXPECT_EQ(LoadReport(), QString());
    EXPECT_TRUE(IsColour(PictureTable[0], Qt::red));
    const QByteArray before = Archive();
    EXPECT_NE(AppendReport(Picture("blue.jpg", ReadAll(FixturePath("jpeg/blue.jpg")))), QString());
    EXPECT_EQ(Archive(), before);
    CloseArchive();
    EXPECT_FALSE(ArchiveReadOnly());
}

TEST_F(PictureArchiveTest, ArchiveThatCannotBeCreatedLeavesNoArchiveOpen) {
    WriteAll(Path("plain-file"), "not a folder");
    EditorState.ArchiveName = Path("plain-file/lesson.ims");
    EditorState.PictureCount = 4;
    OpenArchive();
    EXPECT_EQ(EditorState.ArchiveFile, -1);
    EXPECT_EQ(EditorState.PictureCount, 0);
    EXPECT_EQ(AppendReport(Picture("red.jpg", ReadAll(FixturePath("jpeg/red.jpg")))), QString());
    EXPECT_EQ(LoadReport(), QString());
    EXPECT_EQ(EditorState.PictureCount, 0);
    EXPECT_EQ(ReadAll(Path("plain-file")), QByteArray("not a folder"));

    EditorState.ArchiveName = Path("a-folder.ims");
    ASSERT_TRUE(QDir(dir.path()).mkdir("a-folder.ims"));
    OpenArchive();
    EXPECT_EQ(EditorState.ArchiveFile, -1);
}

TEST_F(PictureArchiveTest, EmptyExistingFileBecomesAnEmptyArchive) {
    WriteAll(EditorState.ArchiveName, QByteArray());
    OpenArchive();
    ASSERT_NE(EditorState.ArchiveFile, -1);
    EXPECT_EQ(Archive(), Header(1, 0, {}));
}

TEST_F(PictureArchiveTest, DamagedPictureInTheMiddleLeavesTheOthersLoaded) {
    const QByteArray red = ReadAll(FixturePath("jpeg/red.jpg"));
    const QByteArray text = ReadAll(FixturePath("jpeg/not-a-jpeg.jpg"));
    const QByteArray blue = ReadAll(FixturePath("jpeg/blue.jpg"));
    const QByteArray cut = ReadAll(FixturePath("jpeg/cut-header.jpg"));
    WriteAll(EditorState.ArchiveName, Header(1, 5,
                                             {int32_t(red.size()), int32_t(text.size()), int32_t(blue.size()),
                                              int32_t(cut.size()), int32_t(red.size())}) +
                                          red + text + blue + cut + red);
    OpenArchive();
    EXPECT_EQ(LoadReport(), QStringLiteral("Cannot show pictures 1, 3 of %1: damaged or not JPEG data")
                                .arg(EditorState.ArchiveName));
    EXPECT_EQ(EditorState.PictureCount, 5);
    EXPECT_TRUE(IsColour(PictureTable[0], Qt::red));
    EXPECT_TRUE(PictureTable[1].isNull());
    EXPECT_TRUE(IsColour(PictureTable[2], Qt::blue));
    EXPECT_TRUE(PictureTable[3].isNull());
    EXPECT_TRUE(IsColour(PictureTable[4], Qt::red));

    // Reported once: an addition does not decode or report them again...
    AppendPicture(Picture("green.jpg", ReadAll(FixturePath("jpeg/green.jpg"))));
    EXPECT_EQ(LoadReport(), QString());
    EXPECT_TRUE(IsColour(PictureTable[5], Qt::green));
    // ...but the next opening of the project does.
    OpenArchive();
    EXPECT_EQ(LoadReport(), QStringLiteral("Cannot show pictures 1, 3 of %1: damaged or not JPEG data")
                                .arg(EditorState.ArchiveName));
}

TEST_F(PictureArchiveTest, SizesNegativeOrPastTheEndAreDamagedPictures) {
    const QByteArray red = ReadAll(FixturePath("jpeg/red.jpg"));
    const QByteArray blue = ReadAll(FixturePath("jpeg/blue.jpg"));
    WriteAll(EditorState.ArchiveName,
             Header(1, 4, {int32_t(red.size()), -5, int32_t(blue.size() + 5), 1 << 30}) + red + blue);
    OpenArchive();
    // Picture 2 starts 5 bytes early (behind the negative size), so it is not a JPEG there; picture 3
    // reaches far beyond the end of the file.
    EXPECT_EQ(LoadReport(), QStringLiteral("Cannot show pictures 1-3 of %1: damaged or not JPEG data")
                                .arg(EditorState.ArchiveName));
    EXPECT_TRUE(IsColour(PictureTable[0], Qt::red));
    for (int i = 1; i < 4; ++i) EXPECT_TRUE(PictureTable[i].isNull()) << i;
    // Appending behind a negative size would overwrite earlier pictures: refused, nothing written.
    const QByteArray before = Archive();
    EXPECT_EQ(AppendReport(Picture("green.jpg", ReadAll(FixturePath("jpeg/green.jpg")))),
              QStringLiteral("Cannot add picture %1: the picture archive %2 is damaged")
                  .arg(Path("green.jpg"), EditorState.ArchiveName));
    EXPECT_EQ(Archive(), before);
}

TEST_F(PictureArchiveTest, CountOutsideTheTableIsHeldWithinIt) {
    WriteAll(EditorState.ArchiveName, Header(1, -3, {}));
    OpenArchive();
    EXPECT_EQ(LoadReport(), QString());
    EXPECT_EQ(EditorState.PictureCount, 0);
    const QByteArray before = Archive();
    EXPECT_FALSE(AppendReport(Picture("red.jpg", ReadAll(FixturePath("jpeg/red.jpg")))).isEmpty());
    EXPECT_EQ(Archive(), before);

    // 9999 pictures claimed, none there: the count stops at 500 and all are reported.
    WriteAll(EditorState.ArchiveName, Header(1, 9999, {}));
    OpenArchive();
    EXPECT_EQ(LoadReport(), QStringLiteral("Cannot show pictures 0-499 of %1: damaged or not JPEG data")
                                .arg(EditorState.ArchiveName));
    EXPECT_EQ(EditorState.PictureCount, 500);

    // A header cut short: no picture can be found.
    WriteAll(EditorState.ArchiveName, Header(1, 2, {100, 100}).left(10));
    OpenArchive();
    EXPECT_EQ(LoadReport(), QStringLiteral("Cannot show pictures 0-1 of %1: damaged or not JPEG data")
                                .arg(EditorState.ArchiveName));
}

TEST_F(PictureArchiveTest, RefusedNonJpegLeavesTheArchiveByteForByte) {
    OpenArchive();
    AppendPicture(Picture("red.jpg", ReadAll(FixturePath("jpeg/red.jpg"))));
    const QByteArray before = Archive();
    for (const char* name : {"not-a-jpeg.jpg", "cut-header.jpg"}) {
        const QString file =
            Picture(QString::fromLatin1(name), ReadAll(FixturePath(QStringLiteral("jpeg/") + name)));
        EXPECT_EQ(AppendReport(file),
                  QStringLiteral("Cannot add picture %1: not a readable JPEG file").arg(file));
        EXPECT_EQ(Archive(), before);
    }
    const QString missing = Path("missing.jpg");
    EXPECT_EQ(AppendReport(missing),
              QStringLiteral("Cannot add picture %1: not a readable JPEG file").arg(missing));
    EXPECT_EQ(AppendReport(dir.path()),
              QStringLiteral("Cannot add picture %1: not a readable JPEG file").arg(dir.path()));
    EXPECT_EQ(Archive(), before);
    EXPECT_EQ(EditorState.PictureCount, 1);
}

TEST_F(PictureArchiveTest, AfterAnAdditionOnlyTheNewPictureIsDecoded) {
    OpenArchive();
    AppendPicture(Picture("red.jpg", ReadAll(FixturePath("jpeg/red.jpg"))));
    AppendPicture(Picture("green.jpg", ReadAll(FixturePath("jpeg/green.jpg"))));
    LoadPictures();
    const qint64 keys[2] = {PictureTable[0].cacheKey(), PictureTable[1].cacheKey()};
    AppendPicture(Picture("blue.jpg", ReadAll(FixturePath("jpeg/blue.jpg"))));
    LoadPictures();
    EXPECT_EQ(PictureTable[0].cacheKey(), keys[0]);
    EXPECT_EQ(PictureTable[1].cacheKey(), keys[1]);
    EXPECT_TRUE(IsColour(PictureTable[2], Qt::blue));
    // A fresh opening decodes everything again.
    OpenArchive();
    LoadPictures();
    EXPECT_NE(PictureTable[0].cacheKey(), keys[0]);
    EXPECT_TRUE(IsColour(PictureTable[0], Qt::red));
}

TEST_F(PictureArchiveTest, LargePicturesAreDecodedScaledForTheStrip) {
    OpenArchive();
    AppendPicture(Picture("gradient.jpg", ReadAll(FixturePath("jpeg/gradient.jpg"))));
    LoadPictures();
    // 640 x 480 at 4/8: the smallest eighth that still covers a 250 x 167 cell.
    EXPECT_EQ(PictureTable[0].size(), QSize(320, 240));
}

TEST_F(PictureArchiveTest, SlotsFromTheCountOnAreEmptied) {
    for (QImage& slot : PictureTable) slot = QImage(2, 2, QImage::Format_RGB888);
    OpenArchive();
    AppendPicture(Picture("red.jpg", ReadAll(FixturePath("jpeg/red.jpg"))));
    LoadPictures();
    EXPECT_TRUE(IsColour(PictureTable[0], Qt::red));
    for (int i = 1; i < 500; ++i) EXPECT_TRUE(PictureTable[i].isNull()) << i;
}

TEST_F(PictureArchiveTest, WithoutAnArchiveNothingChanges) {
    PictureTable[0] = QImage(2, 2, QImage::Format_RGB888);
    EditorState.PictureCount = 1;
    LoadPictures();
    AppendPicture(FixturePath("jpeg/red.jpg"));
    EXPECT_EQ(EditorState.PictureCount, 1);
    EXPECT_FALSE(PictureTable[0].isNull());
    CloseArchive();
    EXPECT_EQ(EditorState.ArchiveFile, -1);
}

TEST(NumberRuns, RunsAreShortened) {
    EXPECT_EQ(NumberRuns({3}), QStringLiteral("3"));
    EXPECT_EQ(NumberRuns({3, 7}), QStringLiteral("3, 7"));
    EXPECT_EQ(NumberRuns({0, 1, 2, 3, 4, 9, 11, 12}), QStringLiteral("0-4, 9, 11-12"));
    EXPECT_EQ(NumberRuns({}), QString());
}

TEST(RunOnThreads, ThreadsThatCannotStartLeaveTheirShareToTheOthers) {
    // The second start fails as std::thread does without memory; the work is done all the same
    // and every started thread is joined (a joinable thread destroyed would terminate).
    for (int failAt : {0, 1, 2}) {
        std::atomic<int> next{0};
        std::atomic<int> done{0};
        const auto work = [&] {
            while (next++ < 100) ++done;
        };
        int starts = 0;
        RunOnThreads(3, work, [&](const std::function<void()>& f) {
            if (starts++ == failAt) throw std::bad_alloc();
            return std::thread(f);
        });
        EXPECT_EQ(done.load(), 100) << failAt;
        EXPECT_EQ(starts, failAt + 1);
    }
}

TEST_F(PictureArchiveTest, PicturesWhoseHeaderPromisesTooMuchAreDamagedAndNotDecoded) {
    // 3962 bytes of header claiming 37800 x 37800 pixels would take 66.5 MB each decoded at 1/8.
    const QByteArray huge = JpegClaimingSize(ReadAll(FixturePath("jpeg/red.jpg")), 37800, 37800);
    QList<QByteArray> pictures(40, huge);
    pictures << ReadAll(FixturePath("jpeg/green.jpg"));
    WriteAll(EditorState.ArchiveName, ArchiveBytes(pictures));
    OpenArchive();
    EXPECT_EQ(LoadReport(), QStringLiteral("Cannot show pictures 0-39 of %1: damaged or not JPEG data")
                                .arg(EditorState.ArchiveName));
    for (int i = 0; i < 40; ++i) EXPECT_TRUE(PictureTable[i].isNull()) << i;
    EXPECT_TRUE(IsColour(PictureTable[40], Qt::green));
}

TEST_F(PictureArchiveTest, NoPictureIsReadBeforeItsSizeAndStartMarkerAreChecked) {
    // 8 sizes of 2^31 - 1 in a sparse file that holds them all: 16 GiB of nothing on disk.
    QList<int32_t> sizes(8, INT32_MAX);
    WriteAll(EditorState.ArchiveName, Header(1, 8, sizes));
    {
        QFile file(EditorState.ArchiveName);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.resize(ArchiveHeaderSize + 8 * qint64(INT32_MAX)));
    }
    OpenArchive();
    const qint64 readBefore = BytesRead();
    EXPECT_EQ(LoadReport(), QStringLiteral("Cannot show pictures 0-7 of %1: damaged or not JPEG data")
                                .arg(EditorState.ArchiveName));
    EXPECT_LT(BytesRead() - readBefore, 1 << 20);

    // Within the size limit, but not starting like a JPEG: 60 MB of zeros are not read either.
    CloseArchive();
    WriteAll(EditorState.ArchiveName, Header(1, 1, {60'000'000}));
    {
        QFile file(EditorState.ArchiveName);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.resize(ArchiveHeaderSize + 60'000'000));
    }
    OpenArchive();
    const qint64 readThen = BytesRead();
    EXPECT_EQ(
        LoadReport(),
        QStringLiteral("Cannot show picture 0 of %1: damaged or not JPEG data").arg(EditorState.ArchiveName));
    EXPECT_LT(BytesRead() - readThen, 1 << 20);
}

TEST_F(PictureArchiveTest, TheMemoryBudgetGoesToThePicturesInTheirOrder) {
    // Room for two decoded 60 x 40 pictures (7200 bytes each), not for three.
    SetPictureMemoryBudget(2 * 7200 + 100);
    const QByteArray red = ReadAll(FixturePath("jpeg/red.jpg"));
    const QByteArray green = ReadAll(FixturePath("jpeg/green.jpg"));
    const QByteArray blue = ReadAll(FixturePath("jpeg/blue.jpg"));
    WriteAll(EditorState.ArchiveName, ArchiveBytes({red, green, blue}));
    OpenArchive();
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(LoadReport(), QStringLiteral("Cannot show picture 2 of %1: damaged or not JPEG data")
                                    .arg(EditorState.ArchiveName));
        EXPECT_TRUE(IsColour(PictureTable[0], Qt::red));
        EXPECT_TRUE(IsColour(PictureTable[1], Qt::green));
        EXPECT_TRUE(PictureTable[2].isNull());
        OpenArchive();
    }
    // An addition beyond the budget is refused and leaves the archive as it was.
    CloseArchive();
    WriteAll(EditorState.ArchiveName, ArchiveBytes({red, green}));
    OpenArchive();
    EXPECT_EQ(LoadReport(), QString());
    const QByteArray before = Archive();
    EXPECT_EQ(AppendReport(Picture("blue.jpg", blue)),
              QStringLiteral("Cannot add picture %1: the pictures of %2 would take more than 0 MiB of memory")
                  .arg(Path("blue.jpg"), EditorState.ArchiveName));
    EXPECT_EQ(Archive(), before);
}

TEST_F(PictureArchiveTest, PicturesAreDecodedForTheSizeTheWindowAsks) {
    OpenArchive();
    AppendPicture(Picture("gradient.jpg", ReadAll(FixturePath("jpeg/gradient.jpg"))));
    LoadPictures();
    EXPECT_EQ(PictureTable[0].size(), QSize(320, 240));
    // Twice the pixel ratio: 640 x 480 at 7/8 is the smallest eighth that covers 500 x 334. The
    // slots decoded for the old size are decoded again.
    SetPictureDecodeSize(PictureDecodeSize(2.0));
    LoadPictures();
    EXPECT_EQ(PictureTable[0].size(), QSize(560, 420));
}

TEST_F(PictureArchiveTest, DemoArchiveLoadsItsFourPictures) {
    const QByteArray demo = ReadAll(QStringLiteral(SORVELLE_SOURCE_DIR "/demo/lesson.ims"));
    ASSERT_FALSE(demo.isEmpty());
    WriteAll(EditorState.ArchiveName, demo);
    OpenArchive();
    EXPECT_EQ(LoadReport(), QString());
    EXPECT_EQ(EditorState.PictureCount, 4);
    // 480 x 320 at 5/8: 4/8 would be narrower than a 250-pixel cell.
    for (int i = 0; i < 4; ++i) EXPECT_EQ(PictureTable[i].size(), QSize(300, 200)) << i;
    EXPECT_EQ(Archive(), demo);
}
