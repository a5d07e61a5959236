#include "WindowTest.h"

#include <QScrollBar>
#include <QTextBlock>

#include "SaveAsUtf8Dialog.h"

void WindowTest::SetUp() {
    FreshStateTest::SetUp();
    ASSERT_TRUE(dir.isValid());
    ExceptionDialogOverride = [this](const QString& message) { messages << message; };
    SaveChangesDialogOverride = [this] {
        ++questions;
        return answer;
    };
    KeyboardInputOverride = &keys;
    // A real "Save it as UTF-8?" box would wait for a click no test gives: declined, and recorded.
    SaveAsUtf8DialogOverride = [this](const QString& question) {
        messages << question;
        return false;
    };
    form = std::make_unique<TAddItemsForm>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
}

void WindowTest::TearDown() {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    form.reset();
    FreshStateTest::TearDown();
}

void WindowTest::DialogAnswers(const QString& file) {
    TOpenDialog::ExecuteOverride = [this, file](TOpenDialog& dialog) {
        filtersSeen << dialog.Filter;
        if (file.isEmpty()) return false;
        dialog.FileName = file;
        return true;
    };
}

void WindowTest::Click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
    QApplication::processEvents();
}

void WindowTest::Open(const QString& file) {
    DialogAnswers(file);
    Click(form->OpenBtn);
}

void WindowTest::ShowAllPanes() {
    Click(form->SpeedButton6);
    Click(form->SpeedButton7);
}

void WindowTest::ClickRow(TMemo* memo, int row, Qt::MouseButton button, Qt::KeyboardModifiers mods) {
    QTest::mouseClick(memo->viewport(), button, mods, memo->ViewportFromClient(QPoint(30, 12 * row + 5)));
}

void WindowTest::ClickLine(TMemo* memo, int line) {
    memo->verticalScrollBar()->setValue(std::max(0, line - 2));
    QApplication::processEvents();
    ClickRow(memo, line - memo->verticalScrollBar()->value());
    EXPECT_EQ(CaretLine(memo), line);
}

void WindowTest::PutCaretOnLine(int line) {
    form->Memo1->setTextCursor(QTextCursor(form->Memo1->document()->findBlockByNumber(line)));
}

QStringList WindowTest::ListRows() const {
    QStringList rows;
    for (int i = 0; i < form->ListBox1->count(); ++i) rows << form->ListBox1->item(i)->text();
    return rows;
}
