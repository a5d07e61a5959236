// Recovery snapshots: their byte layout, damage of any kind found, the lock of an open project,
// and the writer thread.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <atomic>
#include <thread>
#include <vector>

#include "ProjectLock.h"
#include "RecoverySnapshot.h"
#include "SafeSave.h"
#include "SnapshotWriter.h"
#include "TestSupport.h"

namespace {

TRecoverySnapshot Sample() {
    TRecoverySnapshot s;
    s.TextName = QByteArray("/home/u/Lektion \xd0\xa3.txt");
    s.TimeMs = 1709647620123;  // 2024-03-05 14:07:00.123 UTC
    s.Text = QStringLiteral("one\r\n\u0434\u0432\u0430\r\n\U0001F600");
    s.TextEncoding = TTextEncoding::Windows1251;
    s.SecondText = QStringLiteral("uno");
    s.SecondEncoding = TTextEncoding::Utf16Be;
    for (int i = 0; i < ItemTableSize; ++i) {
        TItemRec& r = s.Items[size_t(i)];
        r.Flag = i % 3 - 1;
        r.Start = 1000 * i - 70000;
        r.Finish = -i;
        r.PicCount = int16_t(i % 7 - 1);
        for (int k = 0; k < 5; ++k) r.Pics[k] = int16_t(100 * k - i);
    }
    return s;
}

uint32_t UInt32At(const QByteArray& b, qsizetype at) {
    return qFromLittleEndian<uint32_t>(b.constData() + at);
}

// The checksum over everything before it put right again, so that only the field changed is wrong.
QByteArray Resealed(QByteArray bytes) {
    const qsizetype body = bytes.size() - 4;
    qToLittleEndian<uint32_t>(Crc32(bytes.constData(), body), bytes.data() + body);
    return bytes;
}

}  // namespace

TEST(RecoverySnapshot, Crc32IsTheOneOfZlib) {
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32("", 0), 0u);
}

TEST(RecoverySnapshot, LayoutFieldByField) {
    const TRecoverySnapshot s = Sample();
    const QByteArray b = EncodeSnapshot(s);
    EXPECT_EQ(b.left(8), QByteArray("SORVSNAP"));
    EXPECT_EQ(UInt32At(b, 8), 1u);
    EXPECT_EQ(qFromLittleEndian<qint64>(b.constData() + 12), 1709647620123);
    const qsizetype nameLength = s.TextName.size();
    ASSERT_EQ(UInt32At(b, 20), uint32_t(nameLength));
    EXPECT_EQ(b.mid(24, nameLength), s.TextName);
    qsizetype at = 24 + nameLength;
    EXPECT_EQ(UInt32At(b, at), 1u);  // Windows-1251
    // 3 + 2 + 3 + 2 + 2 UTF-16 units: the emoji is a surrogate pair.
    ASSERT_EQ(UInt32At(b, at + 4), 24u);
    EXPECT_EQ(b.mid(at + 8, 4), QByteArray("o\0n\0", 4));
    EXPECT_EQ(b.mid(at + 8 + 10, 2), QByteArray("\x34\x04", 2));  // U+0434, little-endian
    EXPECT_EQ(b.mid(at + 8 + 20, 4), QByteArray("\x3d\xd8\x00\xde", 4));
    at += 8 + 24;
    EXPECT_EQ(UInt32At(b, at), 4u);  // UTF-16 BE
    EXPECT_EQ(UInt32At(b, at + 4), 6u);
    at += 8 + 6;
    EXPECT_EQ(UInt32At(b, at), 500u);
    at += 4;
    // Record 2: Flag 1, Start -68000, Finish -2, PicCount 1, Pics -2, 98, 198, 298, 398.
    const qsizetype r2 = at + 2 * 24;
    EXPECT_EQ(qFromLittleEndian<int32_t>(b.constData() + r2), 1);
    EXPECT_EQ(qFromLittleEndian<int32_t>(b.constData() + r2 + 4), -68000);
    EXPECT_EQ(qFromLittleEndian<int32_t>(b.constData() + r2 + 8), -2);
    EXPECT_EQ(qFromLittleEndian<int16_t>(b.constData() + r2 + 12), 1);
    EXPECT_EQ(qFromLittleEndian<int16_t>(b.constData() + r2 + 14), -2);
    EXPECT_EQ(qFromLittleEndian<int16_t>(b.constData() + r2 + 22), 398);
    at += 500 * 24;
    ASSERT_EQ(b.size(), at + 4);
    EXPECT_EQ(UInt32At(b, at), Crc32(b.constData(), at));

    TRecoverySnapshot back;
    ASSERT_TRUE(DecodeSnapshot(b, &back));
    EXPECT_EQ(back.TextName, s.TextName);
    EXPECT_EQ(back.TimeMs, s.TimeMs);
    EXPECT_EQ(back.Text, s.Text);
    EXPECT_EQ(back.TextEncoding, s.TextEncoding);
    EXPECT_EQ(back.SecondText, s.SecondText);
    EXPECT_EQ(back.SecondEncoding, s.SecondEncoding);
    EXPECT_EQ(std::memcmp(back.Items.data(), s.Items.data(), sizeof s.Items), 0);
}

