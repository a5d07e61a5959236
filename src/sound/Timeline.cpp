#include "Timeline.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>

int32_t TruncateSaturated(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0f) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

float FrameDurationOf(int32_t pcmBytesPerFrame, int32_t channels, int32_t sampleRate) {
    float duration = static_cast<float>(pcmBytesPerFrame) * 0.5f;
    duration = duration / static_cast<float>(channels);
    return duration / static_cast<float>(sampleRate);
}

int64_t TimelineLength(int32_t frameCount, float frameDuration) {
    float covered = static_cast<float>(frameCount) * frameDuration;
    covered = covered * static_cast<float>(PositionsPerSecond);
    const double withMargin = static_cast<double>(covered) + 100.5;
    // Not finite, or beyond any buffer: report a length no caller can hold.
    if (!(withMargin < 9.0e18)) return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(withMargin);
}

int32_t FrameAtPosition(int32_t position, float frameDuration) {
    const float at = static_cast<float>(position);
    const float seconds = static_cast<float>(static_cast<double>(at) * (1.0 / PositionsPerSecond));
    const float frames = seconds / frameDuration;
    return TruncateSaturated(frames);
}

int16_t* AllocateSamples(int32_t count) {
    if (count < 0) throw std::bad_alloc();
    // One element at least: an empty buffer is still a valid, non-null one.
    void* block = std::calloc(count > 0 ? static_cast<size_t>(count) : 1, sizeof(int16_t));
    if (block == nullptr) throw std::bad_alloc();
    return static_cast<int16_t*>(block);
}

void ReleaseSamples(int16_t* samples) { std::free(samples); }
