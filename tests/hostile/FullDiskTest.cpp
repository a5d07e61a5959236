// Saving onto a full disk and into a read-only folder, in the real window: the user sees
// "Cannot create file %s" for the first file that could not be written, every file that was not
// written keeps its bytes, no temporary file is left behind, and the window stays usable.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QtEndian>
#include <map>

#include "EditorState.h"
#include "PictureArchive.h"
#include "ProjectBytes.h"
#include "ProjectFiles.h"
#include "TmpfsMount.h"
#include "WindowTest.h"

namespace {

// A segment table of 500 records whose first three hold segments.
QByteArray PosWithSegments() {
    QByteArray bytes = Int32Bytes({500});
    for (int i = 0; i < 500; ++i)
        bytes += i < 3 ? Int32Bytes({1, 1000 * i, 1000 * i + 700}) : Int32Bytes({0, 0, 0});
    bytes.append(QByteArray(PosFileSize - bytes.size(), '\0'));
    return bytes;
}

std::string Joined(const QStringList& messages) { return messages.join(QLatin1Char('\n')).toStdString(); }

class FullDiskTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        answer = TSaveChangesAnswer::Save;
    }

    // The project's files in the mounted folder, remembered byte for byte.
    void WriteProject(const TTmpfsMount& disk) {
        files[QStringLiteral("lesson.txt")] = QByteArray("First line\nВторая \xff строка\r\nthird\n");
        files[QStringLiteral("lesson.txr")] = QByteArray("second text\r\n");
        files[QStringLiteral("lesson.pos")] = PosWithSegments();
        files[QStringLiteral("lesson.mp3")] =
            ReadAll(FixturePath(QStringLiteral("mp3/mpeg2-l3-22050-mono.mp3")));
        for (auto& [name, bytes] : files) WriteAll(disk.FilePath(name), bytes);
    }

    void OpenProject(const TTmpfsMount& disk) {
        const QString text = disk.FilePath(QStringLiteral("lesson.txt"));
        Open(text);
        ASSERT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(TextName, text);
        ASSERT_EQ(ItemTable[1].Start, 1000);
        // An edit and a segment change, made like the user makes them.
        form->Memo1->setFocus();
        form->Memo1->moveCursor(QTextCursor::End);
        QTest::keyClicks(form->Memo1, QStringLiteral("typed on a full disk"));
        ItemTable[0].Start = 5;
    }

    void ExpectUnchanged(const TTmpfsMount& disk, const QStringList& names) {
        for (const QString& name : names) {
            EXPECT_EQ(ReadAll(disk.FilePath(name)), files[name]) << name.toStdString();
        }
    }

    std::map<QString, QByteArray> files;
};

