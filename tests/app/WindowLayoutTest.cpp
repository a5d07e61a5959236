// The window as it opens and with every pane shown, its start-up state and its close.
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <utility>

#include "EditorState.h"
#include "ProjectBaseline.h"
#include "SoundMain.h"
#include "WindowTest.h"

using WindowLayoutTest = WindowTest;

namespace {

QRect Rect(int x, int y, int w, int h) { return QRect(x, y, w, h); }

}  // namespace

TEST_F(WindowLayoutTest, OpensWithOnlyTheWaveformAndTextPanes) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Sorvelle"));
    EXPECT_EQ(form->size(), QSize(859, 747));
    EXPECT_EQ(form->Panel5->geometry(), Rect(0, 0, 859, 154));
    EXPECT_EQ(form->Panel2->geometry(), Rect(0, 154, 859, 593));
    EXPECT_EQ(form->Panel7->geometry(), Rect(1, 1, 857, 41));
    EXPECT_EQ(form->SoundView->geometry(), Rect(1, 42, 857, 80));
    EXPECT_EQ(form->ListBox1->geometry(), Rect(1, 1, 241, 591));
    EXPECT_EQ(form->Splitter1->geometry(), Rect(242, 1, 3, 591));
    EXPECT_EQ(form->Memo1->geometry(), Rect(245, 1, 613, 591));

    for (QWidget* w : std::initializer_list<QWidget*>{
             form->Panel5, form->Panel7, form->OpenBtn, form->SaveBtn, form->SpeedButton6, form->SpeedButton7,
             form->SoundView, form->BitBtn1, form->SqzImg, form->PosImg, form->BitBtn3, form->Panel2,
             form->ListBox1, form->Splitter1, form->Memo1}) {
        EXPECT_TRUE(w->isVisible()) << w->metaObject()->className() << " " << w->geometry().x();
    }
    for (QWidget* w : std::initializer_list<QWidget*>{form->Panel3, form->Panel1, form->Panel8, form->Memo2,
                                                      form->Splitter2, form->CheckBox1, form->ProgressBar1}) {
        EXPECT_TRUE(w->isHidden()) << w->metaObject()->className() << " " << w->geometry().x();
    }
}

TEST_F(WindowLayoutTest, ControlsSitAtTheirPlaces) {
    EXPECT_EQ(form->OpenBtn->geometry(), Rect(8, 9, 73, 25));
    EXPECT_EQ(form->SaveBtn->geometry(), Rect(88, 9, 75, 25));
    EXPECT_EQ(form->SpeedButton6->geometry(), Rect(264, 9, 25, 25));
    EXPECT_EQ(form->SpeedButton7->geometry(), Rect(296, 9, 25, 25));
    EXPECT_EQ(form->CheckBox1->geometry(), Rect(696, 16, 97, 17));
    EXPECT_EQ(form->BitBtn1->geometry(), Rect(240, 124, 75, 25));
    EXPECT_EQ(form->SqzImg->geometry(), Rect(397, 124, 25, 25));
    EXPECT_EQ(form->PosImg->geometry(), Rect(437, 124, 25, 25));
    EXPECT_EQ(form->BitBtn3->geometry(), Rect(546, 124, 73, 25));
    EXPECT_EQ(form->SpeedButton1->geometry(), Rect(9, 16, 23, 22));
    EXPECT_EQ(form->SpeedButton4->geometry(), Rect(9, 55, 23, 22));
    EXPECT_EQ(form->ImsToLeft_SB->geometry(), Rect(9, 80, 23, 22));
    EXPECT_EQ(form->ImsToRightSB->geometry(), Rect(9, 105, 23, 22));
    EXPECT_EQ(form->SpeedButton5->geometry(), Rect(9, 130, 23, 22));
    EXPECT_EQ(form->SpeedButton2->geometry(), Rect(8, 16, 23, 22));
    EXPECT_EQ(form->SpeedButton3->geometry(), Rect(8, 48, 23, 22));
}

