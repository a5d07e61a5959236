#include "TImage.h"

#include <QPainter>

TImage::TImage(QWidget* parent) : QWidget(parent) {
    // Qt grabs the mouse for the widget that got the press until the last button is released.
    setAttribute(Qt::WA_TranslucentBackground);
}

void TImage::paintEvent(QPaintEvent*) {
    if (Picture.isNull()) return;
    QPainter p(this);
    p.drawImage(0, 0, Picture);
}

void TImage::mousePressEvent(QMouseEvent* e) {
    if (OnMouseDown) {
        const QPoint p = e->position().toPoint();
        OnMouseDown(this, MouseButtonOf(e), ShiftStateOf(e), p.x(), p.y());
    }
}

void TImage::mouseMoveEvent(QMouseEvent* e) {
    if (OnMouseMove) {
        const QPoint p = e->position().toPoint();
        OnMouseMove(this, ShiftStateOf(e), p.x(), p.y());
    }
}

void TImage::mouseReleaseEvent(QMouseEvent* e) {
    if (OnMouseUp) {
        const QPoint p = e->position().toPoint();
        OnMouseUp(this, MouseButtonOf(e), ShiftStateOf(e), p.x(), p.y());
    }
}
