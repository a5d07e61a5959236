// The picture strips in the real window, driven through its buttons and mouse.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <cstring>
#include <memory>

#include "EditorState.h"
#include "PictureArchive.h"
#include "WindowTest.h"

namespace {

// Counts the paints a widget receives.
class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

class PictureStripsWindowTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        form->Panel3->show();
        form->Panel1->show();
        form->ImsView->installEventFilter(&imsPaints);
        QApplication::processEvents();
        // Cells of 250 and 219 pixels.
        ASSERT_EQ(form->ImsView->height(), 167);
        ASSERT_EQ(form->SntImsView->height(), 146);
    }

    int PaintsAfter(QAbstractButton* button) {
        QApplication::processEvents();
        imsPaints.paints = 0;
        Click(button);
        return imsPaints.paints;
    }

    void OpenProjectArchive() {
        EditorState.ArchiveName = dir.filePath("lesson.ims");
        OpenArchive();
        LoadPictures();
    }

    PaintCounter imsPaints;
};

QColor Colour(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

}  // namespace

TEST_F(PictureStripsWindowTest, ClickAt600WithStripStart4ChoosesPicture6) {
    EditorState.StripStart = 4;
    EditorState.PictureCount = 7;
    EditorState.ChosenPicture = 2;
    QTest::mouseClick(form->ImsView, Qt::LeftButton, {}, QPoint(600, 80));
    EXPECT_EQ(EditorState.ChosenPicture, 6);

    // Six pictures: there is no picture 6, the choice stays and the strip only repaints.
    EditorState.PictureCount = 6;
    EditorState.ChosenPicture = 2;
    QApplication::processEvents();
    imsPaints.paints = 0;
    QTest::mouseClick(form->ImsView, Qt::RightButton, {}, QPoint(600, 10));
    QApplication::processEvents();
    EXPECT_EQ(EditorState.ChosenPicture, 2);
    EXPECT_GE(imsPaints.paints, 1);
}

TEST_F(PictureStripsWindowTest, ScrollButtonsMoveTheStripStart) {
    EditorState.StripStart = 7;
    Click(form->SpeedButton4);
    EXPECT_EQ(EditorState.StripStart, 0);
    EditorState.StripStart = 25;
    Click(form->SpeedButton4);
    EXPECT_EQ(EditorState.StripStart, 15);

    // ">" and ">>" have no upper bound, even past the last picture.
    EditorState.PictureCount = 2;
    EditorState.StripStart = 0;
    Click(form->SpeedButton5);
    EXPECT_EQ(EditorState.StripStart, 10);
    EXPECT_GE(PaintsAfter(form->ImsToRightSB), 1);
    EXPECT_EQ(EditorState.StripStart, 11);
    Click(form->ImsToLeft_SB);
    EXPECT_EQ(EditorState.StripStart, 10);
    EXPECT_EQ(EditorState.ChosenPicture, 0);
}

TEST_F(PictureStripsWindowTest, RightButtonsStopAtTheLargestStripStart) {
    EditorState.StripStart = INT32_MAX - 5;
    Click(form->SpeedButton5);
    EXPECT_EQ(EditorState.StripStart, INT32_MAX - 5);
    for (int i = 0; i < 7; ++i) Click(form->ImsToRightSB);
    EXPECT_EQ(EditorState.StripStart, INT32_MAX);
    form->ImsView->grab();  // paints nothing, overflows nothing
    QTest::mouseClick(form->ImsView, Qt::LeftButton, {}, QPoint(600, 80));
    EXPECT_EQ(EditorState.ChosenPicture, 0);
}

TEST_F(PictureStripsWindowTest, LeftAtTheFirstPictureDoesNothingNotEvenARepaint) {
    EditorState.StripStart = 0;
    EXPECT_EQ(PaintsAfter(form->ImsToLeft_SB), 0);
    EXPECT_EQ(EditorState.StripStart, 0);
    // The counter does see the repaint of a button that changes something.
    EXPECT_GE(PaintsAfter(form->SpeedButton4), 1);
}

