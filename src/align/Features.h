#pragma once
// Acoustic features of a signal on the 11025-per-second timeline: mel-frequency cepstra and the
// energy of 25 ms windows every 10 ms (Hop positions). Frame i stands for positions
// i * Hop .. (i + 1) * Hop - 1.

#include <atomic>
#include <cstdint>
#include <vector>

struct TFeatures {
    static constexpr int Hop = 110;     // positions per frame, about 10 ms
    static constexpr int Window = 276;  // positions per analysis window, about 25 ms
    static constexpr int Cepstra = 12;  // c1 .. c12; c0 is left out (the energy stands apart)
    int64_t Count = 0;                  // frames
    std::vector<float> Cepstrum;        // Count * Cepstra values, frame by frame
    std::vector<float> Energy;          // Count values, dB of the window's mean square
    std::vector<float> Delta;           // Count * Cepstra slopes of the cepstra over +-2 frames

    const float* Frame(int64_t i) const { return Cepstrum.data() + i * Cepstra; }
    const float* Slope(int64_t i) const { return Delta.data() + i * Cepstra; }
};

// Frames for ceil(count / Hop) windows centred on each frame's positions (zeros outside the
// signal). Uses `threads` threads (at least 1); the result does not depend on their number. When
// cancel is set on the way, the frames after that point are left at zero.
TFeatures ComputeFeatures(const int16_t* samples,
                          int64_t count,
                          int threads = 1,
                          const std::atomic<bool>* cancel = nullptr);

// Appends b's frames to a.
void AppendFeatures(TFeatures& a, const TFeatures& b);
