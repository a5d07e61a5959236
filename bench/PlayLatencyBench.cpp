// Press-to-sound latency of the play button: from the start of BitBtn1Click to the first PCM
// handed to the audio device, for a 10-second segment of a 60-minute 128 kbit/s stereo
// recording, through a private PulseAudio daemon; against the time libmpg123 alone needs to
// decode the same frames. Median of 20 presses at different places of the recording.
// Usage: play_latency_bench   (needs pulseaudio and pulseaudio-utils)
#include <mpg123.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "EditorState.h"
#include "PulseServer.h"
#include "SoundMain.h"
#include "SoundOutput.h"
#include "TAddItemsForm.h"
#include "Timeline.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// libmpg123 alone: a fresh feed handle given the segment's bytes at once, every frame taken out.
double DecodeAloneMs(const unsigned char* bytes, size_t size, size_t& pcmBytes) {
    int error = MPG123_OK;
    mpg123_handle* mh = mpg123_new(nullptr, &error);
    if (!mh || mpg123_param(mh, MPG123_FLAGS, MPG123_QUIET | MPG123_NO_READAHEAD, 0) != MPG123_OK ||
        mpg123_open_feed(mh) != MPG123_OK) {
        std::fprintf(stderr, "libmpg123 refused a feed handle\n");
        std::exit(1);
    }
    const Clock::time_point start = Clock::now();
    pcmBytes = 0;
    if (mpg123_feed(mh, bytes, size) != MPG123_OK) std::exit(1);
    for (;;) {
        off_t frame = 0;
        unsigned char* audio = nullptr;
        size_t done = 0;
        const int r = mpg123_decode_frame(mh, &frame, &audio, &done);
        if (r == MPG123_OK || r == MPG123_NEW_FORMAT) {
            pcmBytes += done;
            continue;
        }
        break;
    }
    const double ms = Ms(Clock::now() - start);
    mpg123_delete(mh);
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!PulseServer::Installed()) {
        std::fprintf(stderr, "pulseaudio and pulseaudio-utils are needed for this measurement\n");
        return 1;
    }
    PulseServer server;
    QString why;
    if (!server.Start(why)) {
        std::fprintf(stderr, "no sound server: %s\n", qPrintable(why));
        return 1;
    }
    // The output must reach the private daemon before the first use of the audio device.
    qputenv("PULSE_SERVER", server.Address().toLocal8Bit());

    QTemporaryDir dir;
    const QByteArray piece = [] {
        QFile f(QStringLiteral(SORVELLE_SOURCE_DIR "/tests/fixtures/playback/tone-44100-stereo-128k.mp3"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    if (!dir.isValid() || piece.isEmpty()) return 1;
    const QString path = dir.filePath("hour.mp3");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) return 1;
        for (int i = 0; i < 1800; ++i) f.write(piece);  // 2.04 s each: about 61 minutes
    }

    TAddItemsForm form;
    Player.FileName = path;
    QElapsedTimer opening;
    opening.start();
    if (!Player.Open()) return 1;
    Player.Decode(&EditorState.Samples, nullptr, &EditorState.SampleCount);
    std::printf("recording: %d frames, %.1f min; open and decode %lld ms\n", Player.FrameCount,
                Player.FrameCount * Player.FrameDuration / 60.0, static_cast<long long>(opening.elapsed()));

    Clock::time_point firstBuffer;
    bool handed = false;
    FirstAudioBufferObserver = [&] {
        if (!handed) firstBuffer = Clock::now();
        handed = true;
    };

    std::vector<double> pressToSound, decodeAlone;
    for (int press = 0; press < 20; ++press) {
        const int32_t startSecond = 60 + press * 170;  // spread over the hour
        EditorState.SelStart = startSecond * 11025;
        EditorState.SelEnd = (startSecond + 10) * 11025;
        handed = false;
        const Clock::time_point pressed = Clock::now();
        form.BitBtn1Click(form.BitBtn1);
        QElapsedTimer waited;
        waited.start();
        while (!handed && waited.elapsed() < 5000) app.processEvents(QEventLoop::AllEvents, 1);
        if (!handed) {
            std::fprintf(stderr, "press %d: no audio reached the device\n", press);
            return 1;
        }
        pressToSound.push_back(Ms(firstBuffer - pressed));
        StopSound();

        const int32_t first = Player.PlayFrom;
        const int32_t end = Player.PlayTo;
        size_t pcm = 0;
        decodeAlone.push_back(DecodeAloneMs(Player.FileData + Player.FrameOffsets[first],
                                            size_t(Player.FrameOffsets[end] - Player.FrameOffsets[first]),
                                            pcm));
        if (press == 0)
            std::printf("segment: frames %d..%d (%d frames, %.2f s), %zu bytes of PCM\n", first, end - 1,
                        end - first, (end - first) * Player.FrameDuration, pcm);
    }
    const double press = Median(pressToSound);
    const double decode = Median(decodeAlone);
    std::printf("press to first audio buffer: median %.2f ms (min %.2f, max %.2f) over %zu presses\n", press,
                *std::min_element(pressToSound.begin(), pressToSound.end()),
                *std::max_element(pressToSound.begin(), pressToSound.end()), pressToSound.size());
    std::printf("libmpg123 alone, same frames: median %.2f ms\n", decode);
    std::printf("overhead: %.2f ms (ratio %.2f); target overhead <= 20 ms: %s\n", press - decode,
                decode > 0 ? press / decode : 0.0, press <= decode + 20.0 ? "met" : "MISSED");
    FirstAudioBufferObserver = nullptr;
    StopSound();
    // The output tears a stopped sink down from the event loop; let it before the server goes.
    QElapsedTimer draining;
    draining.start();
    while (draining.elapsed() < 200) app.processEvents(QEventLoop::AllEvents, 10);
    ReleaseSamples(EditorState.Samples);
    EditorState.Samples = nullptr;
    Player.Release();
    return 0;
}