TEST_F(PictureStripsWindowTest, LinePlusOnAnEmptyArchiveAttachesPicture0) {
    form->Memo1->setPlainText(QStringLiteral("zero\none\ntwo"));
    PutCaretOnLine(1);
    Click(form->SpeedButton2);
    EXPECT_EQ(ItemTable[1].PicCount, 1);
    EXPECT_EQ(ItemTable[1].Pics[0], 0);
    EXPECT_EQ(ItemTable[0].PicCount, 0);
    EXPECT_EQ(ItemTable[2].PicCount, 0);
}

TEST_F(PictureStripsWindowTest, FifthPictureIsTheLastAndMinusThenPlusReusesThePlace) {
    form->Memo1->setPlainText(QStringLiteral("only line"));
    PutCaretOnLine(0);
    for (int p = 10; p < 15; ++p) {
        EditorState.ChosenPicture = p;
        Click(form->SpeedButton2);
    }
    ASSERT_EQ(ItemTable[0].PicCount, 5);
    EditorState.ChosenPicture = 99;
    Click(form->SpeedButton2);
    EXPECT_EQ(ItemTable[0].PicCount, 5);
    for (int j = 0; j < 5; ++j) EXPECT_EQ(ItemTable[0].Pics[j], 10 + j);

    Click(form->SpeedButton3);
    EXPECT_EQ(ItemTable[0].PicCount, 4);
    EXPECT_EQ(ItemTable[0].Pics[4], 14);  // stays behind, not shown
    Click(form->SpeedButton2);
    EXPECT_EQ(ItemTable[0].PicCount, 5);
    EXPECT_EQ(ItemTable[0].Pics[4], 99);

    for (int i = 0; i < 7; ++i) Click(form->SpeedButton3);
    EXPECT_EQ(ItemTable[0].PicCount, 0);
}

TEST_F(PictureStripsWindowTest, CaretLineFrom500OnHasNoRecordToChange) {
    QStringList lines;
    for (int i = 0; i < 505; ++i) lines << QString::number(i);
    form->Memo1->setPlainText(lines.join(QLatin1Char('\n')));
    PutCaretOnLine(502);
    ItemTable[499].PicCount = 2;
    unsigned char before[sizeof ItemTable];
    std::memcpy(before, ItemTable, sizeof ItemTable);
    Click(form->SpeedButton2);
    Click(form->SpeedButton3);
    EXPECT_EQ(std::memcmp(before, ItemTable, sizeof ItemTable), 0);
    // The line strip shows nothing for it.
    const QImage strip = form->SntImsView->grab().toImage();
    EXPECT_EQ(Colour(strip, 100, 100), Colour(strip, 800, 100));
}

TEST_F(PictureStripsWindowTest, ForeignPicCountsStayWithinTheRecord) {
    form->Memo1->setPlainText(QStringLiteral("a\nb"));
    PutCaretOnLine(0);
    ItemTable[0].PicCount = -4;
    EditorState.ChosenPicture = 3;
    Click(form->SpeedButton2);
    EXPECT_EQ(ItemTable[0].PicCount, 1);
    EXPECT_EQ(ItemTable[0].Pics[0], 3);

    PutCaretOnLine(1);
    ItemTable[1].PicCount = 9;
    Click(form->SpeedButton2);
    EXPECT_EQ(ItemTable[1].PicCount, 9);
    form->SntImsView->grab();  // paints five cells, reads no sixth entry
    Click(form->SpeedButton3);
    EXPECT_EQ(ItemTable[1].PicCount, 4);
}

