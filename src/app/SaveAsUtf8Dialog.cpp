#include "SaveAsUtf8Dialog.h"

#include <QMessageBox>
#include <QPushButton>

bool AskSaveAsUtf8(QWidget* parent, const QString& question) {
    if (SaveAsUtf8DialogOverride) return SaveAsUtf8DialogOverride(question);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Sorvelle"), question, QMessageBox::NoButton,
                    parent);
    QPushButton* utf8 = box.addButton(QStringLiteral("Save as UTF-8"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == utf8;
}