TEST_F(WindowLayoutTest, EveryComponentCarriesItsLayoutName) {
    const std::pair<QObject*, const char*> components[] = {
        {form.get(), "AddItemsForm"},
        {form->Panel1, "Panel1"},
        {form->Panel2, "Panel2"},
        {form->ListBox1, "ListBox1"},
        {form->Panel3, "Panel3"},
        {form->Panel4, "Panel4"},
        {form->ImsToLeft_SB, "ImsToLeft_SB"},
        {form->ImsToRightSB, "ImsToRightSB"},
        {form->SpeedButton1, "SpeedButton1"},
        {form->ImsView, "ImsView"},
        {form->Panel5, "Panel5"},
        {form->SoundView, "SoundView"},
        {form->SqzImg, "SqzImg"},
        {form->PosImg, "PosImg"},
        {form->BitBtn3, "BitBtn3"},
        {form->SntImsView, "SntImsView"},
        {form->Panel6, "Panel6"},
        {form->SpeedButton2, "SpeedButton2"},
        {form->SpeedButton3, "SpeedButton3"},
        {form->SpeedButton4, "SpeedButton4"},
        {form->SpeedButton5, "SpeedButton5"},
        {form->Memo2, "Memo2"},
        {form->Splitter1, "Splitter1"},
        {form->Splitter2, "Splitter2"},
        {form->Panel7, "Panel7"},
        {form->SaveBtn, "SaveBtn"},
        {form->OpenBtn, "OpenBtn"},
        {form->SpeedButton6, "SpeedButton6"},
        {form->Panel8, "Panel8"},
        {form->RichEdit1, "RichEdit1"},
        {form->SpeedButton7, "SpeedButton7"},
        {form->BitBtn1, "BitBtn1"},
        {form->Memo1, "Memo1"},
        {form->CheckBox1, "CheckBox1"},
        {form->ProgressBar1, "ProgressBar1"},
    };
    for (const auto& [component, name] : components) {
        EXPECT_EQ(component->objectName(), QLatin1String(name));
        if (component != form.get()) {
            EXPECT_EQ(form->findChild<QObject*>(QLatin1String(name)), component) << name;
        }
    }
}

TEST_F(WindowLayoutTest, ListBoxTabStopsAreTwoCharactersApart) {
    // A tab width of 8 is 8 quarters of the average character width; in the list's monospaced
    // font a tab from the row's start then reaches as far as two blanks.
    EXPECT_EQ(form->ListBox1->TabWidth(), 8);
    auto rowImage = [this](const QString& text) {
        form->ListBox1->clear();
        form->ListBox1->addItem(text);
        QApplication::processEvents();
        return form->ListBox1->viewport()
            ->grab(form->ListBox1->visualItemRect(form->ListBox1->item(0)))
            .toImage();
    };
    const QImage tabbed = rowImage(QStringLiteral("\tX"));
    EXPECT_EQ(tabbed, rowImage(QStringLiteral("  X")));
    EXPECT_NE(tabbed, rowImage(QStringLiteral("X")));
}

