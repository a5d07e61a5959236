// Opening a project whose picture archive cannot be opened after one whose archive could: no
// picture of the first project may be shown, chosen or attached under the second one's numbers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTest>

#include "EditorState.h"
#include "ProjectBytes.h"
#include "WindowTest.h"

namespace {

// Pixels of the widget close to the colour.
int PixelsOf(QWidget* widget, QColor colour) {
    const QImage image = widget->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) < 30 && std::abs(c.green() - colour.green()) < 30 &&
                std::abs(c.blue() - colour.blue()) < 30)
                ++count;
        }
    }
    return count;
}

class ArchiveSwitchTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        answer = TSaveChangesAnswer::Discard;
        form->Panel3->show();
        form->Panel1->show();
        QApplication::processEvents();
    }
};

TEST_F(ArchiveSwitchTest, NoPictureOfThePreviousProjectCanBeShownOrAttached) {
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("first")));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("second/lesson.ims")));  // no archive can be made
    WriteAll(dir.filePath(QStringLiteral("first/lesson.txt")), "one\r\ntwo\r\n");
    WriteAll(dir.filePath(QStringLiteral("first/lesson.ims")),
             ArchiveBytes({ReadAll(FixturePath(QStringLiteral("jpeg/red.jpg"))),
                           ReadAll(FixturePath(QStringLiteral("jpeg/green.jpg")))}));
    WriteAll(dir.filePath(QStringLiteral("second/lesson.txt")), "other\r\n");

    Open(dir.filePath(QStringLiteral("first/lesson.txt")));
    ASSERT_EQ(EditorState.PictureCount, 2);
    // The user chooses the green picture, number 1.
    QTest::mouseClick(form->ImsView, Qt::LeftButton, Qt::NoModifier, QPoint(300, 50));
    ASSERT_EQ(EditorState.ChosenPicture, 1);
    ASSERT_GT(PixelsOf(form->ImsView, Qt::green), 1000);

    Open(dir.filePath(QStringLiteral("second/lesson.txt")));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
    EXPECT_EQ(EditorState.ArchiveFile, -1);
    EXPECT_EQ(EditorState.PictureCount, 0);
    for (const QImage& slot : PictureTable) EXPECT_TRUE(slot.isNull());
    EXPECT_EQ(PixelsOf(form->ImsView, Qt::green), 0);
    EXPECT_EQ(PixelsOf(form->ImsView, Qt::red), 0);
    // Nothing there to choose; the "+" of the line strip attaches the number still chosen, but
    // no picture of the first project comes with it.
    QTest::mouseClick(form->ImsView, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    EXPECT_EQ(EditorState.ChosenPicture, 1);
    form->Memo1->moveCursor(QTextCursor::Start);
    QTest::mouseClick(form->SpeedButton2, Qt::LeftButton);
    QApplication::processEvents();
    ASSERT_EQ(ItemTable[0].PicCount, 1);
    EXPECT_EQ(PixelsOf(form->SntImsView, Qt::green), 0);
}

}  // namespace
