#include "WindowTest.h"

namespace {

class PaneToggleTest : public WindowTest {
  protected:
    QList<QRect> Layout() const {
        QList<QRect> out;
        for (QWidget* w : std::initializer_list<QWidget*>{form->Panel5, form->Panel3, form->Panel2,
                                                          form->Panel8, form->Panel1, form->ListBox1,
                                                          form->Memo1, form->Memo2, form->Splitter2}) {
            out << (w->isVisible() ? w->geometry() : QRect());
        }
        return out;
    }
    void Toggle(QToolButton* b) {
        QTest::mouseClick(b, Qt::LeftButton);
        QApplication::processEvents();
    }
};

TEST_F(PaneToggleTest, WindowOpensWithWaveformAndTextOnly) {
    EXPECT_FALSE(form->SpeedButton6->isChecked());
    EXPECT_FALSE(form->SpeedButton7->isChecked());
    EXPECT_EQ(form->Panel5->geometry(), QRect(0, 0, 859, 154));
    EXPECT_EQ(form->Panel2->geometry(), QRect(0, 154, 859, 593));
    EXPECT_FALSE(form->Panel1->isVisible());
    EXPECT_FALSE(form->Panel3->isVisible());
    EXPECT_FALSE(form->Panel8->isVisible());
    EXPECT_FALSE(form->Memo2->isVisible());
    EXPECT_FALSE(form->Splitter2->isVisible());
}

TEST_F(PaneToggleTest, PictureToggleShowsBothPicturePanes) {
    Toggle(form->SpeedButton6);
    EXPECT_TRUE(form->SpeedButton6->isChecked());
    EXPECT_TRUE(form->Panel1->isVisible());
    EXPECT_TRUE(form->Panel3->isVisible());
    EXPECT_FALSE(form->Panel8->isVisible());
    EXPECT_EQ(form->Panel3->geometry(), QRect(0, 154, 859, 169));
    EXPECT_EQ(form->Panel2->geometry(), QRect(0, 323, 859, 593 - 169 - 148));
    EXPECT_EQ(form->Panel1->geometry(), QRect(0, 599, 859, 148));
}

TEST_F(PaneToggleTest, TextToggleShowsSecondTextAndContextPane) {
    Toggle(form->SpeedButton7);
    EXPECT_TRUE(form->SpeedButton7->isChecked());
    EXPECT_TRUE(form->Panel8->isVisible());
    EXPECT_TRUE(form->Memo2->isVisible());
    EXPECT_TRUE(form->Splitter2->isVisible());
    EXPECT_FALSE(form->Panel1->isVisible());
    EXPECT_EQ(form->Panel2->geometry(), QRect(0, 154, 859, 593 - 148));
    EXPECT_EQ(form->Panel8->geometry(), QRect(0, 599, 859, 148));
}

TEST_F(PaneToggleTest, EveryPaneShownGivesTheDesignedLayout) {
    Toggle(form->SpeedButton6);
    Toggle(form->SpeedButton7);
    EXPECT_EQ(form->Panel5->geometry(), QRect(0, 0, 859, 154));
    EXPECT_EQ(form->Panel3->geometry(), QRect(0, 154, 859, 169));
    EXPECT_EQ(form->Panel2->geometry(), QRect(0, 323, 859, 128));
    EXPECT_EQ(form->Panel8->geometry(), QRect(0, 451, 859, 148));
    EXPECT_EQ(form->Panel1->geometry(), QRect(0, 599, 859, 148));
    // Inside the text area, measured from its children's origin (the panel's bevel).
    const QPoint in = form->ListBox1->pos();
    const int height = form->Panel2->height() - 2 * in.y();
    EXPECT_EQ(form->ListBox1->geometry(), QRect(in.x(), in.y(), 241, height));
    EXPECT_EQ(form->Memo1->geometry().left(), in.x() + 244);
    EXPECT_EQ(form->Memo1->height(), height);
    EXPECT_EQ(form->Splitter2->geometry(), QRect(form->Memo1->geometry().right() + 1, in.y(), 3, height));
    EXPECT_EQ(form->Memo2->geometry(), QRect(form->Splitter2->x() + 3, in.y(), 82, height));
    EXPECT_EQ(form->Memo2->geometry().right(), form->Panel2->width() - 1 - in.x());
    EXPECT_EQ(form->RichEdit1->width(), form->Panel8->width() - 2 * in.x());
}

TEST_F(PaneToggleTest, SecondClickRestoresTheLayout) {
    const QList<QRect> opened = Layout();
    Toggle(form->SpeedButton6);
    EXPECT_NE(Layout(), opened);
    Toggle(form->SpeedButton6);
    EXPECT_FALSE(form->SpeedButton6->isChecked());
    EXPECT_EQ(Layout(), opened);

    Toggle(form->SpeedButton7);
    EXPECT_NE(Layout(), opened);
    Toggle(form->SpeedButton7);
    EXPECT_FALSE(form->SpeedButton7->isChecked());
    EXPECT_EQ(Layout(), opened);

    // From a state with the other toggle down as well.
    Toggle(form->SpeedButton7);
    const QList<QRect> textShown = Layout();
    Toggle(form->SpeedButton6);
    Toggle(form->SpeedButton6);
    EXPECT_EQ(Layout(), textShown);
}

TEST_F(PaneToggleTest, HidingKeepsWhatThePaneHolds) {
    Toggle(form->SpeedButton7);
    form->Memo2->setPlainText(QStringLiteral("second text"));
    form->RichEdit1->setPlainText(QStringLiteral("context"));
    Toggle(form->SpeedButton7);
    Toggle(form->SpeedButton7);
    EXPECT_EQ(form->Memo2->toPlainText(), QStringLiteral("second text"));
    EXPECT_EQ(form->RichEdit1->toPlainText(), QStringLiteral("context"));
}

}  // namespace
