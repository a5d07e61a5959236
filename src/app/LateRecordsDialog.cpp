#include "LateRecordsDialog.h"

#include <QMessageBox>

QString LateRecordsMessage(int lines) {
    return QString::asprintf(
        "Lines from 500 on have no record: the segments of %d lines from line 500 on will not be saved.",
        lines);
}

bool AskSaveWithoutLateRecords(QWidget* parent, int lines) {
    const QString message = LateRecordsMessage(lines);
    if (LateRecordsDialogOverride) return LateRecordsDialogOverride(message);
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Sorvelle"), message,
                    QMessageBox::Save | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Save;
}
