#include "TPaintBox.h"

#include <QPaintEvent>

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
