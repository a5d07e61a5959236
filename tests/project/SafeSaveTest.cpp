// Saving over what a project's name may be: a link, a device, a hard-linked file, a file in a
// folder that cannot be written, a file that cannot be read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "EditorState.h"
#include "FileError.h"
#include "FileSizeLimit.h"
#include "ObeyPermissions.h"
#include "ProjectBytes.h"
#include "ProjectFiles.h"
#include "TestSupport.h"

namespace {

struct stat Lstat(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st;
}

// SaveTextFile, false where it reports "Cannot create file".
bool SaveText(const QString& path, const QByteArray& bytes) {
    try {
        SaveTextFile(path, bytes);
        return true;
    } catch (const EFileError& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), QStringLiteral("Cannot create file ") + path);
        return false;
    }
}

class SafeSaveTest : public FreshStateTest {
  protected:
    QTemporaryDir dir;

    QString Path(const QString& name) const { return dir.filePath(name); }
    // Every entry of a folder, hidden ones included: a temporary file left behind shows here.
    static QStringList Entries(const QString& folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }
    void Link(const QString& target, const QString& link) const {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(Path(link)).constData()),
                  0);
    }
};

}  // namespace

TEST_F(SafeSaveTest, ALinkToADeviceOrAPipeIsRefusedAndStays) {
    const QByteArray pipe = QFile::encodeName(Path(QStringLiteral("pipe")));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0644), 0);
    Link(QStringLiteral("pipe"), QStringLiteral("lesson.txr"));
    EXPECT_FALSE(SaveText(Path(QStringLiteral("lesson.txr")), "text"));
    EXPECT_FALSE(WritePosFile(Path(QStringLiteral("pipe"))));
    EXPECT_TRUE(S_ISFIFO(Lstat(Path(QStringLiteral("pipe"))).st_mode));
    EXPECT_TRUE(S_ISLNK(Lstat(Path(QStringLiteral("lesson.txr"))).st_mode));

    // A character device of our own (the numbers of /dev/null), where this process may make one.
    const QByteArray device = QFile::encodeName(Path(QStringLiteral("null")));
    if (::mknod(device.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        Link(QStringLiteral("null"), QStringLiteral("lesson.pos"));
        EXPECT_FALSE(WritePosFile(Path(QStringLiteral("lesson.pos"))));
        EXPECT_TRUE(S_ISCHR(Lstat(Path(QStringLiteral("null"))).st_mode));
        EXPECT_TRUE(S_ISLNK(Lstat(Path(QStringLiteral("lesson.pos"))).st_mode));
    }
    EXPECT_FALSE(SaveText(dir.path(), "a folder"));
    const QStringList left = Entries(dir.path());
    EXPECT_TRUE(left == QStringList({"lesson.pos", "lesson.txr", "null", "pipe"}) ||
                left == QStringList({"lesson.txr", "pipe"}))
        << left.join(' ').toStdString();
}

TEST_F(SafeSaveTest, ALinkStaysALinkAndItsTargetGetsTheBytesInItsOwnFolder) {
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("real")));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("project")));
    WriteAll(Path(QStringLiteral("real/lesson.txt")), "old");
    Link(QStringLiteral("../real/lesson.txt"), QStringLiteral("project/lesson.txt"));
    const ino_t before = Lstat(Path(QStringLiteral("real/lesson.txt"))).st_ino;

    ASSERT_TRUE(SaveText(Path(QStringLiteral("project/lesson.txt")), "new text"));
    EXPECT_TRUE(S_ISLNK(Lstat(Path(QStringLiteral("project/lesson.txt"))).st_mode));
    EXPECT_EQ(QFile::symLinkTarget(Path(QStringLiteral("project/lesson.txt"))),
              QDir(Path(QStringLiteral("real"))).filePath(QStringLiteral("lesson.txt")));
    EXPECT_EQ(ReadAll(Path(QStringLiteral("real/lesson.txt"))), QByteArray("new text"));
    // Replaced by a rename, not overwritten: a failure half way would have left the old file.
    EXPECT_NE(Lstat(Path(QStringLiteral("real/lesson.txt"))).st_ino, before);
    EXPECT_EQ(Entries(Path(QStringLiteral("real"))), QStringList{"lesson.txt"});
    EXPECT_EQ(Entries(Path(QStringLiteral("project"))), QStringList{"lesson.txt"});

    // A link to a file not there yet: the file is made where the link points.
    Link(QStringLiteral("real/second.txr"), QStringLiteral("second.txr"));
    ASSERT_TRUE(SaveText(Path(QStringLiteral("second.txr")), "second"));
    EXPECT_TRUE(S_ISLNK(Lstat(Path(QStringLiteral("second.txr"))).st_mode));
    EXPECT_EQ(ReadAll(Path(QStringLiteral("real/second.txr"))), QByteArray("second"));

    // A loop of links is refused.
    Link(QStringLiteral("loop-b"), QStringLiteral("loop-a"));
    Link(QStringLiteral("loop-a"), QStringLiteral("loop-b"));
    EXPECT_FALSE(SaveText(Path(QStringLiteral("loop-a")), "x"));
}

