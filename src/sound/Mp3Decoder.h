#pragma once
// An MPEG audio decoder with the mpglib calling convention, over libmpg123's feed interface.
// decodeMP3 queues the given bytes (the decoder keeps a copy) and takes out at most one frame of
// signed 16-bit interleaved PCM. Results: 0 a frame was decoded, 1 more data needed, -1 error.

#include <cstdint>
#include <memory>

struct TDecoderStateImpl;

// The whole state of the decoder; owns the libmpg123 handle.
struct TDecoderState {
    TDecoderState();
    ~TDecoderState();
    TDecoderState(const TDecoderState&) = delete;
    TDecoderState& operator=(const TDecoderState&) = delete;

    std::unique_ptr<TDecoderStateImpl> impl;
};

inline constexpr int MP3_OK = 0;
inline constexpr int MP3_NEED_MORE = 1;
inline constexpr int MP3_ERR = -1;

// Resets the decoder: drops queued bytes, bit reservoir and filter memory.
bool InitMP3(TDecoderState* mp);
// in may be null (isize 0) to take out the next frame of what is queued.
int decodeMP3(
    TDecoderState* mp, const unsigned char* in, int isize, unsigned char* out, int osize, int* done);
