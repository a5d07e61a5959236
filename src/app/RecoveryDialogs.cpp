#include "RecoveryDialogs.h"

#include <QMessageBox>
#include <QPushButton>

TRestoreAnswer AskRestore(QWidget* parent, const QString& question) {
    if (RestoreDialogOverride) return RestoreDialogOverride(question);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Sorvelle"), question, QMessageBox::NoButton,
                    parent);
    QPushButton* restore = box.addButton(QStringLiteral("Restore"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QStringLiteral("Discard"), QMessageBox::DestructiveRole);
    box.setDefaultButton(restore);
    box.setEscapeButton(restore);
    box.exec();
    return box.clickedButton() == discard ? TRestoreAnswer::Discard : TRestoreAnswer::Restore;
}

bool AskDiscardUnsavable(QWidget* parent, const QString& question) {
    if (DiscardUnsavableDialogOverride) return DiscardUnsavableDialogOverride(question);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Sorvelle"), question,
                    QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Discard;
}

void ShowRecoveryNotice(QWidget* parent, const QString& message, bool modal) {
    if (RecoveryNoticeOverride) return RecoveryNoticeOverride(message);
    if (modal) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Sorvelle"), message, QMessageBox::Ok, parent);
        box.exec();
        return;
    }
    auto* box =
        new QMessageBox(QMessageBox::Warning, QStringLiteral("Sorvelle"), message, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}
