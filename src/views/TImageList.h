#pragma once
// A list of equally sized glyphs.

#include <QImage>
#include <QPainter>
#include <vector>

class TImageList {
  public:
    TImageList(int width, int height) : Width(width), Height(height) {}

    int Width;
    int Height;
    std::vector<QImage> Glyphs;

    int Count() const { return int(Glyphs.size()); }
    void Add(const QImage& glyph) { Glyphs.push_back(glyph); }
    // Draws glyph index at (x, y); an index outside the list draws nothing.
    void Draw(QPainter& painter, int x, int y, int index) const {
        if (index >= 0 && index < Count()) painter.drawImage(x, y, Glyphs[size_t(index)]);
    }
};
