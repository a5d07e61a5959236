#pragma once
// The questions and notices about unsaved work found after a crash, and about a project that is
// open in another window.

#include <QString>
#include <QWidget>
#include <functional>

enum class TRestoreAnswer { Restore, Discard };

// "Unsaved work on NAME from TIME was found. Restore it?" in a box titled "Sorvelle" with
// "Restore" (the default) and "Discard". Closing the box without a choice restores: the work
// then shows as unsaved changes, and nothing is lost either way.
TRestoreAnswer AskRestore(QWidget* parent, const QString& question);

// The changes of a window whose project is open in another window cannot be saved: Discard or
// Cancel (the default); true for Discard.
bool AskDiscardUnsavable(QWidget* parent, const QString& question);

// A message box titled "Sorvelle". A modal one waits for OK; the other stays on screen beside the
// window without holding it (for what a timer finds).
void ShowRecoveryNotice(QWidget* parent, const QString& message, bool modal);

// When set, these are called instead of showing a box (tests answer for the user).
inline std::function<TRestoreAnswer(const QString& question)> RestoreDialogOverride;
inline std::function<bool(const QString& question)> DiscardUnsavableDialogOverride;
inline std::function<void(const QString& message)> RecoveryNoticeOverride;
