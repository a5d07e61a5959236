#pragma once
// The question asked before a text read as Windows-1251 is saved as UTF-8, because Windows-1251
// cannot hold it or its bytes would be read back as other letters.

#include <QString>
#include <QWidget>
#include <functional>

// A message box titled "Sorvelle" with "Save as UTF-8" and "Cancel"; true for "Save as UTF-8".
// Closing the box without a choice is Cancel.
bool AskSaveAsUtf8(QWidget* parent, const QString& question);

// When set, AskSaveAsUtf8 calls this with the question instead of showing a box (tests answer for
// the user).
inline std::function<bool(const QString& question)> SaveAsUtf8DialogOverride;