TEST_F(SafeSaveTest, PermissionBitsOwnerAndGroupAreKept) {
    const QString path = Path(QStringLiteral("lesson.txt"));
    WriteAll(path, "old");
    const QByteArray name = QFile::encodeName(path);
    ASSERT_EQ(::chmod(name.constData(), 0640), 0);
    // Only root may give a file to another user; others keep their own.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(name.constData(), 4321, 4322), 0);
    }
    ASSERT_TRUE(SaveText(path, "new"));
    const struct stat st = Lstat(path);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4322u);
    }
    EXPECT_EQ(ReadAll(path), QByteArray("new"));

    // A new file gets the permissions of any new file: 0666 without the process's mask.
    const mode_t mask = ::umask(022);
    ASSERT_TRUE(SaveText(Path(QStringLiteral("new.txt")), "x"));
    ::umask(mask);
    EXPECT_EQ(Lstat(Path(QStringLiteral("new.txt"))).st_mode & 07777, 0644u);
}

TEST_F(SafeSaveTest, AFileWithOtherNamesIsWrittenInPlaceForAllOfThem) {
    // A segment table with a tail, known under a second name as well.
    const QString pos = Path(QStringLiteral("lesson.pos"));
    const QByteArray old = PosWithRecords(600);
    WriteAll(pos, old);
    const QString copy = Path(QStringLiteral("copy.pos"));
    ASSERT_EQ(::link(QFile::encodeName(pos).constData(), QFile::encodeName(copy).constData()), 0);
    const ino_t inode = Lstat(pos).st_ino;
    ItemTable[0].Start = 77;
    ASSERT_TRUE(WritePosFile(pos));
    const QByteArray seen = ReadAll(copy);
    ASSERT_EQ(seen.size(), old.size());
    EXPECT_EQ(Int32At(seen, 8), 77);
    EXPECT_EQ(seen.mid(12004), old.mid(12004));
    EXPECT_EQ(Lstat(pos).st_ino, inode);
    EXPECT_EQ(Lstat(pos).st_nlink, 2u);

    // A text written in place that runs out of room gets its old bytes back.
    const QString text = Path(QStringLiteral("lesson.txt"));
    WriteAll(text, QByteArray(5000, 'o'));
    ASSERT_EQ(::link(QFile::encodeName(text).constData(),
                     QFile::encodeName(Path(QStringLiteral("copy.txt"))).constData()),
              0);
    bool saved = true;
    {
        TFileSizeLimit limit(8192);
        saved = SaveText(text, QByteArray(20000, 'n'));
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadAll(Path(QStringLiteral("copy.txt"))), QByteArray(5000, 'o'));
    EXPECT_EQ(Entries(dir.path()), QStringList({"copy.pos", "copy.txt", "lesson.pos", "lesson.txt"}));
}

TEST_F(SafeSaveTest, AFolderThatCannotBeWrittenGetsTheFileWrittenInPlace) {
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("locked")));
    const QString path = Path(QStringLiteral("locked/lesson.txt"));
    WriteAll(path, "old text that is longer");
    WriteAll(Path(QStringLiteral("locked/readonly.txt")), "kept");
    ASSERT_EQ(::chmod(QFile::encodeName(Path(QStringLiteral("locked/readonly.txt"))).constData(), 0444), 0);
    const QByteArray folder = QFile::encodeName(Path(QStringLiteral("locked")));
    ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
    bool saved = false;
    bool created = true;
    bool readOnlySaved = true;
    bool active = false;
    {
        TObeyPermissions obey;
        active = obey.Active();
        saved = SaveText(path, "new");
        created = SaveText(Path(QStringLiteral("locked/other.txt")), "x");
        readOnlySaved = SaveText(Path(QStringLiteral("locked/readonly.txt")), "x");
    }
    ::chmod(folder.constData(), 0755);
    ASSERT_TRUE(active) << "permissions could not be made to hold";
    EXPECT_TRUE(saved);
    EXPECT_EQ(ReadAll(path), QByteArray("new"));
    // No new file can be made there, and a file that cannot be written is not replaced.
    EXPECT_FALSE(created);
    EXPECT_FALSE(readOnlySaved);
    EXPECT_EQ(ReadAll(Path(QStringLiteral("locked/readonly.txt"))), QByteArray("kept"));
    EXPECT_EQ(Entries(Path(QStringLiteral("locked"))), QStringList({"lesson.txt", "readonly.txt"}));
}
