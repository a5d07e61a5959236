#include "RecordingLength.h"

#include <algorithm>

#include "TMyPlayer0802.h"

int32_t RecordingPositions(TMyPlayer0802& player) {
    const int32_t frameCount =
        player.FileData != nullptr && player.FrameOffsets != nullptr ? player.FrameCount : 0;
    if (frameCount <= 1 || player.Channels <= 0 || player.SampleRate <= 0) return 0;

    // Bytes of PCM per frame: frames 20 to 29 of a full recording, every frame of a shorter one.
    const int32_t usable = frameCount - 1;
    int32_t bytesPerFrame = 0;
    if (usable >= 30) {
        player.DecodeFrames(0, 10);
        player.DecodeFrames(10, 20);
        bytesPerFrame = player.DecodeFrames(20, 30) / 10;
    } else {
        int64_t bytes = 0;
        for (int32_t k = 0; k < usable; k += 10) bytes += player.DecodeFrames(k, std::min(k + 10, usable));
        bytesPerFrame = static_cast<int32_t>(bytes / usable);
    }

    // Every intermediate in 32-bit float, as the decoding holds it.
    float duration = static_cast<float>(bytesPerFrame) * 0.5f;
    duration = duration / static_cast<float>(player.Channels);
    duration = duration / static_cast<float>(player.SampleRate);
    float covered = static_cast<float>(frameCount) * duration;
    covered = covered * 11025.0f;
    const float withMargin = covered + 100.5f;
    if (!(withMargin < 2147483520.0f)) return 0;
    return static_cast<int32_t>(withMargin);
}
