#pragma once
// The common file-open dialog. Filter uses the "description|masks|description|masks" form with
// masks separated by ';'. A typed name of a file that does not exist is accepted.

#include <QString>
#include <QWidget>
#include <functional>

class TOpenDialog {
  public:
    explicit TOpenDialog(QWidget* owner) : owner_(owner) {}

    QString Filter;
    QString InitialDir = QStringLiteral(".");
    QString FileName;

    // Runs the dialog; true when the user chose a file, whose path is then in FileName.
    bool Execute();

    // The filter in Qt's "description (masks);;..." form.
    static QString QtFilter(const QString& filter);

    // When set, Execute calls this instead of showing a dialog (tests stand in for the user).
    static inline std::function<bool(TOpenDialog&)> ExecuteOverride;

  private:
    QWidget* owner_;
};
