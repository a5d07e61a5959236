// A recording whose timeline cannot be held, opened in the real window: "Out of memory" is shown,
// the rest of the project is loaded all the same, and the window works on with it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QTest>
#include <QtEndian>

#include "EditorState.h"
#include "ProjectFiles.h"
#include "SyntheticMp3.h"
#include "WindowTest.h"

namespace {

QByteArray PosWithStart(int32_t start) {
    QByteArray bytes(PosFileSize, '\0');
    qToLittleEndian<int32_t>(500, bytes.data());
    qToLittleEndian<int32_t>(1, bytes.data() + 4);
    qToLittleEndian<int32_t>(start, bytes.data() + 8);
    qToLittleEndian<int32_t>(start + 500, bytes.data() + 12);
    return bytes;
}

class HostileRecordingWindowTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        answer = TSaveChangesAnswer::Discard;
    }

    QString WriteProject(const QString& stem, const QByteArray& recording, int32_t start) {
        WriteAll(dir.filePath(stem + ".txt"), "line one\r\nline two\r\n");
        WriteAll(dir.filePath(stem + ".mp3"), recording);
        WriteAll(dir.filePath(stem + ".pos"), PosWithStart(start));
        return dir.filePath(stem + ".txt");
    }
};

TEST_F(HostileRecordingWindowTest, TimelineTooLongIsOutOfMemoryAndTheProjectStillOpens) {
    const QString fixture = FixturePath(QStringLiteral("mp3/mpeg1-l3-44100-stereo-cbr.mp3"));
    const QString good = WriteProject(QStringLiteral("good"), ReadAll(fixture), 1000);
    // 200 frames measured against 1 Hz: 2.5 billion positions.
    const QString huge =
        WriteProject(QStringLiteral("huge"), FramesThenTail(fixture, 201, OneHertzHeader), 7000);
    Open(good);
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    ASSERT_NE(EditorState.Samples, nullptr);

    Open(huge);
    EXPECT_EQ(messages, QStringList{QStringLiteral("Out of memory.")});
    EXPECT_EQ(EditorState.Samples, nullptr);
    EXPECT_EQ(EditorState.SampleCount, 0);
    EXPECT_FALSE(form->ProgressBar1->isVisible());
    // Every name and table now belongs to the new project: its segment table was read and its
    // archive created, so a save cannot mix the new text with the old project's files.
    EXPECT_EQ(TextName, huge);
    EXPECT_EQ(PosName, dir.filePath(QStringLiteral("huge.pos")));
    EXPECT_EQ(ItemTable[0].Start, 7000);
    EXPECT_EQ(EditorState.ArchiveName, dir.filePath(QStringLiteral("huge.ims")));
    EXPECT_TRUE(QFileInfo::exists(EditorState.ArchiveName));

    // The window goes on: a click in the waveform, Play and Save work on the new project.
    messages.clear();
    QTest::mouseClick(form->SoundView, Qt::LeftButton, {}, QPoint(20, 20));
    ItemTable[1].Start = 42;
    QTest::mouseClick(form->SaveBtn, Qt::LeftButton);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(qFromLittleEndian<int32_t>(ReadAll(PosName).constData() + 4 + 12 + 4), 42);
    EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("good.pos"))), PosWithStart(1000));

    // And the next project has its waveform again.
    Open(good);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_NE(EditorState.Samples, nullptr);
    EXPECT_GT(EditorState.SampleCount, 20000);
}

}  // namespace
