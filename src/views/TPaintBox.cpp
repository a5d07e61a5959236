#include "TPaintBox.h"

#include <QPaintEvent>
#include <QWheelEvent>

TPaintBox::TPaintBox(QWidget* parent, const QColor& color)
    : QWidget(parent), Color(color.isValid() ? color : palette().color(QPalette::Window)) {}

void TPaintBox::paintEvent(QPaintEvent* e) {
    (void)e;
    if (!OnPaint) return;
    QPainter painter(this);
    canvas_ = &painter;
    // A handler's exception must not leave a dangling canvas behind.
    struct Reset {
        QPainter*& c;
        ~Reset() { c = nullptr; }
    } reset{canvas_};
    OnPaint(this);
}

void TPaintBox::mousePressEvent(QMouseEvent* e) {
    if (OnMouseDown) {
        const QPoint p = e->position().toPoint();
        OnMouseDown(this, MouseButtonOf(e), ShiftStateOf(e), p.x(), p.y());
    }
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* e) {
    if (OnMouseUp) {
        const QPoint p = e->position().toPoint();
        OnMouseUp(this, MouseButtonOf(e), ShiftStateOf(e), p.x(), p.y());
    }
}

void TPaintBox::wheelEvent(QWheelEvent* e) {
    if (!OnMouseWheel) {
        QWidget::wheelEvent(e);
        return;
    }
    const QPoint turn = e->angleDelta().isNull() ? e->pixelDelta() : e->angleDelta();
    TShiftState s = 0;
    const Qt::KeyboardModifiers m = e->modifiers();
    if (m & Qt::ShiftModifier) s |= ssShift;
    if (m & Qt::AltModifier) s |= ssAlt;
    if (m & Qt::ControlModifier) s |= ssCtrl;
    const QPoint p = e->position().toPoint();
    OnMouseWheel(this, s, turn.x(), turn.y(), p.x(), p.y());
    e->accept();
}
