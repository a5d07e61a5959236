#pragma once
// A real window for every test, with the dialogs answered by the test: the file dialog returns
// a chosen name (or is cancelled), error messages are recorded, and "Save changes?" is answered.

#include <gtest/gtest.h>

#include <QApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <ostream>

#include "ExceptionDialog.h"
#include "SaveChangesDialog.h"
#include "TAddItemsForm.h"
#include "TestSupport.h"

inline void PrintTo(const QRect& r, std::ostream* os) {
    *os << r.x() << ", " << r.y() << ", " << r.width() << " x " << r.height();
}

class WindowTest : public FreshStateTest {
protected:
    QTemporaryDir dir;
    std::unique_ptr<TAddItemsForm> form;
    QStringList messages;       // what the exception dialog showed
    QStringList filtersSeen;    // the file dialog's filter each time it ran
    int questions = 0;          // how often "Save changes?" was asked
    TSaveChangesAnswer answer = TSaveChangesAnswer::Cancel;

    void SetUp() override {
        FreshStateTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        ExceptionDialogOverride = [this](const QString& message) { messages << message; };
        SaveChangesDialogOverride = [this] {
            ++questions;
            return answer;
        };
        form = std::make_unique<TAddItemsForm>();
        form->show();
        QApplication::processEvents();
    }

    void TearDown() override {
        form.reset();
        ExceptionDialogOverride = nullptr;
        SaveChangesDialogOverride = nullptr;
        TOpenDialog::ExecuteOverride = nullptr;
        FreshStateTest::TearDown();
    }

    QString Path(const QString& name) const { return dir.filePath(name); }

    // The file dialog returns `file`; an empty name cancels it.
    void DialogAnswers(const QString& file) {
        TOpenDialog::ExecuteOverride = [this, file](TOpenDialog& dialog) {
            filtersSeen << dialog.Filter;
            if (file.isEmpty()) return false;
            dialog.FileName = file;
            return true;
        };
    }

    void Click(QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        QApplication::processEvents();
    }

    void Open(const QString& file) {
        DialogAnswers(file);
        Click(form->OpenBtn);
    }

    void Save() { Click(form->SaveBtn); }
};