TEST_F(PictureStripsWindowTest, ArchivePlusAddsAJpegAndKeepsTheJpegFilter) {
    OpenProjectArchive();
    ASSERT_NE(EditorState.ArchiveFile, -1);
    DialogAnswers(FixturePath("jpeg/red.jpg"));
    Click(form->SpeedButton1);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(' ').toStdString();
    EXPECT_EQ(filtersSeen.last(), QStringLiteral("*.jpg,*.jpeg|*.jpg;*.jpeg"));
    EXPECT_EQ(TOpenDialog::QtFilter(form->OD2->Filter), QStringLiteral("*.jpg,*.jpeg (*.jpg *.jpeg)"));
    EXPECT_EQ(EditorState.PictureCount, 1);
    const QByteArray archive = ReadAll(EditorState.ArchiveName);
    EXPECT_EQ(archive.mid(2008), ReadAll(FixturePath("jpeg/red.jpg")));

    // The strip shows it, labelled and framed (picture 0 is the initial choice).
    const QImage strip = form->ImsView->grab().toImage();
    const QColor decoded = Colour(strip, 100, 100);  // JPEG red: within a step or two of 255, 0, 0
    EXPECT_GT(decoded.red(), 245);
    EXPECT_LT(decoded.green() + decoded.blue(), 10);
    EXPECT_EQ(Colour(strip, 100, 1), QColor(Qt::red));  // the frame of the chosen picture 0
    // Only the label is on the box's aqua; the room right of the last cell shows the panel.
    const QColor panel = form->Panel3->palette().color(QPalette::Window);
    ASSERT_NE(panel, QColor(0, 255, 255));
    EXPECT_EQ(Colour(strip, 3, 3), QColor(0, 255, 255));
    EXPECT_EQ(Colour(strip, 300, 100), panel);
    EXPECT_EQ(Colour(strip, 816, 100), panel);
}

TEST_F(PictureStripsWindowTest, ArchivePlusCancelledAddsNothing) {
    OpenProjectArchive();
    const QByteArray before = ReadAll(EditorState.ArchiveName);
    DialogAnswers(QString());
    Click(form->SpeedButton1);
    EXPECT_EQ(form->OD2->Filter, QStringLiteral("*.jpg,*.jpeg|*.jpg;*.jpeg"));
    EXPECT_EQ(ReadAll(EditorState.ArchiveName), before);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PictureStripsWindowTest, ArchivePlusRefusesAFileThatIsNotJpeg) {
    OpenProjectArchive();
    DialogAnswers(FixturePath("jpeg/red.jpg"));
    Click(form->SpeedButton1);
    const QByteArray before = ReadAll(EditorState.ArchiveName);
    const QString text = FixturePath("jpeg/not-a-jpeg.jpg");
    DialogAnswers(text);
    Click(form->SpeedButton1);
    EXPECT_EQ(messages,
              QStringList{QStringLiteral("Cannot add picture %1: not a readable JPEG file.").arg(text)});
    EXPECT_EQ(ReadAll(EditorState.ArchiveName), before);
    EXPECT_EQ(EditorState.PictureCount, 1);
}

TEST_F(PictureStripsWindowTest, LineStripPaintsTheCaretLinesPictures) {
    PictureTable[0] = QImage(10, 10, QImage::Format_RGB888);
    PictureTable[0].fill(Qt::red);
    PictureTable[1] = QImage(10, 10, QImage::Format_RGB888);
    PictureTable[1].fill(Qt::blue);
    form->Memo1->setPlainText(QStringLiteral("a\nb"));
    ItemTable[1].PicCount = 2;
    ItemTable[1].Pics[0] = 1;
    ItemTable[1].Pics[1] = 0;
    PutCaretOnLine(1);
    const QImage strip = form->SntImsView->grab().toImage();
    EXPECT_EQ(Colour(strip, 100, 100), QColor(Qt::blue));
    EXPECT_EQ(Colour(strip, 300, 100), QColor(Qt::red));
    EXPECT_NE(Colour(strip, 500, 100), QColor(Qt::red));
    PutCaretOnLine(0);
    const QImage empty = form->SntImsView->grab().toImage();
    EXPECT_NE(Colour(empty, 100, 100), QColor(Qt::blue));
}
