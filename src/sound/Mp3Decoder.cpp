#include "Mp3Decoder.h"

struct TDecoderStateImpl {};

TDecoderState::TDecoderState() = default;
TDecoderState::~TDecoderState() = default;

bool InitMP3(TDecoderState* mp) {
    (void)mp;
    return true;
}

int decodeMP3(TDecoderState* mp, const unsigned char* in, int isize, unsigned char* out, int osize, int* done) {
    (void)mp;
    (void)in;
    (void)isize;
    (void)out;
    (void)osize;
    *done = 0;
    return MP3_ERR;
}
