#include "ButtonGlyphs.h"

#include <QPainter>
#include <QPolygon>

std::vector<QImage> MakeScrollerGlyphs() {
    std::vector<QImage> glyphs;
    for (int i = 0; i < 4; ++i) {
        QImage g(25, 25, QImage::Format_ARGB32);
        g.fill(Qt::transparent);
        glyphs.push_back(g);
    }
    return glyphs;
}

QImage MakePicturesGlyph() {
    QImage g(20, 20, QImage::Format_ARGB32);
    g.fill(Qt::transparent);
    QPainter p(&g);
    for (int k = 2; k >= 0; --k) {
        const QRect frame(1 + 2 * k, 1 + 2 * k, 13, 11);
        p.fillRect(frame, QColor(135, 206, 235));                                        // sky
        p.fillRect(QRect(frame.left(), frame.top() + 7, frame.width(), 4), QColor(30, 90, 200));  // sea
        p.setBrush(QColor(40, 160, 40));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPoint(frame.left() + 4, frame.top() + 9), 5, 3);                  // hill
        p.setBrush(QColor(255, 210, 0));
        p.drawEllipse(QPoint(frame.right() - 3, frame.top() + 3), 2, 2);                 // sun
        p.setBrush(Qt::NoBrush);
        p.setPen(QColor(60, 60, 60));
        p.drawRect(frame);
    }
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
