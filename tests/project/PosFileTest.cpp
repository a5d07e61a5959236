#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstdint>
#include <limits>

#include "EditorState.h"
#include "FileSizeLimit.h"
#include "ObeyPermissions.h"
#include "ProjectBytes.h"
#include "ProjectFiles.h"
#include "TestSupport.h"

namespace {

// Table A and B values of record i in the files these tests build.
int32_t AValue(int i, int field) { return PosAValue(i, field); }
int16_t BValue(int i, int field) { return PosBValue(i, field); }
QByteArray PosFile(int32_t n) { return PosWithDistinctFields(n); }

// Fills every record with a value no test file holds, so untouched records are visible.
void FillRecords() {
    for (TItemRec& rec : ItemTable) {
        rec.Flag = rec.Start = rec.Finish = -7;
        rec.PicCount = -7;
        for (int16_t& p : rec.Pics) p = -7;
    }
}

bool Untouched(const TItemRec& rec) {
    if (rec.Flag != -7 || rec.Start != -7 || rec.Finish != -7 || rec.PicCount != -7) return false;
    for (int16_t p : rec.Pics) {
        if (p != -7) return false;
    }
    return true;
}

void ExpectRecordFromFile(int i) {
    const TItemRec& rec = ItemTable[i];
    EXPECT_EQ(rec.Flag, AValue(i, 0)) << "record " << i;
    EXPECT_EQ(rec.Start, AValue(i, 1)) << "record " << i;
    EXPECT_EQ(rec.Finish, AValue(i, 2)) << "record " << i;
    EXPECT_EQ(rec.PicCount, BValue(i, 0)) << "record " << i;
    for (int k = 0; k < 5; ++k) EXPECT_EQ(rec.Pics[k], BValue(i, k + 1)) << "record " << i;
}

class PosFileTest : public FreshStateTest {
  protected:
    QTemporaryDir dir;
    QString pos = dir.filePath(QStringLiteral("lesson.pos"));

    void ReadBytes(const QByteArray& bytes) {
        WriteAll(pos, bytes);
        ReadPosFile(pos);
    }
};

}  // namespace

