#pragma once
// Mouse button and shift state as the handlers take them: the button that changed, and the
// modifier keys and buttons held at the moment of the event.

#include <QMouseEvent>
#include <cstdint>

// mbOther: side buttons, which no handler acts on.
enum TMouseButton { mbLeft, mbRight, mbMiddle, mbOther };

enum TShiftFlag : uint32_t {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
    ssDouble = 1u << 6,
};
using TShiftState = uint32_t;

inline TMouseButton MouseButtonOf(const QMouseEvent* e) {
    switch (e->button()) {
        case Qt::RightButton:
            return mbRight;
        case Qt::MiddleButton:
            return mbMiddle;
        case Qt::LeftButton:
            return mbLeft;
        default:
            return mbOther;
    }
}

// For a press the pressed button is among the buttons held; for a release it is not.
inline TShiftState ShiftStateOf(const QMouseEvent* e) {
    TShiftState s = 0;
    const Qt::KeyboardModifiers m = e->modifiers();
    if (m & Qt::ShiftModifier) s |= ssShift;
    if (m & Qt::AltModifier) s |= ssAlt;
    if (m & Qt::ControlModifier) s |= ssCtrl;
    const Qt::MouseButtons b = e->buttons();
    if (b & Qt::LeftButton) s |= ssLeft;
    if (b & Qt::RightButton) s |= ssRight;
    if (b & Qt::MiddleButton) s |= ssMiddle;
    if (e->type() == QEvent::MouseButtonDblClick) s |= ssDouble;
    return s;
}
