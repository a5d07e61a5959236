#include "SoundOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QPointer>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// The image's PCM as the sink reads it. Detach makes every later read return nothing, so that a
// stopped sound no longer reads the image even while its sink still waits to be torn down.
class TImageSource : public QBuffer {
  public:
    TImageSource(const TWaveImageFormat& wave, QObject* parent) : QBuffer(parent) {
        setData(QByteArray::fromRawData(reinterpret_cast<const char*>(wave.Data), qsizetype(wave.DataSize)));
        open(QIODevice::ReadOnly);
    }
    void Detach() { detached_ = true; }

  protected:
    qint64 readData(char* data, qint64 maxSize) override {
        if (detached_) return 0;
        const qint64 n = QBuffer::readData(data, maxSize);
        if (n > 0 && !handedOver_) {
            handedOver_ = true;
            if (FirstAudioBufferObserver) FirstAudioBufferObserver();
        }
        return n;
    }

  private:
    bool detached_ = false;
    bool handedOver_ = false;
};

// One sound on the device: the sink pulls the PCM from the image by itself. The sink owns the
// source (as its child the source outlives the sink's own teardown, which still refers to it).
class TSound : public QObject {
  public:
    TSound(const QAudioDevice& device,
           const QAudioFormat& format,
           const TWaveImageFormat& wave,
           QObject* parent)
        : QObject(parent), sink(new QAudioSink(device, format, this)), source(new TImageSource(wave, sink)) {
        durationMs = qint64(wave.DataSize) / format.bytesPerFrame() * 1000 / format.sampleRate();
    }

    QAudioSink* sink;
    TImageSource* source;
    qint64 durationMs = 0;
    bool finished = false;  // detached from the player; its sink is stopped and deleted next
    QElapsedTimer started;
    QTimer watchdog;  // ends a sound that never reaches its end (a device that stopped taking bytes)
    QTimer tail;      // from the last byte taken to the end of what the device still holds
};

// The one sound of the program. Lives on the GUI thread, deleted with the application.
//
// A sink's teardown may run the event loop (PulseAudio's sink does in its destructor), and with it
// a queued Play press. So the player's state never refers to a sound being torn down: a sound is
// detached first, and its sink is stopped and deleted later, from the event loop, never from
// within a call that the event loop can re-enter. A new sound never touches an old one.
class TSinkPlayer : public QObject {
  public:
    explicit TSinkPlayer(QObject* owner) : QObject(owner) {}
    ~TSinkPlayer() override { Stop(); }

    bool Play(const TWaveImageFormat& wave) {
        if (current_) return false;
        // Rates the device could be asked for but no recording has; a "1 Hz" image from a stray
        // header would otherwise hold the output for hours.
        if (wave.SampleRate < MinPlayableSampleRate || wave.SampleRate > MaxPlayableSampleRate) return false;
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) return false;
        QAudioFormat format;
        format.setSampleRate(wave.SampleRate);
        format.setChannelCount(wave.Channels);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format)) return false;

        TSound* sound = new TSound(device, format, wave, this);
        // Room for a quarter of a second: the GUI thread may be busy that long between reads.
        sound->sink->setBufferSize(format.bytesForDuration(DeviceBufferUs));
        // State changes may come from the device's own thread; they are handled here, queued.
        QObject::connect(sound->sink, &QAudioSink::stateChanged, sound,
                         [this, sound](QAudio::State state) { StateChanged(sound, state); });
        sound->watchdog.setSingleShot(true);
        QObject::connect(&sound->watchdog, &QTimer::timeout, sound, [this, sound] { Finish(sound); });
        sound->tail.setSingleShot(true);
        QObject::connect(&sound->tail, &QTimer::timeout, sound, [this, sound] { Finish(sound); });

        current_ = sound;
        sound->started.start();
        sound->sink->start(sound->source);
        if (current_ != sound || sound->sink->error() != QAudio::NoError ||
            sound->sink->state() == QAudio::StoppedState) {
            Finish(sound);
            return false;
        }
        sound->watchdog.start(int(std::min<qint64>(sound->durationMs + sound->durationMs / 4 + StallLimitMs,
                                                   std::numeric_limits<int>::max())));
        return true;
    }

    bool IsPlaying() const { return current_ != nullptr; }

    int64_t PlayedUSecs() const { return current_ ? current_->sink->processedUSecs() : -1; }

    void Stop() {
        if (current_) Finish(current_);
    }

  private:
    static constexpr qint64 DeviceBufferUs = 250000;
    static constexpr qint64 StallLimitMs = 2000;
    static constexpr int TailMarginMs = 50;

    void StateChanged(TSound* sound, QAudio::State state) {
        if (sound != current_) return;
        if (state == QAudio::IdleState && sound->source->atEnd() && !sound->tail.isActive()) {
            // Every byte is with the device: the image is no longer read, and the sound ends once
            // what the device holds has been heard.
            const qint64 buffered = sound->sink->format().durationForBytes(sound->sink->bufferSize()) / 1000;
            const qint64 left = std::max<qint64>(0, sound->durationMs - sound->started.elapsed());
            sound->tail.start(int(std::max(left, buffered) + TailMarginMs));
        } else if (state == QAudio::StoppedState && sound->sink->error() != QAudio::NoError) {
            // The device gave up (lost server, device error): the sound is over.
            Finish(sound);
        }
    }

    // Ends a sound: from here on it is not the player's, and its image is not read. Its sink is
    // stopped and deleted from the event loop.
    void Finish(TSound* sound) {
        if (sound->finished) return;
        sound->finished = true;
        if (sound == current_) current_ = nullptr;
        sound->source->Detach();
        sound->watchdog.stop();
        sound->tail.stop();
        sound->sink->disconnect(sound);
        QMetaObject::invokeMethod(
            sound,
            [sound] {
                sound->sink->stop();
                sound->deleteLater();
            },
            Qt::QueuedConnection);
    }

    QPointer<TSound> current_;  // the sound that plays; null when none does
};

