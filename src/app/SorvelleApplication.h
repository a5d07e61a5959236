#pragma once
// The application object: an exception that escapes an event's handling is shown in the
// exception dialog instead of ending the program.

#include <QApplication>

class SorvelleApplication : public QApplication {
  public:
    SorvelleApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
