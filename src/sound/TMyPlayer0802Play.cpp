// Segment playback: timeline positions to frames, the segment's frames decoded once more from the
// file data, and the PCM played as a WAVE image built in place inside WaveImage.
#include <cmath>
#include <cstring>
#include <limits>

#include "SoundOutput.h"
#include "TMyPlayer0802.h"

namespace {

constexpr int32_t WaveHeaderSize = 44;
constexpr int DecodeScratchSize = 16384;

void PutU32(unsigned char* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

void PutU16(unsigned char* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

// Truncates toward zero; a quotient that is not finite or not representable (a FrameDuration of
// zero) saturates instead of being undefined.
int32_t TruncToInt32(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0f) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
    return int32_t(value);
}

// Copies frames player.PlayFrom .. PlayTo-1 back to back into InBuffer; returns the bytes copied.
// Stops early where the next frame would not fit: the staging area is never overrun.
int32_t StageSegment(TMyPlayer0802& player) {
    int32_t total = 0;
    int32_t i = player.PlayFrom;
    int32_t length = 0;
    do {
        length = player.FrameOffsets[i + 1] - player.FrameOffsets[i];
        if (length < 0 || length > TMyPlayer0802::InBufferSize - total) break;
        std::memcpy(player.InBuffer + total, player.FileData + player.FrameOffsets[i], size_t(length));
        total += length;
        ++i;
    } while (i < player.PlayTo && total < TMyPlayer0802::InBufferSize - 1 - length);
    return total;
}

// Feeds the staged bytes to the decoder and drains it frame by frame, storing the PCM in
// WaveImage from its start up to its capacity. The queue is drained in full even past that
// capacity, so no stale frame is left for the next decode. Returns the bytes stored.
int32_t DecodeStaged(TMyPlayer0802& player, int32_t staged) {
    unsigned char scratch[DecodeScratchSize];
    int32_t stored = 0;
    int done = 0;
    int result = decodeMP3(&player.DecoderState, player.InBuffer, staged, scratch,
                           TMyPlayer0802::DecodeOutputCapacity, &done);
    while (result == MP3_OK) {
        const int32_t room = TMyPlayer0802::WaveImageSize - stored;
        const int32_t take = std::min(std::max(done, 0), room);
        std::memcpy(player.WaveImage + stored, scratch, size_t(take));
        stored += take;
        result =
            decodeMP3(&player.DecoderState, nullptr, 0, scratch, TMyPlayer0802::DecodeOutputCapacity, &done);
    }
    return stored;
}

}  // namespace

int32_t TMyPlayer0802::SetPlayBound(TPlayBound which, int32_t position) {
    const float at = float(position);
    const float seconds = at * (1.0f / 11025.0f);
    const float frames = seconds / FrameDuration;
    const int32_t frame = TruncToInt32(frames);
    if (which == pbStart)
        PlayFrom = frame;
    else
        PlayTo = frame;
    return frame;
}

void TMyPlayer0802::PlaySegment() {
    if (FileData == nullptr || FileName.size() < 3) return;
    // The sound still playing reads WaveImage: a new image would be written under it.
    if (SoundIsPlaying()) return;
    if (PlayTo < 20) PlayTo = 20;
    if (PlayTo >= FrameCount) PlayTo = FrameCount - 1;
    if (PlayTo - 10 < PlayFrom) PlayFrom = PlayTo - 10;
    // Short tables and negative selections: nothing before frame 0 is read, and only frames up to
    // FrameCount - 2 have a length (PlayTo <= FrameCount - 1 bounds the last entry read).
    if (PlayFrom < 0) PlayFrom = 0;
    if (PlayFrom >= PlayTo || FrameOffsets == nullptr) return;

    const int32_t staged = StageSegment(*this);
    if (staged == 0) return;
    const int32_t decoded = DecodeStaged(*this, staged);
    if (decoded < WaveHeaderSize) return;
    PlayWave(decoded);
}

bool TMyPlayer0802::PlayWave(int32_t size) {
    if (size > WaveImageSize) size = WaveImageSize;
    if (size < WaveHeaderSize) return false;
    // Refused anyway by the output; the header of the image being played stays as it is.
    if (SoundIsPlaying()) return false;
    unsigned char* h = WaveImage;
    std::memcpy(h, "RIFF", 4);
    PutU32(h + 4, uint32_t(size - 4));
    std::memcpy(h + 8, "WAVEfmt ", 8);
    PutU32(h + 16, 16);
    PutU16(h + 20, 1);
    PutU16(h + 22, uint16_t(Channels));
    PutU32(h + 24, uint32_t(SampleRate));
    PutU32(h + 28, uint32_t(SampleRate) * 2 * uint32_t(Channels));
    PutU16(h + 32, uint16_t(Channels * 2));
    PutU16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    PutU32(h + 40, uint32_t(size - WaveHeaderSize));
    return PlayWaveMemory(WaveImage);
}
