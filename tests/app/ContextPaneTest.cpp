#include <QClipboard>
#include <QTextBlock>

#include "WindowTest.h"

namespace {

class ContextPaneTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        ShowAllPanes();
    }
    // Lines of RichEdit1, the red ones marked with a leading "!".
    QStringList PaneLines() const {
        QStringList out;
        for (QTextBlock b = form->RichEdit1->document()->begin(); b.isValid(); b = b.next()) {
            const QColor colour = QTextCursor(b).charFormat().foreground().color();
            QTextCursor inside(b);
            inside.movePosition(QTextCursor::EndOfBlock);
            const QColor last = inside.charFormat().foreground().color();
            EXPECT_EQ(colour, last) << b.text().toStdString();
            if (colour == QColor(255, 0, 0)) {
                out << QStringLiteral("!") + b.text();
            } else {
                EXPECT_EQ(colour, QColor(0, 0, 0)) << b.text().toStdString();
                out << b.text();
            }
        }
        return out;
    }
    void SelectInPane(int from, int to) {
        QTextCursor c(form->RichEdit1->document());
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        form->RichEdit1->setTextCursor(c);
    }
    void PressPane(Qt::MouseButton button) {
        QTest::mousePress(form->RichEdit1->viewport(), button, {}, QPoint(20, 10));
        QTest::mouseRelease(form->RichEdit1->viewport(), button, {}, QPoint(20, 10));
    }
};

TEST_F(ContextPaneTest, TenLinesAroundTheSecondTextsCaretLine) {
    form->Memo1->setPlainText(QStringLiteral("m0\nm1\nm2\nm3\nm4\nm5\nm6\nm7\nm8\nm9"));
    form->Memo2->setPlainText(QStringLiteral("t0\nt1\nt2\nt3\nt4\nt5\nt6\nt7\nt8\nt9"));

    ClickLine(form->Memo2, 0);
    EXPECT_EQ(PaneLines(), (QStringList{"!m0", "m1", "m2"}));
    ClickLine(form->Memo2, 2);
    EXPECT_EQ(PaneLines(), (QStringList{"m1", "!m2", "m3", "m4"}));
    ClickLine(form->Memo2, 8);
    EXPECT_EQ(PaneLines(), (QStringList{"m6", "m7", "!m8"}));
    ClickLine(form->Memo2, 9);
    EXPECT_EQ(PaneLines(), (QStringList{"m7", "m8", "!m9"}));
    ClickLine(form->Memo2, 5);
    EXPECT_EQ(PaneLines(), (QStringList{"m3", "m4", "!m5", "m6", "m7"}));
}

TEST_F(ContextPaneTest, TrailingLineBreakIsNotALine) {
    form->Memo1->setPlainText(QStringLiteral("m0\nm1\nm2\nm3\nm4\nm5\nm6\nm7\nm8\nm9\nm10"));
    form->Memo2->setPlainText(QStringLiteral("t0\nt1\nt2\nt3\nt4\nt5\nt6\nt7\nt8\nt9\n"));
    ClickLine(form->Memo2, 8);
    EXPECT_EQ(PaneLines(), (QStringList{"m6", "m7", "!m8"}));
    ClickLine(form->Memo2, 7);
    EXPECT_EQ(PaneLines(), (QStringList{"m5", "m6", "!m7", "m8"}));
}

TEST_F(ContextPaneTest, SecondTextLongerThanTheFirstShowsEmptyLines) {
    form->Memo1->setPlainText(QStringLiteral("m0\nm1"));
    form->Memo2->setPlainText(QStringLiteral("t0\nt1\nt2\nt3\nt4\nt5"));
    ClickLine(form->Memo2, 3);
    EXPECT_EQ(PaneLines(), (QStringList{"m1", "", "!", ""}));
}

TEST_F(ContextPaneTest, OnlyALeftReleaseFillsThePane) {
    form->Memo1->setPlainText(QStringLiteral("m0\nm1\nm2"));
    form->Memo2->setPlainText(QStringLiteral("t0\nt1\nt2"));
    ClickLine(form->Memo2, 1);
    const QStringList shown = PaneLines();
    ClickRow(form->Memo2, 2, Qt::RightButton);
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    EXPECT_EQ(PaneLines(), shown);
    // Line 0 and line N - 1 never serve as context.
    EXPECT_EQ(shown, (QStringList{"!m1"}));
}

TEST_F(ContextPaneTest, RightPressCopiesSelectionThenTypesTheChord) {
    form->RichEdit1->setPlainText(QStringLiteral("first line\nsecond line"));
    SelectInPane(6, 17);
    QApplication::clipboard()->setText(QStringLiteral("before"));
    PressPane(Qt::RightButton);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("line\nsecond"));
    const std::vector<TKeyEvent> expected{
        {TKey::LeftControl, true}, {TKey::C, true},  {TKey::C, false},
        {TKey::C, true},           {TKey::C, false}, {TKey::LeftControl, false},
    };
    EXPECT_EQ(keys.Sent, expected);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(ContextPaneTest, AQuickSecondRightPressCopiesAndTypesAgain) {
    form->RichEdit1->setPlainText(QStringLiteral("first line"));
    SelectInPane(0, 5);
    PressPane(Qt::RightButton);
    // The second press of a double click reaches the editor as a double-click event only.
    QTest::mouseDClick(form->RichEdit1->viewport(), Qt::RightButton, {}, QPoint(20, 10));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("first"));
    EXPECT_EQ(keys.Sent.size(), 12u);
}

TEST_F(ContextPaneTest, RightPressWithoutSelectionChangesNothing) {
    form->RichEdit1->setPlainText(QStringLiteral("some text"));
    QApplication::clipboard()->setText(QStringLiteral("before"));
    PressPane(Qt::RightButton);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
    EXPECT_TRUE(keys.Sent.empty());
}

TEST_F(ContextPaneTest, LeftPressWithSelectionChangesNothing) {
    form->RichEdit1->setPlainText(QStringLiteral("some text"));
    SelectInPane(0, 4);
    QApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::mousePress(form->RichEdit1->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
    QTest::mouseRelease(form->RichEdit1->viewport(), Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
    EXPECT_TRUE(keys.Sent.empty());
}

}  // namespace
