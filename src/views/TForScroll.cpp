#include "TForScroll.h"

TForScroll::TForScroll(QLabel* label,
                       TImage* image,
                       TImageList* images,
                       int32_t glyphIndex,
                       float* value,
                       float* step,
                       int32_t additive,
                       int32_t vertical,
                       TScrollNotify onChange,
                       TScrollNotify onChange2)
    : Label(label),
      Image(image),
      Images(images),
      Value(value),
      Step(step),
      GlyphIndex(glyphIndex),
      Additive(additive),
      Vertical(vertical),
      OnChange(onChange),
      OnChange2(onChange2) {}

void TForScroll::MouseDown(QObject*, TMouseButton, TShiftState, int, int) {}
void TForScroll::MouseMove(QObject*, TShiftState, int, int) {}
void TForScroll::MouseUp(QObject*, TMouseButton, TShiftState, int, int) {}
void TForScroll::DrawGlyph() {}
