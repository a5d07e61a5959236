#include "TOpenDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QStringList>

QString TOpenDialog::QtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString masks = parts[i + 1];
        masks.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries << QStringLiteral("%1 (%2)").arg(parts[i], masks);
    }
    return entries.join(QStringLiteral(";;"));
}

bool TOpenDialog::Execute() {
    if (ExecuteOverride) return ExecuteOverride(*this);
    QFileDialog dialog(owner_);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilter(QtFilter(Filter));
    dialog.setDirectory(QDir(InitialDir).absolutePath());
    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return false;
    FileName = files.first();
    return true;
}
