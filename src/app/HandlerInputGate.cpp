#include "HandlerInputGate.h"

#include <QApplication>
#include <QWindow>

THandlerInputGate::THandlerInputGate() {
    for (QWidget* window : QApplication::topLevelWidgets()) windows_.append(window);
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

THandlerInputGate::~THandlerInputGate() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

bool THandlerInputGate::IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::NonClientAreaMouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::NativeGesture:
        case QEvent::Gesture:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::DragLeave:
        case QEvent::Drop:
            return true;
        default:
            return false;
    }
}

bool THandlerInputGate::Blocked(QObject* receiver) const {
    if (receiver == nullptr) return false;
    const QWidget* window = nullptr;
    if (receiver->isWidgetType()) {
        window = static_cast<QWidget*>(receiver)->window();
    } else if (receiver->isWindowType()) {
        // Input reaches a window's QWindow first and its widgets after.
        for (const QPointer<QWidget>& known : windows_) {
            if (known && known->windowHandle() == receiver) return true;
        }
        return false;
    } else {
        return false;
    }
    for (const QPointer<QWidget>& known : windows_) {
        if (known == window) return true;
    }
    return false;
}

bool THandlerInputGate::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::Close && Blocked(watched)) {
        // A close event is accepted unless refused: the window stays.
        event->ignore();
        return true;
    }
    if (IsUserInput(type) && Blocked(watched)) {
        event->accept();
        return true;
    }
    return false;
}
