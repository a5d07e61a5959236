#include "PictureStrip.h"

#include <QFontMetrics>
#include <QPen>
#include <QPolygon>
#include <algorithm>

namespace {

constexpr int MaxShownPictures = 5;

// Left, top, right, bottom d*w, 0, (d+1)*w - 1, h with the right and bottom edges exclusive.
QRect CellRect(int d, int w, int h) { return QRect(d * w, 0, std::max(w - 1, 0), h); }

void DrawPicture(QPainter& painter, const QImage& picture, const QRect& cell) {
    if (picture.isNull() || cell.isEmpty()) return;
    painter.drawImage(cell, picture);
}

// Text with its top-left corner at (x, y), on the strip's background like the box's own text.
void DrawLabel(QPainter& painter, int x, int y, const QString& text, const QColor& background) {
    const QFontMetrics metrics(painter.font());
    const QRect box(x, y, metrics.horizontalAdvance(text), metrics.height());
    painter.fillRect(box, background);
    painter.setPen(QPen(Qt::black));
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

void DrawFrame(QPainter& painter, int d, int w, int h) {
    QPen pen(QColor(255, 0, 0));
    pen.setWidth(2);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    const int left = d * w;
    const int right = (d + 1) * w - 1;
    const QPolygon frame(
        {QPoint(left, 1), QPoint(right, 1), QPoint(right, h - 1), QPoint(left, h - 1), QPoint(left, 1)});
    painter.drawPolyline(frame);
}

void PrepareForPictures(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

}  // namespace

int StripCellWidth(int height) { return static_cast<int>(height * 1.5); }

int64_t StripPictureAt(int x, int height, int32_t stripStart) {
    const int w = StripCellWidth(height);
    if (w <= 0) return stripStart;
    return static_cast<int64_t>(stripStart) + x / w;
}

int ShownPictureCount(const TItemRec& record) {
    return std::clamp<int>(record.PicCount, 0, MaxShownPictures);
}

void PaintArchiveStrip(QPainter& painter,
                       QSize size,
                       const QColor& background,
                       int32_t stripStart,
                       int32_t pictureCount,
                       int32_t chosenPicture,
                       const TPictureTable& pictures) {
    const int h = size.height();
    const int w = StripCellWidth(h);
    if (w <= 0) return;
    PrepareForPictures(painter);
    const int last = std::min<int32_t>(pictureCount, PictureTableSize);
    // Cells right of the box would be clipped away entirely.
    const int visibleCells = size.width() / w + 1;
    for (int64_t i = std::max<int32_t>(stripStart, 0); i < last; ++i) {
        const int64_t d = i - stripStart;
        if (d >= visibleCells) break;
        const int cell = static_cast<int>(d);
        const int picture = static_cast<int>(i);
        DrawPicture(painter, pictures[static_cast<size_t>(picture)], CellRect(cell, w, h));
        DrawLabel(painter, cell * w + 3, 3, QString::number(picture), background);
        if (picture == chosenPicture) DrawFrame(painter, cell, w, h);
    }
}

void PaintLineStrip(QPainter& painter,
                    QSize size,
                    const QColor& background,
                    const TItemRec* record,
                    const TPictureTable& pictures) {
    if (record == nullptr) return;
    const int h = size.height();
    const int w = StripCellWidth(h);
    if (w <= 0) return;
    PrepareForPictures(painter);
    const int n = ShownPictureCount(*record);
    for (int j = 0; j < n; ++j) {
        const int picture = record->Pics[j];
        if (picture >= 0 && picture < PictureTableSize)
            DrawPicture(painter, pictures[static_cast<size_t>(picture)], CellRect(j, w, h));
        DrawLabel(painter, j * w + 3, 3, QStringLiteral(" %1 %2 ").arg(j).arg(picture), background);
    }
}
