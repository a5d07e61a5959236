#include "TMemo.h"

#include <QContextMenuEvent>
#include <QEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <cmath>

#include "LineBinding.h"

namespace {

// The pixel row above the text: it keeps the first row at client Y = 1 also when scrolled.
constexpr int TopGap = 1;

}  // namespace

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The document margin would shift only the first line; the viewport margin shifts every row.
    document()->setDocumentMargin(0);
    setViewportMargins(0, TopGap, 0, 0);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    FitRows();
}

QPoint TMemo::ClientFromViewport(QPoint p) const {
    return p + viewport()->geometry().topLeft() - contentsRect().topLeft();
}

QPoint TMemo::ViewportFromClient(QPoint p) const {
    return p - viewport()->geometry().topLeft() + contentsRect().topLeft();
}

void TMemo::changeEvent(QEvent* e) {
    QPlainTextEdit::changeEvent(e);
    // The editor hands its font to the document here; the document gets the fitted one instead.
    if (e->type() == QEvent::FontChange) FitRows();
}

void TMemo::FitRows() { document()->setDefaultFont(RowFittedFont(font(), MemoRowHeight, this)); }

void TMemo::contextMenuEvent(QContextMenuEvent* e) {
    e->accept();
    if (e->reason() == QContextMenuEvent::Mouse) return;
    // Not exec(), as for the mouse: no nested loop inside a key's handling.
    QMenu* menu = createStandardContextMenu(e->pos());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (OnMenu) OnMenu(menu);
    menu->popup(e->globalPos());
}

void TMemo::mouseReleaseEvent(QMouseEvent* e) {
    QPlainTextEdit::mouseReleaseEvent(e);
    if (OnMouseUp) {
        const QPoint p = ClientFromViewport(e->position().toPoint());
        OnMouseUp(this, MouseButtonOf(e), ShiftStateOf(e), p.x(), p.y());
    }
    if (e->button() == Qt::RightButton && contextMenuPolicy() == Qt::DefaultContextMenu) {
        // Not exec(): a nested loop here would hold the release's handler open.
        QMenu* menu = createStandardContextMenu(e->position().toPoint());
        menu->setAttribute(Qt::WA_DeleteOnClose);
        if (OnMenu) OnMenu(menu);
        menu->popup(e->globalPosition().toPoint());
    }
}

bool TMemo::canInsertFromMimeData(const QMimeData* source) const {
    return source != nullptr && source->hasText();
}

void TMemo::insertFromMimeData(const QMimeData* source) {
    if (canInsertFromMimeData(source)) QPlainTextEdit::insertFromMimeData(source);
}

int CaretLine(const QPlainTextEdit* memo) {
    const QTextCursor cursor = memo->textCursor();
    return memo->document()->findBlock(cursor.selectionEnd()).blockNumber();
}

int TextLineHeight(const QFont& font, QPaintDevice* device) {
    // Measured as the plain-text editor lays out a line: leading included, rounded up.
    QTextLayout layout(QStringLiteral("Xg"), font, device);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLeadingIncluded(true);
    line.setLineWidth(1000.0);
    layout.endLayout();
    return int(std::ceil(line.height()));
}

QFont RowFittedFont(const QFont& font, int rowHeight, QPaintDevice* device) {
    if (TextLineHeight(font, device) == rowHeight) return font;
    const int startPixels = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    QFont fitted = font;
    // Whole pixel sizes draw crisper; sixteenths of a pixel catch a font whose height steps over
    // the row height between two whole sizes.
    for (int pixels = startPixels; pixels > 0; --pixels) {
        fitted.setPixelSize(pixels);
        if (TextLineHeight(fitted, device) == rowHeight) return fitted;
    }
    const double dpi = device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96.0;
    for (int sixteenths = startPixels * 16; sixteenths > 0; --sixteenths) {
        fitted.setPointSizeF(sixteenths / 16.0 * 72.0 / dpi);
        if (TextLineHeight(fitted, device) == rowHeight) return fitted;
    }
    return font;
}
