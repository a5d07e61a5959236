// The read-only look at a picture archive: header fields and where each picture lies.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QtEndian>

#include "ArchiveScan.h"
#include "TestSupport.h"

namespace {

QByteArray Archive(int32_t count, const std::vector<int32_t>& sizes, int dataBytes) {
    QByteArray bytes(2008 + dataBytes, 'x');
    bytes.replace(0, 2008, QByteArray(2008, '\0'));
    qToLittleEndian<int32_t>(7, bytes.data());
    qToLittleEndian<int32_t>(count, bytes.data() + 4);
    for (size_t i = 0; i < sizes.size(); ++i) qToLittleEndian<int32_t>(sizes[i], bytes.data() + 8 + 4 * i);
    return bytes;
}

TEST(ArchiveScanTest, ExtentsFollowTheSizeTableAndStayInsideTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.ims"));
    WriteAll(path, Archive(3, {10, 20, 31}, 60));
    const TArchiveScan scan = ScanArchive(path);
    ASSERT_EQ(scan.State, TArchiveScan::TState::Read);
    EXPECT_TRUE(scan.Complete());
    EXPECT_EQ(scan.FormatWord, 7);
    EXPECT_EQ(scan.Count, 3);
    EXPECT_EQ(scan.TableCount(), 3);
    EXPECT_EQ(scan.FileSize, 2068);

    const TArchiveScan::TExtent second = scan.Extent(1);
    EXPECT_EQ(second.Offset, 2018);
    EXPECT_EQ(second.Size, 20);
    EXPECT_TRUE(second.Inside);
    QByteArray bytes;
    TPictureFault fault = TPictureFault::None;
    // Not a JPEG: its bytes are not read.
    EXPECT_FALSE(ReadArchivePicture(path, scan, 1, &bytes, &fault));
    EXPECT_EQ(fault, TPictureFault::NotJpegStart);
    EXPECT_TRUE(bytes.isEmpty());
    // 2038 + 31 = 2069: one byte past the end.
    const TArchiveScan::TExtent third = scan.Extent(2);
    EXPECT_EQ(third.Offset, 2038);
    EXPECT_FALSE(third.Inside);
    EXPECT_FALSE(ReadArchivePicture(path, scan, 2, &bytes, &fault));
    EXPECT_EQ(fault, TPictureFault::PastEnd);
    EXPECT_FALSE(scan.Extent(500).Inside);
    EXPECT_FALSE(scan.Extent(-1).Inside);
}

TEST(ArchiveScanTest, NegativeSizesAndCountsAreNeverInside) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.ims"));
    WriteAll(path, Archive(-4, {-10, 10}, 20));
    const TArchiveScan scan = ScanArchive(path);
    EXPECT_EQ(scan.TableCount(), 0);
    EXPECT_FALSE(scan.Extent(0).Inside);
    // Behind a negative size the offset would point into the header.
    EXPECT_EQ(scan.Extent(1).Offset, 1998);
    EXPECT_FALSE(scan.Extent(1).Inside);

    WriteAll(path, Archive(900, {}, 0));
    EXPECT_EQ(ScanArchive(path).TableCount(), 500);
}

TEST(ArchiveScanTest, MissingAndShortFiles) {
    QTemporaryDir dir;
    EXPECT_EQ(ScanArchive(dir.filePath(QStringLiteral("none.ims"))).State, TArchiveScan::TState::Missing);
    EXPECT_EQ(ScanArchive(dir.path()).State, TArchiveScan::TState::Missing);
    const QString path = dir.filePath(QStringLiteral("short.ims"));
    QByteArray bytes(14, '\0');
    qToLittleEndian<int32_t>(2, bytes.data() + 4);
    qToLittleEndian<int32_t>(5, bytes.data() + 8);
    WriteAll(path, bytes);
    const TArchiveScan scan = ScanArchive(path);
    EXPECT_EQ(scan.State, TArchiveScan::TState::Read);
    EXPECT_FALSE(scan.Complete());
    EXPECT_EQ(scan.Count, 2);
    EXPECT_EQ(scan.Sizes[0], 5);
    // Entry 1 is cut off after two of its bytes: it reads as 0.
    EXPECT_EQ(scan.Sizes[1], 0);
}

}  // namespace
