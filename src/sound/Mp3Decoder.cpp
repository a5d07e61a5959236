#include "Mp3Decoder.h"

#include <mpg123.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

namespace {

struct THandleDeleter {
    void operator()(mpg123_handle* mh) const { mpg123_delete(mh); }
};
using THandle = std::unique_ptr<mpg123_handle, THandleDeleter>;

[[noreturn]] void ThrowMpg123(const char* what, int code) {
    if (code == MPG123_OUT_OF_MEM) throw std::bad_alloc();
    throw std::runtime_error(std::string("MP3 decoder: ") + what + ": " + mpg123_plain_strerror(code));
}

void Check(const char* what, int code) {
    if (code != MPG123_OK) ThrowMpg123(what, code);
}

void InitLibrary() {
    // Process-wide and idempotent; a no-op in current libmpg123 but required by older ones.
    static const int result = mpg123_init();
    Check("mpg123_init", result);
}

// A handle that behaves like a plain frame decoder on whole frames: it decodes a frame as soon as
// its last byte is queued, keeps every frame (no gapless trimming, the Info/Xing frame is audio),
// outputs the stream's own rate and channel count as native signed 16-bit, and prints nothing.
THandle NewConfiguredHandle() {
    InitLibrary();
    int error = MPG123_OK;
    THandle mh(mpg123_new(nullptr, &error));
    if (!mh) ThrowMpg123("mpg123_new", error);

    long flags = 0;
    double unused = 0;
    Check("mpg123_getparam", mpg123_getparam(mh.get(), MPG123_FLAGS, &flags, &unused));
    flags &= ~static_cast<long>(MPG123_GAPLESS | MPG123_AUTO_RESAMPLE | MPG123_FORCE_MONO |
                                MPG123_FORCE_STEREO | MPG123_FORCE_8BIT | MPG123_FORCE_FLOAT);
    flags |= MPG123_NO_READAHEAD | MPG123_IGNORE_INFOFRAME | MPG123_QUIET;
    Check("MPG123_FLAGS", mpg123_param(mh.get(), MPG123_FLAGS, flags, 0));
    Check("MPG123_VERBOSE", mpg123_param(mh.get(), MPG123_VERBOSE, 0, 0));
    Check("MPG123_DOWN_SAMPLE", mpg123_param(mh.get(), MPG123_DOWN_SAMPLE, 0, 0));
    Check("MPG123_FORCE_RATE", mpg123_param(mh.get(), MPG123_FORCE_RATE, 0, 0));

    Check("mpg123_format_none", mpg123_format_none(mh.get()));
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i) {
        Check("mpg123_format",
              mpg123_format(mh.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16));
    }
    Check("mpg123_open_feed", mpg123_open_feed(mh.get()));
    return mh;
}

}  // namespace

struct TDecoderStateImpl {
    THandle handle;
};

TDecoderState::TDecoderState() = default;
TDecoderState::~TDecoderState() = default;

bool InitMP3(TDecoderState* mp) {
    // A new handle is the only reset that drops queued bytes, bit reservoir and synthesis memory
    // alike; the old handle goes only once the new one exists.
    THandle fresh = NewConfiguredHandle();
    if (!mp->impl) mp->impl = std::make_unique<TDecoderStateImpl>();
    mp->impl->handle = std::move(fresh);
    return true;
}

int decodeMP3(
    TDecoderState* mp, const unsigned char* in, int isize, unsigned char* out, int osize, int* done) {
    *done = 0;
    if (!mp->impl || !mp->impl->handle || isize < 0 || osize < 0) return MP3_ERR;
    mpg123_handle* mh = mp->impl->handle.get();
    if (in != nullptr && isize > 0) {
        if (mpg123_feed(mh, in, static_cast<size_t>(isize)) != MPG123_OK) return MP3_ERR;
    }
    for (;;) {
        off_t frameNumber = 0;
        unsigned char* audio = nullptr;
        size_t bytes = 0;
        const int result = mpg123_decode_frame(mh, &frameNumber, &audio, &bytes);
        if (result == MPG123_NEW_FORMAT) {
            // The format table admits only signed 16-bit, so the new format needs no action; it
            // is read back to be sure, and the frame itself comes with the next call.
            long rate = 0;
            int channels = 0;
            int encoding = 0;
            if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK) return MP3_ERR;
            if (encoding != MPG123_ENC_SIGNED_16 || channels < 1 || channels > 2) return MP3_ERR;
            continue;
        }
        if (result == MPG123_NEED_MORE || result == MPG123_DONE) return MP3_NEED_MORE;
        if (result != MPG123_OK) return MP3_ERR;
        if (bytes > static_cast<size_t>(osize)) return MP3_ERR;
        if (bytes > 0) std::memcpy(out, audio, bytes);
        *done = static_cast<int>(bytes);
        return MP3_OK;
    }
}