TEST_F(FullDiskTest, SaveOnAFullDiskKeepsEveryFileAndSaysWhichCouldNotBeWritten) {
    TTmpfsMount disk(256 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << disk.Error().toStdString() << ")";
    WriteProject(disk);
    OpenProject(disk);
    // Open created the empty picture archive; it belongs to the files that must stay.
    files[QStringLiteral("lesson.ims")] = ReadAll(disk.FilePath(QStringLiteral("lesson.ims")));
    const QStringList before = disk.Files();
    ASSERT_EQ(before.size(), 5);

    ASSERT_GT(disk.FillUp(), 10);
    QTest::mouseClick(form->SaveBtn, Qt::LeftButton);
    ASSERT_EQ(Joined(messages),
              Joined({ExceptionText(QStringLiteral("Cannot create file %1").arg(TextName))}));
    ExpectUnchanged(disk, before);
    EXPECT_EQ(disk.Files(), before);

    // Room for the texts (one page each, freed again by the rename) but not for the three pages
    // of the segment table: the texts are saved, the old table stays.
    messages.clear();
    disk.FreeFillers(2);
    QTest::mouseClick(form->SaveBtn, Qt::LeftButton);
    ASSERT_EQ(Joined(messages),
              Joined({ExceptionText(QStringLiteral("Cannot create file %1").arg(PosName))}));
    EXPECT_TRUE(ReadAll(TextName).endsWith("typed on a full disk"));
    ExpectUnchanged(
        disk, {QStringLiteral("lesson.pos"), QStringLiteral("lesson.ims"), QStringLiteral("lesson.mp3")});
    EXPECT_EQ(disk.Files(), before);

    // Closing with the segment change unsaved: the question, a save that fails again, and the
    // window stays open with nothing lost.
    messages.clear();
    form->close();
    QApplication::processEvents();
    EXPECT_EQ(questions, 1);
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(Joined(messages),
              Joined({ExceptionText(QStringLiteral("Cannot create file %1").arg(PosName))}));
    ExpectUnchanged(disk, {QStringLiteral("lesson.pos")});

    // With room again the same Save goes through.
    messages.clear();
    disk.FreeFillers(1000);
    QTest::mouseClick(form->SaveBtn, Qt::LeftButton);
    EXPECT_TRUE(messages.isEmpty());
    const QByteArray pos = ReadAll(PosName);
    ASSERT_EQ(pos.size(), PosFileSize);
    EXPECT_EQ(qFromLittleEndian<int32_t>(pos.constData() + 8), 5);
    EXPECT_EQ(disk.Files(), before);
}

TEST_F(FullDiskTest, SaveIntoAReadOnlyFolderChangesNoFile) {
    TTmpfsMount disk(256 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << disk.Error().toStdString() << ")";
    WriteProject(disk);
    ASSERT_TRUE(disk.RemountReadOnly());
    OpenProject(disk);
    // No archive can be created in a read-only folder: the project simply has no pictures.
    EXPECT_EQ(EditorState.ArchiveFile, -1);
    EXPECT_EQ(EditorState.PictureCount, 0);

    QTest::mouseClick(form->SaveBtn, Qt::LeftButton);
    ASSERT_EQ(Joined(messages),
              Joined({ExceptionText(QStringLiteral("Cannot create file %1").arg(TextName))}));
    ExpectUnchanged(disk, disk.Files());
    EXPECT_EQ(disk.Files().size(), 4);

    // Discarding on close leaves everything as it was.
    messages.clear();
    answer = TSaveChangesAnswer::Discard;
    form->close();
    QApplication::processEvents();
    EXPECT_EQ(questions, 1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(messages.isEmpty());
    ExpectUnchanged(disk, disk.Files());
}

TEST_F(FullDiskTest, APictureThatDoesNotFitLeavesTheArchiveAsItWas) {
    TTmpfsMount disk(256 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << disk.Error().toStdString() << ")";
    WriteProject(disk);
    OpenProject(disk);
    form->Panel3->show();
    QApplication::processEvents();
    // 10 000 bytes: more than the free room in the archive's last page.
    QByteArray picture = ReadAll(FixturePath(QStringLiteral("jpeg/red.jpg")));
    picture.append(QByteArray(10000 - picture.size(), '\0'));
    QTemporaryDir elsewhere;
    const QString pictureName = elsewhere.filePath(QStringLiteral("red.jpg"));
    WriteAll(pictureName, picture);
    TOpenDialog::ExecuteOverride = [pictureName](TOpenDialog& dialog) {
        dialog.FileName = pictureName;
        return true;
    };
    const QString archive = disk.FilePath(QStringLiteral("lesson.ims"));
    const QByteArray before = ReadAll(archive);

    ASSERT_GT(disk.FillUp(), 10);
    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    ASSERT_EQ(Joined(messages),
              Joined({ExceptionText(
                  QStringLiteral("Cannot add picture %1: the picture archive %2 cannot be written")
                      .arg(pictureName, archive))}));
    EXPECT_EQ(ReadAll(archive), before);
    EXPECT_EQ(EditorState.PictureCount, 0);

    messages.clear();
    disk.FreeFillers(1000);
    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    EXPECT_TRUE(messages.isEmpty()) << Joined(messages);
    EXPECT_EQ(EditorState.PictureCount, 1);
    EXPECT_EQ(ReadAll(archive).mid(ArchiveHeaderSize), picture);
}

}  // namespace
