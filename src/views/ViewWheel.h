#pragma once
// The mouse wheel over the waveform: it pans, and with Ctrl it zooms around the pointer. Wheels
// report eighths of a degree, touchpads pixels; either is counted in notches of 120 units (15
// degrees), so a fine-grained wheel or a touchpad steps the view as a plain wheel does.

#include <cstdint>

inline constexpr int WheelNotch = 120;
// Share of ViewSpan one notch pans.
inline constexpr float WheelPanShare = 0.1f;

// Collects wheel units and hands them out as whole notches; what is left waits for the next turn.
// Turning the other way drops what was left of the former direction.
class TWheelNotches {
  public:
    int Add(int units);

  private:
    int rest_ = 0;
};

// Notches rolled away from the user (positive) move the view towards the start, each by
// WheelPanShare of the span, one 32-bit step per notch.
void PanByWheel(float& viewStart, float viewSpan, int notches);

// Notches rolled away from the user (positive) divide the span by factor, those towards the user
// multiply it, one 32-bit step per notch, each within the bounds of the view; the position under
// column x of a view `width` pixels wide stays under it (as far as ViewStart may go).
void ZoomByWheel(float& viewStart, float& viewSpan, float factor, int notches, int x, int width);
