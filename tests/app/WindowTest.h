#pragma once
// The one window fixture: a fresh editor world, a real window shown in the designed layout, and
// the dialogs answered by the test: the file dialog returns a chosen name (or is cancelled),
// error messages are recorded, "Save changes?" is answered, synthetic keys are recorded.

#include <gtest/gtest.h>

#include <QApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <ostream>

#include "ExceptionDialog.h"
#include "KeyboardInput.h"
#include "SaveChangesDialog.h"
#include "TAddItemsForm.h"
#include "TestSupport.h"

// Readable failure messages.
inline void PrintTo(const QRect& r, std::ostream* os) {
    *os << r.x() << ", " << r.y() << ", " << r.width() << " x " << r.height();
}
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

class WindowTest : public FreshStateTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    QString Path(const QString& name) const { return dir.filePath(name); }

    // The file dialog returns `file`; an empty name cancels it.
    void DialogAnswers(const QString& file);
    // A left click on a button, and the repaints it asked for.
    void Click(QAbstractButton* button);
    void Open(const QString& file);
    void Save() { Click(form->SaveBtn); }

    // Both toggles down: every pane in view, Memo1 126 pixels high (8 list rows).
    void ShowAllPanes();
    // A click in row `row` of a memo, a few pixels into the row.
    void ClickRow(TMemo* memo,
                  int row,
                  Qt::MouseButton button = Qt::LeftButton,
                  Qt::KeyboardModifiers mods = {});
    // A left click on `line` of a memo, scrolled first so that the line is in view.
    void ClickLine(TMemo* memo, int line);
    // The caret on the start of `line` of Memo1, as the keyboard would put it.
    void PutCaretOnLine(int line);
    QStringList ListRows() const;

    QTemporaryDir dir;
    std::unique_ptr<TAddItemsForm> form;
    QStringList messages;     // what the exception dialog showed
    QStringList filtersSeen;  // the file dialog's filter each time it ran
    int questions = 0;        // how often "Save changes?" was asked
    TSaveChangesAnswer answer = TSaveChangesAnswer::Cancel;
    TRecordingKeyboardInput keys;  // the synthetic keys sent
};
