#include "SaveChangesDialog.h"

#include <QMessageBox>

TSaveChangesAnswer AskSaveChanges(QWidget* parent) {
    if (SaveChangesDialogOverride) return SaveChangesDialogOverride();
    QMessageBox box(QMessageBox::Question, QStringLiteral("Sorvelle"), QStringLiteral("Save changes?"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
        case QMessageBox::Save:
            return TSaveChangesAnswer::Save;
        case QMessageBox::Discard:
            return TSaveChangesAnswer::Discard;
        default:
            return TSaveChangesAnswer::Cancel;
    }
}
