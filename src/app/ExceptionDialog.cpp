#include "ExceptionDialog.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>
#include <new>

#include "HandlerInputGate.h"

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

void ShowExceptionsOf(const std::function<void()>& work) {
    try {
        work();
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

namespace {
bool handlerRunning = false;
}  // namespace

bool HandlerRunning() { return handlerRunning; }

bool RunHandler(const std::function<void()>& handler) {
    if (handlerRunning) return false;
    handlerRunning = true;
    struct TEnd {
        ~TEnd() { handlerRunning = false; }
    } end;
    // The exception dialog is part of the handler: input stays dropped until it is closed.
    THandlerInputGate gate;
    ShowExceptionsOf(handler);
    return true;
}
