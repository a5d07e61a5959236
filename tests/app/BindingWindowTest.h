#pragma once
// A shown window in the designed layout, and clicks on its memos at real row positions.

#include <QApplication>
#include <QTest>
#include <ostream>

#include "ExceptionDialog.h"
#include "KeyboardInput.h"
#include "TAddItemsForm.h"
#include "TestSupport.h"

// Readable failure messages for texts.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

class BindingWindowTest : public FreshStateTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Both toggles down: every pane in view, Memo1 126 pixels high (8 list rows).
    void ShowAllPanes();
    // A click in row `row` of a memo, a few pixels into the row.
    void ClickRow(TMemo* memo,
                  int row,
                  Qt::MouseButton button = Qt::LeftButton,
                  Qt::KeyboardModifiers mods = {});
    // A left click on `line` of a memo, scrolled first so that the line is in view.
    void ClickLine(TMemo* memo, int line);
    QStringList ListRows() const;

    std::unique_ptr<TAddItemsForm> form;
    QStringList messages;
    TRecordingKeyboardInput keys;
};
