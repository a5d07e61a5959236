#pragma once
// Artwork of the window's glyph buttons and of the drag handles, drawn in code.

#include <QImage>
#include <vector>

// Four 25 x 25 glyphs: zoom released, zoom pressed, pan released, pan pressed.
std::vector<QImage> MakeScrollerGlyphs();
// 20 x 20: a stack of three framed landscape pictures.
QImage MakePicturesGlyph();
// 20 x 20: a small waveform over two shaded bands, the stored segments.
QImage MakeSegmentsGlyph();
// 20 x 18: a right-pointing triangle, green, or red when pressed.
QImage MakePlayGlyph(bool pressed);
