#include "TForScroll.h"

#include <QPainter>
#include <cstdlib>

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
      OnChange2(onChange2) {
    Image->OnMouseDown = [this](QObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        MouseDown(s, b, sh, x, y);
    };
    Image->OnMouseMove = [this](QObject* s, TShiftState sh, int x, int y) { MouseMove(s, sh, x, y); };
    Image->OnMouseUp = [this](QObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        MouseUp(s, b, sh, x, y);
    };
    if (Label) Label->setText(QString::asprintf("%.2f", double(*Value)));
}

void TForScroll::MouseDown(QObject*, TMouseButton, TShiftState Shift, int X, int Y) {
    if (!(Shift & ssLeft)) return;
    Pressed = 1;
    LastX = X;
    LastY = Y;
    Tracking = true;
    DrawGlyph();
}

void TForScroll::MouseMove(QObject*, TShiftState Shift, int X, int Y) {
    if (!(Shift & ssLeft)) return;
    if (!Tracking) {
        LastX = X;
        LastY = Y;
        Tracking = true;
    }
    const int32_t P = Vertical ? Y : X;
    const int32_t L = Vertical ? LastY : LastX;
    // Right or down counts as the positive direction on either axis.
    const bool forward = P > L;
    const int64_t pixels = std::llabs(int64_t(P) - int64_t(L));
    // One rounding to a float per pixel: n pixels are n steps, not one power or product.
    for (int64_t n = 0; n < pixels; ++n) {
        if (!Additive) {
            // Horizontal: right divides; vertical: down multiplies.
            if (forward != bool(Vertical)) {
                *Value = *Value / *Step;
            } else {
                *Value = *Step * *Value;
            }
        } else {
            const float delta = 0.005f * *Step;
            // Horizontal: right moves back; vertical: down moves forward.
            if (forward != bool(Vertical)) {
                *Value = *Value - delta;
            } else {
                *Value = *Value + delta;
            }
        }
    }
    if (Vertical) {
        LastY = P;
    } else {
        LastX = P;
    }
    if (OnChange) OnChange(this);
    if (OnChange2) OnChange2(this);
    if (Label) Label->setText(QString::asprintf("%.2f", double(*Value)));
}

void TForScroll::MouseUp(QObject*, TMouseButton, TShiftState, int, int) {
    Pressed = 0;
    DrawGlyph();
}

void TForScroll::DrawGlyph() {
    QImage picture(Images ? Images->Width : Image->width(), Images ? Images->Height : Image->height(),
                   QImage::Format_ARGB32);
    // The handle is a transparent image: the panel shows around the round glyph.
    picture.fill(Qt::transparent);
    if (Images) {
        QPainter p(&picture);
        Images->Draw(p, 0, 0, Pressed ? GlyphIndex + 1 : GlyphIndex);
    }
    Image->Picture = picture;
    Image->update();
}