QPointer<TSinkPlayer> sinkPlayer;

TSinkPlayer* SinkPlayer() {
    if (!sinkPlayer && QCoreApplication::instance())
        sinkPlayer = new TSinkPlayer(QCoreApplication::instance());
    return sinkPlayer;
}

}  // namespace

bool ParseWaveImage(const unsigned char* image, TWaveImageFormat& format) {
    if (!image || std::memcmp(image, "RIFF", 4) != 0 || std::memcmp(image + 8, "WAVE", 4) != 0) return false;
    // The walk through the chunks stays within the bytes the RIFF size declares.
    const uint64_t end = uint64_t(qFromLittleEndian<quint32>(image + 4)) + 8;
    uint64_t at = 12;
    bool haveFormat = false;
    while (at + 8 <= end) {
        const unsigned char* chunk = image + at;
        const uint32_t size = qFromLittleEndian<quint32>(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || at + 8 + 16 > end) return false;
            const unsigned char* f = chunk + 8;
            const uint16_t tag = qFromLittleEndian<quint16>(f);
            const uint16_t channels = qFromLittleEndian<quint16>(f + 2);
            const uint32_t rate = qFromLittleEndian<quint32>(f + 4);
            const uint16_t bits = qFromLittleEndian<quint16>(f + 14);
            if (tag != 1 || bits != 16 || channels == 0 || channels > 8 || rate == 0 || rate > 384000)
                return false;
            format.Channels = channels;
            format.SampleRate = int(rate);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return false;
            const uint64_t available = end - (at + 8);
            const uint64_t bytes = std::min<uint64_t>(size, available);
            const uint32_t frame = uint32_t(format.Channels) * 2;
            format.Data = chunk + 8;
            format.DataSize = uint32_t(bytes / frame * frame);
            return true;
        }
        at += 8 + uint64_t(size) + (size & 1);
    }
    return false;
}

bool PlayWaveMemory(const unsigned char* image) {
    if (SoundOutputOverride) return SoundOutputOverride->Play(image);
    TSinkPlayer* player = SinkPlayer();
    if (!player || player->IsPlaying()) return false;
    TWaveImageFormat wave;
    if (!ParseWaveImage(image, wave) || wave.DataSize == 0) return false;
    return player->Play(wave);
}

bool SoundIsPlaying() {
    if (SoundOutputOverride) return SoundOutputOverride->IsPlaying();
    return sinkPlayer && sinkPlayer->IsPlaying();
}

void StopSound() {
    if (SoundOutputOverride) {
        SoundOutputOverride->Stop();
        return;
    }
    if (sinkPlayer) sinkPlayer->Stop();
}

int64_t SoundPlayedUSecs() {
    if (SoundOutputOverride)
        return SoundOutputOverride->IsPlaying() ? SoundOutputOverride->PlayedUSecs() : -1;
    return sinkPlayer ? sinkPlayer->PlayedUSecs() : -1;
}
