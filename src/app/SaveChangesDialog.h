#pragma once
// The question asked before a project with unsaved changes is dropped (the window closes, or
// another project is opened): "Save changes?" with Save, Discard and Cancel.

#include <QWidget>
#include <functional>

enum class TSaveChangesAnswer { Save, Discard, Cancel };

// A message box titled "Sorvelle"; closing the box without a choice is Cancel.
TSaveChangesAnswer AskSaveChanges(QWidget* parent);

// When set, AskSaveChanges calls this instead of showing a box (tests answer for the user).
inline std::function<TSaveChangesAnswer()> SaveChangesDialogOverride;
