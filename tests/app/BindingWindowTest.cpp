#include "BindingWindowTest.h"

#include <QListWidget>
#include <QScrollBar>

void BindingWindowTest::SetUp() {
    FreshStateTest::SetUp();
    ExceptionDialogOverride = [this](const QString& m) { messages << m; };
    KeyboardInputOverride = &keys;
    form = std::make_unique<TAddItemsForm>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
}

void BindingWindowTest::TearDown() {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    form.reset();
    KeyboardInputOverride = nullptr;
    ExceptionDialogOverride = nullptr;
    FreshStateTest::TearDown();
}

void BindingWindowTest::ShowAllPanes() {
    QTest::mouseClick(form->SpeedButton6, Qt::LeftButton);
    QTest::mouseClick(form->SpeedButton7, Qt::LeftButton);
    QApplication::processEvents();
}

void BindingWindowTest::ClickRow(TMemo* memo, int row, Qt::MouseButton button, Qt::KeyboardModifiers mods) {
    QTest::mouseClick(memo->viewport(), button, mods, memo->ViewportFromClient(QPoint(30, 12 * row + 5)));
}

void BindingWindowTest::ClickLine(TMemo* memo, int line) {
    memo->verticalScrollBar()->setValue(std::max(0, line - 2));
    QApplication::processEvents();
    ClickRow(memo, line - memo->verticalScrollBar()->value());
    EXPECT_EQ(CaretLine(memo), line);
}

QStringList BindingWindowTest::ListRows() const {
    QStringList rows;
    for (int i = 0; i < form->ListBox1->count(); ++i) rows << form->ListBox1->item(i)->text();
    return rows;
}