TEST_F(WindowLayoutTest, CaptionsAndToggles) {
    EXPECT_EQ(form->OpenBtn->text(), QStringLiteral("Open"));
    EXPECT_EQ(form->SaveBtn->text(), QStringLiteral("Save"));
    EXPECT_EQ(form->BitBtn3->text(), QStringLiteral("SetText"));
    EXPECT_EQ(form->CheckBox1->text(), QStringLiteral("CheckBox1"));
    EXPECT_EQ(form->SpeedButton7->text(), QStringLiteral("Tr"));
    EXPECT_TRUE(form->SpeedButton7->font().bold());
    EXPECT_TRUE(form->SpeedButton6->text().isEmpty());
    EXPECT_TRUE(form->BitBtn1->text().isEmpty());
    EXPECT_EQ(form->SpeedButton1->text(), QStringLiteral("+"));
    EXPECT_EQ(form->SpeedButton2->text(), QStringLiteral("+"));
    EXPECT_EQ(form->SpeedButton3->text(), QStringLiteral("-"));
    EXPECT_EQ(form->SpeedButton4->text(), QStringLiteral("<<"));
    EXPECT_EQ(form->SpeedButton5->text(), QStringLiteral(">>"));
    EXPECT_EQ(form->ImsToLeft_SB->text(), QStringLiteral("<"));
    EXPECT_EQ(form->ImsToRightSB->text(), QStringLiteral(">"));
    for (QToolButton* toggle : {form->SpeedButton6, form->SpeedButton7}) {
        EXPECT_TRUE(toggle->isCheckable());
        EXPECT_FALSE(toggle->isChecked());
    }
    EXPECT_EQ(form->ProgressBar1->minimum(), 0);
    EXPECT_EQ(form->ProgressBar1->maximum(), 100);
    EXPECT_EQ(form->OD2->Filter, QStringLiteral("*.txt|*.txt"));
    EXPECT_EQ(form->OD2->InitialDir, QStringLiteral("."));
    EXPECT_EQ(form->Memo1->font().pixelSize(), 12);
    EXPECT_EQ(form->Memo2->font().pixelSize(), 12);
    EXPECT_EQ(form->ListBox1->font().pixelSize(), 12);
    EXPECT_EQ(form->RichEdit1->font().pixelSize(), 16);
    EXPECT_EQ(form->Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(form->Memo2->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(form->Memo1->document()->blockCount(), 1);
    EXPECT_TRUE(MemoText(*form->Memo1).isEmpty());
}

TEST_F(WindowLayoutTest, EveryPaneShownShareTheHeight) {
    form->Panel3->show();
    form->Panel8->show();
    form->Panel1->show();
    form->Memo2->show();
    form->Splitter2->show();
    form->ProgressBar1->show();
    QApplication::processEvents();
    EXPECT_EQ(form->Panel5->geometry(), Rect(0, 0, 859, 154));
    EXPECT_EQ(form->Panel3->geometry(), Rect(0, 154, 859, 169));
    EXPECT_EQ(form->Panel2->geometry(), Rect(0, 323, 859, 128));
    EXPECT_EQ(form->Panel8->geometry(), Rect(0, 451, 859, 148));
    EXPECT_EQ(form->Panel1->geometry(), Rect(0, 599, 859, 148));
    EXPECT_EQ(form->ImsView->geometry(), Rect(1, 1, 817, 167));
    EXPECT_EQ(form->Panel4->geometry(), Rect(818, 1, 40, 167));
    EXPECT_EQ(form->ListBox1->geometry(), Rect(1, 1, 241, 126));
    EXPECT_EQ(form->Memo1->geometry(), Rect(245, 1, 528, 126));
    EXPECT_EQ(form->Splitter2->geometry(), Rect(773, 1, 3, 126));
    EXPECT_EQ(form->Memo2->geometry(), Rect(776, 1, 82, 126));
    EXPECT_EQ(form->RichEdit1->geometry(), Rect(1, 1, 857, 146));
    EXPECT_EQ(form->SntImsView->geometry(), Rect(1, 1, 817, 146));
    EXPECT_EQ(form->Panel6->geometry(), Rect(818, 1, 40, 146));
    EXPECT_EQ(form->ProgressBar1->geometry(), Rect(1, 144, 857, 9));
    EXPECT_EQ(form->SoundView->geometry(), Rect(1, 42, 857, 80));
}

TEST_F(WindowLayoutTest, ConstructorClearsSegmentsButNotPictureAttachments) {
    ItemTable[4].Flag = 1;
    ItemTable[4].Start = 100;
    ItemTable[4].Finish = 200;
    ItemTable[4].PicCount = 2;
    ItemTable[4].Pics[1] = 9;
    PictureTable[3] = QImage(4, 4, QImage::Format_RGB32);
    form = std::make_unique<TAddItemsForm>();
    EXPECT_EQ(ItemTable[4].Flag, 0);
    EXPECT_EQ(ItemTable[4].Start, 0);
    EXPECT_EQ(ItemTable[4].Finish, 0);
    EXPECT_EQ(ItemTable[4].PicCount, 2);
    EXPECT_EQ(ItemTable[4].Pics[1], 9);
    EXPECT_TRUE(PictureTable[3].isNull());
    EXPECT_NE(EditorState.ZoomScroller, nullptr);
    EXPECT_NE(EditorState.PosScroller, nullptr);
    EXPECT_NE(EditorState.WaveBitmap, nullptr);
    EXPECT_EQ(AddItemsForm, form.get());
}

TEST_F(WindowLayoutTest, ClosingClosesTheOpenArchive) {
    QFile archive(Path(QStringLiteral("a.ims")));
    ASSERT_TRUE(archive.open(QIODevice::WriteOnly));
    archive.close();
    const int fd = ::open(Path(QStringLiteral("a.ims")).toLocal8Bit().constData(), O_RDWR);
    ASSERT_GE(fd, 0);
    EditorState.ArchiveFile = fd;
    EXPECT_TRUE(form->close());
    EXPECT_EQ(EditorState.ArchiveFile, -1);
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);
    EXPECT_EQ(questions, 0);
}

TEST_F(WindowLayoutTest, ClosingBeforeAnyProjectClosesNoFile) {
    const int probe = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(probe, 0);
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(EditorState.ArchiveFile, -1);
    EXPECT_NE(fcntl(probe, F_GETFD), -1);
    ::close(probe);
}

TEST(SoundMainUnit, OnlyTheBalancingFinalizationReleasesTheNames) {
    // The unit's own start has run before main(); this nested pair must leave the names alone.
    TextName = QStringLiteral("kept.txt");
    SoundMainInitialization();
    SoundMainFinalization();
    EXPECT_EQ(TextName, QStringLiteral("kept.txt"));
    TextName.clear();
}
