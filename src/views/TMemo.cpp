#include "TMemo.h"

#include <QScrollBar>
#include <QTextBlock>

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void TMemo::mouseReleaseEvent(QMouseEvent* e) {
    QPlainTextEdit::mouseReleaseEvent(e);
    if (OnMouseUp) {
        const QPoint p = e->position().toPoint();
        OnMouseUp(this, MouseButtonOf(e), ShiftStateOf(e), p.x(), p.y());
    }
}

int CaretLine(const QPlainTextEdit* memo) { return memo->textCursor().blockNumber(); }
