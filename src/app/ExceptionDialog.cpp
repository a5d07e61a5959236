#include "ExceptionDialog.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>
#include <new>

QString ExceptionText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.')) return message + QLatin1Char('.');
    return message;
}

void ShowException(const QString& message) {
    if (ExceptionDialogOverride) {
        ExceptionDialogOverride(ExceptionText(message));
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Sorvelle"), ExceptionText(message),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::bad_alloc&) {
        ShowException(QStringLiteral("Out of memory"));
    } catch (const std::exception& e) {
        ShowException(QString::fromUtf8(e.what()));
    } catch (...) {
        // Nothing may unwind into the event loop; an exception of no known kind still ends only
        // its handler.
        ShowException(QStringLiteral("Unknown error"));
    }
}
