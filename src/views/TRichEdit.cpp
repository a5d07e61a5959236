#include "TRichEdit.h"

TRichEdit::TRichEdit(QWidget* parent) : QTextEdit(parent) {}

void TRichEdit::mousePressEvent(QMouseEvent* e) {
    if (OnMouseDown) {
        const QPoint p = e->position().toPoint();
        OnMouseDown(this, MouseButtonOf(e), ShiftStateOf(e), p.x(), p.y());
    }
    QTextEdit::mousePressEvent(e);
}
