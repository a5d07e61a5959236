#include "TRichEdit.h"

#include <QMimeData>

TRichEdit::TRichEdit(QWidget* parent) : QTextEdit(parent) {}

void TRichEdit::ReportPress(QMouseEvent* e) {
    if (OnMouseDown) {
        const QPoint p = e->position().toPoint();
        OnMouseDown(this, MouseButtonOf(e), ShiftStateOf(e), p.x(), p.y());
    }
}

void TRichEdit::mousePressEvent(QMouseEvent* e) {
    ReportPress(e);
    QTextEdit::mousePressEvent(e);
}

void TRichEdit::mouseDoubleClickEvent(QMouseEvent* e) {
    ReportPress(e);
    QTextEdit::mouseDoubleClickEvent(e);
}

bool TRichEdit::canInsertFromMimeData(const QMimeData* source) const {
    return source != nullptr && (source->hasText() || source->hasHtml()) &&
           QTextEdit::canInsertFromMimeData(source);
}

void TRichEdit::insertFromMimeData(const QMimeData* source) {
    if (canInsertFromMimeData(source)) QTextEdit::insertFromMimeData(source);
}
