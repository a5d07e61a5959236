#include "ButtonGlyphs.h"

#include <QPainter>
#include <QPolygon>

namespace {

// The round grey button with its green rim and the black wave peak that every handle shows.
void DrawHandleFace(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(0, 150, 0), 2));
    p.setBrush(QColor(190, 190, 190));
    p.drawEllipse(QRectF(1.5, 1.5, 22, 22));
    // The peak, arrows and bars stay crisp, in their pure colours.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, 1));
    p.drawPolyline(QPolygon({QPoint(7, 15), QPoint(10, 15), QPoint(12, 7), QPoint(14, 15), QPoint(17, 15)}));
}

void Arrowhead(QPainter& p, QPoint tip, int dx) {
    p.drawPolygon(
        QPolygon({tip, QPoint(tip.x() - 3 * dx, tip.y() - 3), QPoint(tip.x() - 3 * dx, tip.y() + 3)}));
}

// Zoom: arrows at the left and right edges, pointing outward.
QImage ZoomGlyph(const QColor& arrows) {
    QImage g(25, 25, QImage::Format_ARGB32);
    g.fill(Qt::transparent);
    QPainter p(&g);
    DrawHandleFace(p);
    p.setPen(arrows);
    p.setBrush(arrows);
    Arrowhead(p, QPoint(0, 12), -1);
    Arrowhead(p, QPoint(24, 12), 1);
    return g;
}

// Pan: the peak between two vertical bars, a left-right double arrow at the bottom.
QImage PanGlyph(const QColor& marks) {
    QImage g(25, 25, QImage::Format_ARGB32);
    g.fill(Qt::transparent);
    QPainter p(&g);
    DrawHandleFace(p);
    p.setPen(marks);
    p.setBrush(marks);
    p.drawLine(5, 5, 5, 16);
    p.drawLine(19, 5, 19, 16);
    p.drawLine(6, 20, 18, 20);
    Arrowhead(p, QPoint(4, 20), -1);
    Arrowhead(p, QPoint(20, 20), 1);
    return g;
}

}  // namespace

std::vector<QImage> MakeScrollerGlyphs() {
    const QColor released(0, 0, 255);
    const QColor pressed(255, 0, 0);
    return {ZoomGlyph(released), ZoomGlyph(pressed), PanGlyph(released), PanGlyph(pressed)};
}

QImage MakePicturesGlyph() {
    QImage g(20, 20, QImage::Format_ARGB32);
    g.fill(Qt::transparent);
    QPainter p(&g);
    for (int k = 2; k >= 0; --k) {
        const QRect frame(1 + 2 * k, 1 + 2 * k, 13, 11);
        p.fillRect(frame, QColor(135, 206, 235));                                                 // sky
        p.fillRect(QRect(frame.left(), frame.top() + 7, frame.width(), 4), QColor(30, 90, 200));  // sea
        p.setBrush(QColor(40, 160, 40));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPoint(frame.left() + 4, frame.top() + 9), 5, 3);  // hill
        p.setBrush(QColor(255, 210, 0));
        p.drawEllipse(QPoint(frame.right() - 3, frame.top() + 3), 2, 2);  // sun
        p.setBrush(Qt::NoBrush);
        p.setPen(QColor(60, 60, 60));
        p.drawRect(frame);
    }
    return g;
}

QImage MakeSegmentsGlyph() {
    QImage g(20, 20, QImage::Format_ARGB32);
    g.fill(Qt::transparent);
    QPainter p(&g);
    // The bands in the colours the view gives other lines' segments and the caret line's.
    p.fillRect(QRect(2, 2, 6, 16), QColor(204, 229, 255));
    p.fillRect(QRect(11, 2, 6, 16), QColor(204, 255, 204));
    p.setPen(QColor(120, 140, 170));
    p.drawRect(QRect(2, 2, 5, 15));
    p.drawRect(QRect(11, 2, 5, 15));
    p.setPen(Qt::black);
    p.drawPolyline(QPolygon({QPoint(0, 10), QPoint(2, 10), QPoint(3, 6), QPoint(5, 14), QPoint(7, 8),
                             QPoint(9, 11), QPoint(10, 10), QPoint(12, 4), QPoint(14, 16), QPoint(16, 7),
                             QPoint(18, 10), QPoint(19, 10)}));
    return g;
}

QImage MakePlayGlyph(bool pressed) {
    QImage g(20, 18, QImage::Format_ARGB32);
    g.fill(Qt::transparent);
    QPainter p(&g);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(pressed ? QColor(220, 0, 0) : QColor(0, 170, 0));
    p.drawPolygon(QPolygon({QPoint(5, 2), QPoint(16, 9), QPoint(5, 16)}));
    return g;
}
