// A separate program that plays one sound through the real output, for the end-to-end test that
// runs it against a sound server of its own. It prints "played <bytes>" or "refused", writes the
// PCM it handed to the output to a file, and returns once the sound has ended.
//   sound_play_probe tone <pcm-out>                     half a second of a rising tone
//   sound_play_probe stop <pcm-out>                     the same tone, stopped after 0.1 s
//   sound_play_probe mp3 <file> <sel-start> <sel-end> <pcm-out>   a segment of a recording
//   sound_play_probe rate <hz>                          a quarter of a second at that rate
//   sound_play_probe rapid                              presses around the ends of short sounds
//   sound_play_probe stuck                              half a second, then waits for the end;
//                                                       the test freezes the server meanwhile
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "SoundOutput.h"
#include "TMyPlayer0802.h"
#include "Timeline.h"

namespace {

std::vector<unsigned char> ToneImage(int rate = 44100, int frames = 22050) {
    const int channels = 2;
    const uint32_t pcm = uint32_t(frames * channels * 2);
    std::vector<unsigned char> image(44 + pcm);
    unsigned char* h = image.data();
    std::memcpy(h, "RIFF", 4);
    qToLittleEndian<quint32>(36 + pcm, h + 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    qToLittleEndian<quint32>(16, h + 16);
    qToLittleEndian<quint16>(1, h + 20);
    qToLittleEndian<quint16>(channels, h + 22);
    qToLittleEndian<quint32>(rate, h + 24);
    qToLittleEndian<quint32>(rate * channels * 2, h + 28);
    qToLittleEndian<quint16>(channels * 2, h + 32);
    qToLittleEndian<quint16>(16, h + 34);
    std::memcpy(h + 36, "data", 4);
    qToLittleEndian<quint32>(pcm, h + 40);
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / 44100;
        const auto v = qint16(std::lround(12000.0 * std::sin(2 * M_PI * (300 * t + 800 * t * t))));
        qToLittleEndian<qint16>(v, h + 44 + 4 * i);
        qToLittleEndian<qint16>(v, h + 46 + 4 * i);
    }
    return image;
}

bool WritePcm(const QString& path, const unsigned char* image) {
    TWaveImageFormat format;
    if (!ParseWaveImage(image, format)) return false;
    QFile out(path);
    return out.open(QIODevice::WriteOnly) &&
           out.write(reinterpret_cast<const char*>(format.Data), format.DataSize) == qint64(format.DataSize);
}

// Runs the event loop, in which the device takes its bytes, until the sound has ended.
void WaitForTheEnd() {
    QElapsedTimer waited;
    waited.start();
    while (SoundIsPlaying() && waited.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Presses as a user who keeps clicking Play: a press is pending at every turn of the event loop,
// so one lands wherever the output runs the loop, also while a finished sound is torn down. Every
// third sound is stopped from inside the output's first read of it, every seventh by a press that
// stops and plays at once; the others end by themselves.
int RapidPresses(QCoreApplication& app) {
    // 40 ms of sound each.
    const std::vector<unsigned char> image = ToneImage(44100, 1764);
    int presses = 0, sounds = 0, stopsInRead = 0, restarts = 0;
    FirstAudioBufferObserver = [&] {
        if (sounds % 3 == 1) {
            ++stopsInRead;
            StopSound();
        }
    };
    QElapsedTimer playing;
    QTimer press;
    press.setInterval(0);
    QObject::connect(&press, &QTimer::timeout, &app, [&] {
        ++presses;
        // Every seventh sound is cut by a press that stops it and plays at once.
        if (sounds % 7 == 3 && SoundIsPlaying() && playing.elapsed() >= 30) {
            ++restarts;
            StopSound();
        }
        if (PlayWaveMemory(image.data())) {
            ++sounds;
            playing.start();
        }
    });
    press.start();
    QElapsedTimer running;
    running.start();
    while (running.elapsed() < 3000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    press.stop();
    WaitForTheEnd();
    FirstAudioBufferObserver = nullptr;
    std::printf("sounds %d stopped-in-read %d restarts %d presses %d\n", sounds, stopsInRead, restarts,
                presses);
    std::puts(SoundIsPlaying() ? "still playing" : "ended");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == "tone") {
        const std::vector<unsigned char> image = ToneImage();
        if (!WritePcm(args[2], image.data())) return 2;
        if (!PlayWaveMemory(image.data())) {
            std::puts("refused");
            return 0;
        }
        std::printf("played %zu\n", image.size());
        // A second sound while the first plays is refused and the first plays on.
        std::puts(PlayWaveMemory(image.data()) ? "again played" : "again refused");
        std::fflush(stdout);
        WaitForTheEnd();
        std::puts(SoundIsPlaying() ? "still playing" : "ended");
        return 0;
    }
    if (args.size() == 3 && args[1] == "stop") {
        // What Open does before it decodes into the played buffer: the sound ends at once.
        const std::vector<unsigned char> image = ToneImage();
        if (!WritePcm(args[2], image.data())) return 2;
        if (!PlayWaveMemory(image.data())) {
            std::puts("refused");
            return 0;
        }
        QElapsedTimer playing;
        playing.start();
        while (playing.elapsed() < 100) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        StopSound();
        std::puts(SoundIsPlaying() ? "still playing" : "stopped");
        // The image may change now; the output must not read it any more.
        std::memset(const_cast<unsigned char*>(image.data()) + 44, 0x7F, image.size() - 44);
        playing.restart();
        while (playing.elapsed() < 500) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return 0;
    }
    if (args.size() == 3 && args[1] == "rate") {
        const int rate = args[2].toInt();
        const std::vector<unsigned char> image = ToneImage(rate, std::max(rate / 4, 1));
        if (!PlayWaveMemory(image.data())) {
            std::puts("refused");
            return 0;
        }
        std::puts("played");
        WaitForTheEnd();
        std::puts(SoundIsPlaying() ? "still playing" : "ended");
        return 0;
    }
    if (args.size() == 2 && args[1] == "rapid") return RapidPresses(app);
    if (args.size() == 2 && args[1] == "stuck") {
        const std::vector<unsigned char> image = ToneImage();
        if (!PlayWaveMemory(image.data())) {
            std::puts("refused");
            return 0;
        }
        QElapsedTimer playing;
        playing.start();
        std::puts("played");
        std::fflush(stdout);
        WaitForTheEnd();
        std::printf("%s after %lld ms\n", SoundIsPlaying() ? "still playing" : "ended",
                    static_cast<long long>(playing.elapsed()));
        return 0;
    }
    if (args.size() == 6 && args[1] == "mp3") {
        auto player = std::make_unique<TMyPlayer0802>();
        player->FileName = args[2];
        if (!player->Open()) return 3;
        int16_t* samples = nullptr;
        int32_t count = 0;
        player->Decode(&samples, nullptr, &count);
        ReleaseSamples(samples);
        player->SetPlayBound(TMyPlayer0802::pbStart, args[3].toInt());
        player->SetPlayBound(TMyPlayer0802::pbEnd, args[4].toInt());
        player->PlaySegment();
        if (!SoundIsPlaying()) {
            std::puts("refused");
            return 0;
        }
        if (!WritePcm(args[5], player->WaveImage)) return 2;
        std::printf("played %u %d %d\n", qFromLittleEndian<quint32>(player->WaveImage + 4) + 4,
                    player->PlayFrom, player->PlayTo);
        std::fflush(stdout);
        WaitForTheEnd();
        std::puts(SoundIsPlaying() ? "still playing" : "ended");
        return 0;
    }
    std::fputs(
        "usage: sound_play_probe tone <pcm-out> | stop <pcm-out> | mp3 <file> <sel-start> <sel-end> <pcm-out>"
        " | rate <hz> | rapid | stuck\n",
        stderr);
    return 1;
}
