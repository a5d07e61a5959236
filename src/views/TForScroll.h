#pragma once
// A drag handle that steps a bound 32-bit float per pixel of mouse movement, then notifies.

#include <QLabel>
#include <cstdint>

#include "MouseTypes.h"
#include "TImage.h"
#include "TImageList.h"

class TForScroll;
using TScrollNotify = void (*)(TForScroll*);

class TForScroll {
public:
    TForScroll(QLabel* label,
               TImage* image,
               TImageList* images,
               int32_t glyphIndex,
               float* value,
               float* step,
               int32_t additive,
               int32_t vertical,
               TScrollNotify onChange,
               TScrollNotify onChange2);

    QLabel* Label;
    TImage* Image;
    TImageList* Images;
    float* Value;
    float* Step;
    int32_t GlyphIndex;
    int32_t Additive;
    int32_t Vertical;
    TScrollNotify OnChange;
    TScrollNotify OnChange2;
    int32_t LastX = 0;
    int32_t LastY = 0;
    uint8_t Pressed = 0;

    void MouseDown(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void MouseMove(QObject* Sender, TShiftState Shift, int X, int Y);
    void MouseUp(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void DrawGlyph();
};
