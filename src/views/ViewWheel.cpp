#include "ViewWheel.h"

#include "WaveRenderer.h"

int TWheelNotches::Add(int units) {
    if ((units > 0 && rest_ < 0) || (units < 0 && rest_ > 0)) rest_ = 0;
    // Wide, so that no burst of deltas overflows.
    const int64_t total = int64_t(rest_) + units;
    const int64_t notches = total / WheelNotch;
    rest_ = int(total - notches * WheelNotch);
    return int(notches);
}

void PanByWheel(float& viewStart, float viewSpan, int notches) {
    for (int i = 0; i < notches; ++i) viewStart = viewStart - WheelPanShare * viewSpan;
    for (int i = 0; i > notches; --i) viewStart = viewStart + WheelPanShare * viewSpan;
}

void ZoomByWheel(float& viewStart, float& viewSpan, float factor, int notches, int x, int width) {
    if (width <= 0 || notches == 0) return;
    const float share = float(x) / float(width);
    const float anchor = viewStart + share * viewSpan;
    float ignoredStart = 0.0f;
    for (int i = 0; i < notches; ++i) {
        viewSpan = viewSpan / factor;
        ClampView(ignoredStart, viewSpan);
    }
    for (int i = 0; i > notches; --i) {
        viewSpan = viewSpan * factor;
        ClampView(ignoredStart, viewSpan);
    }
    viewStart = anchor - share * viewSpan;
}
