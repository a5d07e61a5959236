#pragma once
// While a handler runs, user input for the windows that were open when it began is dropped, so
// that no click or key starts another handler in the middle of it, whatever event loop a library
// runs inside the handler. Dialogs the handler opens itself are new windows and get their input.

#include <QEvent>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

class THandlerInputGate : public QObject {
  public:
    // Watches the whole application from here to the destructor.
    THandlerInputGate();
    ~THandlerInputGate() override;
    THandlerInputGate(const THandlerInputGate&) = delete;
    THandlerInputGate& operator=(const THandlerInputGate&) = delete;

    // Input from the user: mouse, wheel, keys, touch, tablet, drag and drop, context menus.
    static bool IsUserInput(QEvent::Type type);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool Blocked(QObject* receiver) const;

    QList<QPointer<QWidget>> windows_;  // the top-level widgets open when the handler began
};
