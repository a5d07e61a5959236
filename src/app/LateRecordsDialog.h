#pragma once
// The warning before a save that cannot keep every record: lines from 500 on own records in
// memory only (inserted lines pushed them there), and the segment table holds 500.

#include <QString>
#include <QWidget>
#include <functional>

// "Lines from 500 on have no record: ..." with the number of such lines.
QString LateRecordsMessage(int lines);

// A message box titled "Sorvelle" with "Save" and "Cancel"; true for Save. Closing the box
// without a choice is Cancel.
bool AskSaveWithoutLateRecords(QWidget* parent, int lines);

// When set, AskSaveWithoutLateRecords calls this with the message instead of showing a box
// (tests answer for the user).
inline std::function<bool(const QString&)> LateRecordsDialogOverride;