TEST_F(PosFileTest, SaveWritesTheLayoutFieldByField) {
    for (int i = 0; i < ItemTableSize; ++i) {
        ItemTable[i].Flag = i % 3 == 0 ? 1 : (i == 7 ? 5 : 0);
        ItemTable[i].Start = 11025 * i - 3;
        ItemTable[i].Finish = i == 499 ? std::numeric_limits<int32_t>::max() : 11025 * i + 4000;
        ItemTable[i].PicCount = int16_t(i % 6);
        for (int k = 0; k < 5; ++k) ItemTable[i].Pics[k] = int16_t(i == 1 ? -1 : 10 * i + k);
    }
    ASSERT_TRUE(WritePosFile(pos));
    const QByteArray bytes = ReadAll(pos);
    ASSERT_EQ(bytes.size(), 12004);
    EXPECT_EQ(PosFileSize, 12004);
    EXPECT_EQ(Int32At(bytes, 0), 500);
    for (int i = 0; i < ItemTableSize; ++i) {
        const qsizetype a = 4 + 12 * i;
        EXPECT_EQ(Int32At(bytes, a), ItemTable[i].Flag);
        EXPECT_EQ(Int32At(bytes, a + 4), ItemTable[i].Start);
        EXPECT_EQ(Int32At(bytes, a + 8), ItemTable[i].Finish);
        const qsizetype b = 6004 + 12 * i;
        EXPECT_EQ(Int16At(bytes, b), ItemTable[i].PicCount);
        for (int k = 0; k < 5; ++k) EXPECT_EQ(Int16At(bytes, b + 2 + 2 * k), ItemTable[i].Pics[k]);
    }
    EXPECT_EQ(Int32At(bytes, 4 + 12 * 499 + 8), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(Int16At(bytes, 6004 + 12 + 2), -1);
}

TEST_F(PosFileTest, WhatSaveWritesReadsBackUnchanged) {
    for (int i = 0; i < ItemTableSize; ++i) {
        ItemTable[i].Flag = i;
        ItemTable[i].Start = -i;
        ItemTable[i].Finish = 2 * i;
        ItemTable[i].PicCount = int16_t(9 - i % 12);  // values outside 0 .. 5 are kept as stored
        for (int k = 0; k < 5; ++k) ItemTable[i].Pics[k] = int16_t(i + k);
    }
    ASSERT_TRUE(WritePosFile(pos));
    const QByteArray saved = ReadAll(pos);
    FillRecords();
    ReadPosFile(pos);
    for (int i = 0; i < ItemTableSize; ++i) {
        EXPECT_EQ(ItemTable[i].Flag, i);
        EXPECT_EQ(ItemTable[i].Start, -i);
        EXPECT_EQ(ItemTable[i].Finish, 2 * i);
        EXPECT_EQ(ItemTable[i].PicCount, 9 - i % 12);
        EXPECT_EQ(ItemTable[i].Pics[4], i + 4);
    }
    ASSERT_TRUE(WritePosFile(pos));
    EXPECT_EQ(ReadAll(pos), saved);
}

TEST_F(PosFileTest, FilesShorterThanFourBytesChangeNothing) {
    for (int size = 0; size < 4; ++size) {
        FillRecords();
        ReadBytes(PosFile(3).left(size));
        for (const TItemRec& rec : ItemTable) ASSERT_TRUE(Untouched(rec)) << "size " << size;
    }
}

TEST_F(PosFileTest, ZeroOrNegativeCountChangesNothing) {
    for (int32_t n : {0, -1, -500, std::numeric_limits<int32_t>::min()}) {
        FillRecords();
        QByteArray bytes = PosFile(4);
        qToLittleEndian<int32_t>(n, bytes.data());
        ReadBytes(bytes);
        for (const TItemRec& rec : ItemTable) ASSERT_TRUE(Untouched(rec)) << "N " << n;
    }
}

TEST_F(PosFileTest, CountBelowTheTableReadsThatManyRecords) {
    FillRecords();
    ReadBytes(PosFile(3));
    for (int i = 0; i < 3; ++i) ExpectRecordFromFile(i);
    for (int i = 3; i < ItemTableSize; ++i) ASSERT_TRUE(Untouched(ItemTable[i])) << i;
}

TEST_F(PosFileTest, ShortFileFillsTheLowOrderBytesOfTheFieldItStopsIn) {
    FillRecords();
    // Record 1's Start gets only two bytes; everything behind them keeps its value.
    QByteArray bytes = PosFile(2).left(4 + 12 + 4 + 2);
    ReadBytes(bytes);
    EXPECT_EQ(ItemTable[0].Flag, AValue(0, 0));
    EXPECT_EQ(ItemTable[0].Finish, AValue(0, 2));
    EXPECT_EQ(ItemTable[1].Flag, AValue(1, 0));
    const uint32_t start = uint32_t(ItemTable[1].Start);
    EXPECT_EQ(start & 0xFFFFu, uint32_t(AValue(1, 1)) & 0xFFFFu);
    EXPECT_EQ(start >> 16, 0xFFFFu);  // the high half of -7
    EXPECT_EQ(ItemTable[1].Finish, -7);
    EXPECT_EQ(ItemTable[0].PicCount, -7);
    EXPECT_EQ(ItemTable[1].PicCount, -7);
}

TEST_F(PosFileTest, ShortFileInTableBStopsThere) {
    FillRecords();
    QByteArray bytes = PosFile(1);
    bytes.chop(7);  // PicCount and Pics[0] stay, one byte of Pics[1]
    ReadBytes(bytes);
    EXPECT_EQ(ItemTable[0].Finish, AValue(0, 2));
    EXPECT_EQ(ItemTable[0].PicCount, BValue(0, 0));
    EXPECT_EQ(ItemTable[0].Pics[0], BValue(0, 1));
    EXPECT_EQ(uint16_t(ItemTable[0].Pics[1]), uint16_t(0xFF00u | (uint16_t(BValue(0, 2)) & 0xFFu)));
    EXPECT_EQ(ItemTable[0].Pics[2], -7);
}

TEST_F(PosFileTest, CountAboveTheTableReadsTheFirstRecordsOfBothTables) {
    FillRecords();
    ReadBytes(PosFile(600));
    for (int i = 0; i < ItemTableSize; ++i) ExpectRecordFromFile(i);
}

TEST_F(PosFileTest, HugeCountWithLittleBehindItReadsWhatIsThere) {
    FillRecords();
    QByteArray bytes = PosFile(2);
    qToLittleEndian<int32_t>(std::numeric_limits<int32_t>::max(), bytes.data());
    ReadBytes(bytes);
    // The 24 bytes of table B are read as table A of records 2 and 3.
    EXPECT_EQ(ItemTable[1].Finish, AValue(1, 2));
    EXPECT_EQ(ItemTable[2].Flag, Int32At(bytes, 28));
    EXPECT_EQ(ItemTable[3].Finish, Int32At(bytes, 48));
    EXPECT_EQ(ItemTable[0].PicCount, -7);
    EXPECT_TRUE(Untouched(ItemTable[4]));
}

TEST_F(PosFileTest, MissingFileChangesNothing) {
    FillRecords();
    ReadPosFile(dir.filePath(QStringLiteral("none.pos")));
    ReadPosFile(QString());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.pos")));
    ReadPosFile(dir.filePath(QStringLiteral("folder.pos")));
    for (const TItemRec& rec : ItemTable) ASSERT_TRUE(Untouched(rec));
}

TEST_F(PosFileTest, SaveKeepsTheBytesBehindTheLayout) {
    QByteArray old = PosFile(600);
    ASSERT_GT(old.size(), 12004);
    WriteAll(pos, old);
    ItemTable[0].Flag = 1;
    ItemTable[0].Start = 42;
    ASSERT_TRUE(WritePosFile(pos));
    const QByteArray bytes = ReadAll(pos);
    ASSERT_EQ(bytes.size(), old.size());
    EXPECT_EQ(bytes.mid(12004), old.mid(12004));
    EXPECT_EQ(Int32At(bytes, 0), 500);
    EXPECT_EQ(Int32At(bytes, 8), 42);
}

TEST_F(PosFileTest, SaveOverAShorterFileGivesExactlyTheLayout) {
    WriteAll(pos, QByteArray(50, '\x55'));
    ASSERT_TRUE(WritePosFile(pos));
    const QByteArray bytes = ReadAll(pos);
    ASSERT_EQ(bytes.size(), 12004);
    EXPECT_EQ(Int32At(bytes, 0), 500);
    EXPECT_EQ(Int32At(bytes, 4), 0);
}

TEST_F(PosFileTest, SaveWhereNoFileCanBeCreatedReportsFailure) {
    WriteAll(dir.filePath(QStringLiteral("plain")), "x");
    EXPECT_FALSE(WritePosFile(dir.filePath(QStringLiteral("plain/a.pos"))));
    EXPECT_FALSE(WritePosFile(QString()));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.pos")));
    EXPECT_FALSE(WritePosFile(dir.filePath(QStringLiteral("folder.pos"))));
}

TEST_F(PosFileTest, SaveThatRunsOutOfRoomLeavesThePreviousFile) {
    const QByteArray old = PosFile(600);
    WriteAll(pos, old);
    ItemTable[0].Flag = 1;
    bool written = true;
    {
        TFileSizeLimit limit(4096);
        written = WritePosFile(pos);
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadAll(pos), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("lesson.pos")});
}

