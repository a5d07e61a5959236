#pragma once
// The sample timeline: PositionsPerSecond positions per second from the recording's first frame,
// whatever the file's own rate. Its arithmetic runs in 32-bit floats, each intermediate held as
// one; every conversion to an integer truncates toward zero, with 0.5 added first where the
// nearest position is wanted. The editor, playback and sorvelle-cli all measure through here.

#include <cstdint>
#include <memory>

inline constexpr int PositionsPerSecond = 11025;

// Toward zero. The value must lie within the int32 range.
constexpr int32_t TruncateToInt32(double value) { return static_cast<int32_t>(value); }
// The nearest integer of a non-negative value: 0.5 added, then toward zero.
constexpr int32_t RoundToInt32(double value) { return TruncateToInt32(value + 0.5); }
// Toward zero for any float: NaN gives 0 and values beyond the int32 range saturate, so that a
// quotient by a frame duration of zero stays defined.
int32_t TruncateSaturated(float value);

// Seconds per frame from the bytes of 16-bit PCM one frame decodes to:
// bytes x 0.5 / channels / rate, each step a 32-bit float.
float FrameDurationOf(int32_t pcmBytesPerFrame, int32_t channels, int32_t sampleRate);

// Positions of the sample buffer for a recording of frameCount frames:
// trunc(frameCount x frameDuration x PositionsPerSecond + 100.5), the two products each rounded
// to a 32-bit float and the margin added in double, about 100 positions more than the recording
// covers. Not bounded to int32: a caller that cannot hold the result has run out of memory.
int64_t TimelineLength(int32_t frameCount, float frameDuration);

// The frame that holds a timeline position: trunc((position x 1/PositionsPerSecond) /
// frameDuration), where the position, the product (with the exact constant) and the quotient
// are each rounded to a 32-bit float. Saturates, see TruncateSaturated.
int32_t FrameAtPosition(int32_t position, float frameDuration);

// The sample buffer Decode hands out: count zeroed 16-bit values, never null. The system zeroes
// the block, so pages that no decoded sample reaches cost no memory. Throws std::bad_alloc when
// the block cannot be had. Release it with ReleaseSamples (it is a calloc block).
int16_t* AllocateSamples(int32_t count);
void ReleaseSamples(int16_t* samples);
// Owns a buffer of AllocateSamples.
struct TSamplesRelease {
    void operator()(int16_t* samples) const { ReleaseSamples(samples); }
};
using TSamplesOwner = std::unique_ptr<int16_t[], TSamplesRelease>;
