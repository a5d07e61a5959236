// Pasting into the three editors while the clipboard holds nothing at all.
#include <QAction>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <memory>

#include "WindowTest.h"

namespace {

class PasteTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        ShowAllPanes();
        form->Memo1->setPlainText(QStringLiteral("one"));
        form->Memo2->setPlainText(QStringLiteral("two"));
        form->RichEdit1->setPlainText(QStringLiteral("three"));
    }

    // Ctrl+V, then the Paste of the editor's own menu.
    static void PasteInto(QWidget* editor) {
        editor->setFocus();
        QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
        std::unique_ptr<QMenu> menu;
        if (auto* memo = qobject_cast<QPlainTextEdit*>(editor)) menu.reset(memo->createStandardContextMenu());
        if (auto* rich = qobject_cast<QTextEdit*>(editor)) menu.reset(rich->createStandardContextMenu());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions()) {
            if (action->objectName() == QLatin1String("edit-paste")) action->trigger();
        }
    }

    QStringList Texts() const {
        return {form->Memo1->toPlainText(), form->Memo2->toPlainText(), form->RichEdit1->toPlainText()};
    }
};

TEST_F(PasteTest, AnEmptyClipboardPastesNothingAndTextStillPastes) {
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    const QMimeData* data = clipboard->mimeData();
    ASSERT_TRUE(data == nullptr || !data->hasText());
    for (QWidget* editor : std::initializer_list<QWidget*>{form->Memo1, form->Memo2, form->RichEdit1}) {
        PasteInto(editor);
    }
    EXPECT_EQ(Texts(), (QStringList{"one", "two", "three"}));
    // What the X11 clipboard hands over when nobody owns it: no data at all, or data without text.
    const QMimeData empty;
    for (const QMimeData* source : {static_cast<const QMimeData*>(nullptr), &empty}) {
        EXPECT_FALSE(form->Memo1->canInsertFromMimeData(source));
        EXPECT_FALSE(form->RichEdit1->canInsertFromMimeData(source));
        form->Memo1->insertFromMimeData(source);
        form->Memo2->insertFromMimeData(source);
        form->RichEdit1->insertFromMimeData(source);
    }
    EXPECT_EQ(Texts(), (QStringList{"one", "two", "three"}));

    clipboard->setText(QStringLiteral("+"));
    for (QWidget* editor : std::initializer_list<QWidget*>{form->Memo1, form->Memo2, form->RichEdit1}) {
        QTest::keyClick(editor, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    }
    EXPECT_EQ(Texts(), (QStringList{"one+", "two+", "three+"}));
}

}  // namespace