TEST_F(PosFileTest, AFileThatCanBeWrittenButNotReadIsSavedInPlaceWithItsTail) {
    QByteArray old = PosFile(600);
    WriteAll(pos, old);
    const QByteArray name = QFile::encodeName(pos);
    ASSERT_EQ(::chmod(name.constData(), 0200), 0);
    ItemTable[3].Start = 4242;
    bool written = false;
    bool active = false;
    {
        TObeyPermissions obey;
        active = obey.Active();
        written = WritePosFile(pos);
    }
    ::chmod(name.constData(), 0600);
    ASSERT_TRUE(active) << "permissions could not be made to hold";
    EXPECT_TRUE(written);
    const QByteArray bytes = ReadAll(pos);
    ASSERT_EQ(bytes.size(), old.size());
    EXPECT_EQ(Int32At(bytes, 4 + 12 * 3 + 4), 4242);
    EXPECT_EQ(bytes.mid(PosFileSize), old.mid(PosFileSize));
}

TEST_F(PosFileTest, ASparseTailIsKeptWithoutFillingItsHoles) {
    // 4 GiB of table and tail on disk as a few kilobytes: one block of data far out.
    WriteAll(pos, PosFile(500));
    const QByteArray name = QFile::encodeName(pos);
    const qint64 size = qint64(4) << 30;
    const qint64 markAt = qint64(3) << 30;
    {
        const int fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        ASSERT_EQ(::pwrite(fd, "far out", 7, markAt), 7);
        ::close(fd);
    }
    ItemTable[0].Finish = 99;
    ASSERT_TRUE(WritePosFile(pos));
    struct stat st {};
    ASSERT_EQ(::stat(name.constData(), &st), 0);
    EXPECT_EQ(st.st_size, size);
    EXPECT_LT(qint64(st.st_blocks) * 512, qint64(1) << 20);
    QFile file(pos);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(Int32At(file.read(16), 12), 99);
    ASSERT_TRUE(file.seek(markAt - 1));
    EXPECT_EQ(file.read(9), QByteArray("\0far out\0", 9));
}