TEST(RecoverySnapshot, AnyDamageIsFound) {
    const QByteArray good = EncodeSnapshot(Sample());
    TRecoverySnapshot back;
    ASSERT_TRUE(DecodeSnapshot(good, &back));
    for (qsizetype at = 0; at < good.size(); at += (at < 200 || at > good.size() - 40) ? 1 : 97) {
        QByteArray bad = good;
        bad[at] = char(bad[at] ^ 0x10);
        EXPECT_FALSE(DecodeSnapshot(bad, &back)) << "byte " << at;
    }
    for (qsizetype length : {qsizetype(0), qsizetype(7), qsizetype(30), good.size() / 2, good.size() - 1})
        EXPECT_FALSE(DecodeSnapshot(good.left(length), &back)) << "cut to " << length;
    EXPECT_FALSE(DecodeSnapshot(Resealed(good + QByteArray(4, '\0')), &back)) << "bytes behind the end";

    // Wrong fields under a checksum that matches them.
    QByteArray version = good;
    qToLittleEndian<uint32_t>(2, version.data() + 8);
    EXPECT_FALSE(DecodeSnapshot(Resealed(version), &back));
    QByteArray nameTooLong = good;
    qToLittleEndian<uint32_t>(0xFFFFFFF0u, nameTooLong.data() + 20);
    EXPECT_FALSE(DecodeSnapshot(Resealed(nameTooLong), &back));
    const qsizetype text = 24 + Sample().TextName.size();
    QByteArray encoding = good;
    qToLittleEndian<uint32_t>(5, encoding.data() + text);
    EXPECT_FALSE(DecodeSnapshot(Resealed(encoding), &back));
    QByteArray odd = good;
    qToLittleEndian<uint32_t>(23, odd.data() + text + 4);
    EXPECT_FALSE(DecodeSnapshot(Resealed(odd), &back));
    QByteArray records = good;
    qToLittleEndian<uint32_t>(499, records.data() + good.size() - 4 - 500 * 24 - 4);
    EXPECT_FALSE(DecodeSnapshot(Resealed(records), &back));
}

TEST(RecoverySnapshot, FilesMissingUnreadableDamagedAndFound) {
    QTemporaryDir dir;
    TRecoverySnapshot back;
    EXPECT_EQ(ReadSnapshotFile(dir.filePath("none"), &back), TSnapshotRead::Missing);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    EXPECT_EQ(ReadSnapshotFile(dir.filePath("folder"), &back), TSnapshotRead::Unreadable);
    WriteAll(dir.filePath("garbage"), "SORVSNAP and then nothing that fits");
    EXPECT_EQ(ReadSnapshotFile(dir.filePath("garbage"), &back), TSnapshotRead::Damaged);
    // A huge file is found damaged by its size alone, without being read.
    QFile huge(dir.filePath("huge"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(MaxSnapshotBytes + 1));
    huge.close();
    EXPECT_EQ(ReadSnapshotFile(dir.filePath("huge"), &back), TSnapshotRead::Damaged);

    ASSERT_TRUE(WriteSnapshotFile(dir.filePath("good"), Sample()));
    EXPECT_EQ(ReadSnapshotFile(dir.filePath("good"), &back), TSnapshotRead::Found);
    EXPECT_EQ(back.Text, Sample().Text);
}

TEST(RecoverySnapshot, NamesFollowLinksAndFoldersArePrivate) {
    QTemporaryDir dir;
    WriteAll(dir.filePath("a.txt"), "a");
    WriteAll(dir.filePath("b.txt"), "b");
    ASSERT_TRUE(QFile::link(dir.filePath("a.txt"), dir.filePath("link.txt")));
    EXPECT_EQ(RecoveryKey(dir.filePath("link.txt")), RecoveryKey(dir.filePath("a.txt")));
    EXPECT_EQ(ResolvedTextName(dir.filePath("link.txt")), QFile::encodeName(dir.filePath("a.txt")));
    EXPECT_NE(RecoveryKey(dir.filePath("b.txt")), RecoveryKey(dir.filePath("a.txt")));
    EXPECT_EQ(RecoveryKey(dir.filePath("a.txt")).size(), 32);

    const QString folder = dir.filePath("state/Sorvelle/recovery");
    ASSERT_TRUE(MakePrivateFolder(folder));
    EXPECT_TRUE(MakePrivateFolder(folder));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_FALSE(MakePrivateFolder(dir.filePath("a.txt/recovery")));
}

TEST(RecoverySnapshot, StaleTemporariesOfOneKeyGo) {
    QTemporaryDir dir;
    const QString key = QStringLiteral("0123456789abcdef0123456789abcdef");
    WriteAll(dir.filePath("." + key + ".snapshot.Ab12Cd"), "cut short by a kill");
    WriteAll(dir.filePath(".ffff" + key.mid(4) + ".snapshot.Ab12Cd"), "another project's write");
    WriteAll(SnapshotPath(dir.path(), key), "the snapshot itself");
    RemoveStaleSnapshotTemporaries(dir.path(), key);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{".ffff" + key.mid(4) + ".snapshot.Ab12Cd", key + ".snapshot"}));
}

