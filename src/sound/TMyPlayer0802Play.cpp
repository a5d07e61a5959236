// Segment playback: timeline positions to frames, the segment's frames decoded once more from the
// file data, and the PCM played as a WAVE image built in place inside WaveImage.
#include <QtEndian>
#include <cstring>

#include "SoundOutput.h"
#include "TMyPlayer0802.h"
#include "Timeline.h"

namespace {

constexpr int32_t WaveHeaderSize = 44;

// Copies frames player.PlayFrom .. PlayTo-1 back to back into InBuffer; returns the bytes copied.
// Goes on to the next frame while the total is below 786431 minus the length of the frame just
// copied, and never copies a frame that would not fit: the staging area is never overrun.
int32_t StageSegment(TMyPlayer0802& player) {
    int32_t staged = 0;
    int32_t frame = player.PlayFrom;
    int32_t length = 0;
    do {
        length = player.FrameOffsets[frame + 1] - player.FrameOffsets[frame];
        if (length < 0 || length > TMyPlayer0802::InBufferSize - staged) break;
        std::memcpy(player.InBuffer + staged, player.FileData + player.FrameOffsets[frame], size_t(length));
        staged += length;
        ++frame;
    } while (frame < player.PlayTo && staged < TMyPlayer0802::InBufferSize - 1 - length);
    return staged;
}

}  // namespace

int32_t TMyPlayer0802::SetPlayBound(TPlayBound which, int32_t position) {
    const int32_t frame = FrameAtPosition(position, FrameDuration);
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
    const int32_t decoded = DecodeStaged(staged);
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
    qToLittleEndian<quint32>(uint32_t(size - 4), h + 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    qToLittleEndian<quint32>(16, h + 16);
    qToLittleEndian<quint16>(1, h + 20);
    qToLittleEndian<quint16>(uint16_t(Channels), h + 22);
    qToLittleEndian<quint32>(uint32_t(SampleRate), h + 24);
    qToLittleEndian<quint32>(uint32_t(SampleRate) * 2 * uint32_t(Channels), h + 28);
    qToLittleEndian<quint16>(uint16_t(Channels * 2), h + 32);
    qToLittleEndian<quint16>(16, h + 34);
    std::memcpy(h + 36, "data", 4);
    qToLittleEndian<quint32>(uint32_t(size - WaveHeaderSize), h + 40);
    return PlayWaveMemory(WaveImage);
}
