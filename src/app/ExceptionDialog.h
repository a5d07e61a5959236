#pragma once
// The application-wide exception dialog, and the guard that ends a handler at its exception.

#include <QString>
#include <functional>

// The text shown for an exception's message: a "." is appended when its last character sorts
// after ".".
QString ExceptionText(const QString& message);

// Shows a message box titled "Sorvelle" with an error icon and the message.
void ShowException(const QString& message);

// When set, ShowException calls this instead of showing a box (tests record the messages).
inline std::function<void(const QString&)> ExceptionDialogOverride;

// Runs work; an exception it lets out ends it and is shown, and the window stays usable. No
// guard: for the application's own event delivery and for painting, which only shows what the
// handlers drew.
void ShowExceptionsOf(const std::function<void()>& work);

// Runs the handler of a user action to its end before any other starts: while it runs, user
// input for the windows open when it began is dropped (dialogs it opens itself still get
// theirs), and a handler reached by any other route (an event loop that a library runs inside
// it, a click made by code) is dropped. An exception ends the handler and is shown. False when
// the handler was dropped.
bool RunHandler(const std::function<void()>& handler);

// True while RunHandler runs a handler.
bool HandlerRunning();