TEST(ProjectLock, HeldAgainstOtherHoldersAndOtherProcesses) {
    QTemporaryDir dir;
    const QString path = dir.filePath("k.lock");
    TProjectLock first;
    TProjectLock second;
    ASSERT_EQ(first.Acquire(path), TLockResult::Held);
    EXPECT_EQ(second.Acquire(path), TLockResult::Busy);
    EXPECT_FALSE(second.Held());
    // util-linux flock(1) stands in for another process.
    QProcess probe;
    probe.start("flock", {"--exclusive", "--nonblock", path, "true"});
    ASSERT_TRUE(probe.waitForFinished(30000));
    EXPECT_EQ(probe.exitCode(), 1);
    first.Release();
    EXPECT_EQ(second.Acquire(path), TLockResult::Held);
    EXPECT_EQ(first.Acquire(dir.filePath("missing/k.lock")), TLockResult::Unavailable);
}

TEST(SnapshotWriter, WritesTheLatestAndReportsFailures) {
    QTemporaryDir dir;
    std::mutex mutex;
    std::vector<std::pair<QString, bool>> reports;
    TSnapshotWriter writer([&](const QString& path, bool written) {
        const std::lock_guard<std::mutex> hold(mutex);
        reports.emplace_back(path, written);
    });
    const QString folder = dir.filePath("state/recovery");
    const QString path = folder + "/k.snapshot";
    TRecoverySnapshot s = Sample();
    for (int i = 0; i < 20; ++i) {
        s.TimeMs = i;
        writer.Write(folder, path, s);
    }
    writer.Wait();
    TRecoverySnapshot back;
    ASSERT_EQ(ReadSnapshotFile(path, &back), TSnapshotRead::Found);
    EXPECT_EQ(back.TimeMs, 19);
    {
        const std::lock_guard<std::mutex> hold(mutex);
        ASSERT_FALSE(reports.empty());
        EXPECT_LE(reports.size(), 20u);
        EXPECT_EQ(reports.back(), std::make_pair(path, true));
    }

    WriteAll(dir.filePath("file"), "a file where the folder should be");
    writer.Write(dir.filePath("file/recovery"), dir.filePath("file/recovery/k.snapshot"), s);
    writer.Wait();
    const std::lock_guard<std::mutex> hold(mutex);
    EXPECT_EQ(reports.back(), std::make_pair(dir.filePath("file/recovery/k.snapshot"), false));
}

// Every umask(2) of this test binary, counted: setting the mask to read it opens a moment in
// which a file that another thread creates gets the wrong permissions.
std::atomic<int> UmaskCalls{0};
extern "C" mode_t umask(mode_t mask) {
    ++UmaskCalls;
    return mode_t(::syscall(SYS_umask, mask));
}

TEST(SafeSaveThreads, ANewFileIsMadeWithoutChangingTheUmask) {
    // Snapshots are saved on a thread of their own while the GUI thread may create files.
    QTemporaryDir dir;
    const mode_t before = ::umask(027);
    UmaskCalls = 0;
    ASSERT_TRUE(SaveFileSafely(dir.filePath("new"), "x"));
    EXPECT_EQ(UmaskCalls, 0);
    ::umask(before);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(dir.filePath("new")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}
