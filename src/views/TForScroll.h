#pragma once
// A drag handle that steps a bound 32-bit float per pixel of mouse movement, then notifies. The
// handle itself never moves; Qt's implicit grab keeps the moves and the release coming to it
// while the button that pressed on it is held, also outside its area.

#include <QLabel>
#include <cstdint>

#include "MouseTypes.h"
#include "TImage.h"
#include "TImageList.h"

class TForScroll;
using TScrollNotify = void (*)(TForScroll*);

class TForScroll {
  public:
    // Installs MouseDown, MouseMove and MouseUp on image, replacing its handlers. Owns nothing.
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

    QLabel* Label;       // shows *Value with "%.2f" when set
    TImage* Image;       // the handle
    TImageList* Images;  // glyph GlyphIndex released, GlyphIndex + 1 pressed
    float* Value;        // stepped in place
    float* Step;         // factor per pixel, or span of which 0.005 is added per pixel; read per step
    int32_t GlyphIndex;
    int32_t Additive;  // 0: Value is multiplied or divided by *Step; else 0.005 * *Step is added
    int32_t Vertical;  // 0: horizontal movement drives Value; else vertical
    TScrollNotify OnChange;
    TScrollNotify OnChange2;
    int32_t LastX = 0;  // last position seen, in the handle's pixels; valid once Tracking
    int32_t LastY = 0;
    uint8_t Pressed = 0;  // from a left press on the handle to the next release of any button

    void MouseDown(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void MouseMove(QObject* Sender, TShiftState Shift, int X, int Y);
    void MouseUp(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void DrawGlyph();

  private:
    // False until LastX and LastY hold a position: a move with the left button held that comes
    // before any press on the handle takes its own position as the start, and steps nothing.
    bool Tracking = false;
};
