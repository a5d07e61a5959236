#include "SorvelleApplication.h"

#include "ExceptionDialog.h"

SorvelleApplication::SorvelleApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Sorvelle"));
    setApplicationDisplayName(QStringLiteral("Sorvelle"));
}

bool SorvelleApplication::notify(QObject* receiver, QEvent* event) {
    bool result = false;
    ShowExceptionsOf([&] { result = QApplication::notify(receiver, event); });
    return result;
}
