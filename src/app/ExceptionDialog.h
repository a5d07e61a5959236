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

// Runs a handler; an exception ends it and is shown, and the window stays usable.
void RunHandler(const std::function<void()>& handler);
