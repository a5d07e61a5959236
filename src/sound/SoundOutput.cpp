#include "SoundOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <memory>

namespace {

uint32_t ReadU32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t ReadU16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

// The one sound of the program on the audio device. Lives on the GUI thread: the image is pushed
// to the device as far as it takes it at once, the rest in small steps from the event loop.
// Deleted with the application.
class TSinkPlayer : public QObject {
  public:
    explicit TSinkPlayer(QObject* owner) : QObject(owner) {
        feeder_.setTimerType(Qt::PreciseTimer);
        finish_.setSingleShot(true);
        QObject::connect(&feeder_, &QTimer::timeout, this, [this] { Feed(); });
        QObject::connect(&finish_, &QTimer::timeout, this, [this] { Stop(); });
    }
    ~TSinkPlayer() override { Stop(); }

    bool Play(const TWaveImageFormat& wave) {
        if (sink_) return false;
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) return false;
        QAudioFormat format;
        format.setSampleRate(wave.SampleRate);
        format.setChannelCount(wave.Channels);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format)) return false;

        data_ = wave.Data;
        size_ = qint64(wave.DataSize);
        written_ = 0;
        frameBytes_ = 2 * wave.Channels;
        durationMs_ = size_ / frameBytes_ * 1000 / wave.SampleRate;
        sink_ = std::make_unique<QAudioSink>(device, format);
        QObject::connect(sink_.get(), &QAudioSink::stateChanged, this, [this](QAudio::State state) {
            // The device gave up (lost server, device error): the sound is over.
            if (state == QAudio::StoppedState && sink_ && sink_->error() != QAudio::NoError)
                QTimer::singleShot(0, this, [this] { Stop(); });
        });
        // Room for a quarter of a second: the GUI thread may be busy that long between top-ups.
        sink_->setBufferSize(format.bytesForDuration(DeviceBufferUs));
        device_ = sink_->start();
        if (!device_ || sink_->error() != QAudio::NoError || sink_->state() == QAudio::StoppedState) {
            Stop();
            return false;
        }
        started_.start();
        Feed();
        if (sink_) feeder_.start(FeedPeriodMs);
        return sink_ != nullptr;
    }

    bool IsPlaying() const { return sink_ != nullptr; }

    void Stop() {
        feeder_.stop();
        finish_.stop();
        if (sink_) {
            sink_->disconnect(this);
            sink_->stop();
        }
        sink_.reset();
        device_ = nullptr;
        data_ = nullptr;
    }

  private:
    static constexpr int FeedPeriodMs = 10;
    static constexpr qint64 DeviceBufferUs = 250000;
    static constexpr qint64 StallLimitMs = 2000;

    // Hands the device as much of the image as it has room for.
    void Feed() {
        if (!sink_ || finish_.isActive()) return;
        // A device that stopped taking bytes (a server gone away) must not hold the program's one
        // sound forever.
        if (started_.elapsed() > durationMs_ + StallLimitMs) {
            Stop();
            return;
        }
        while (written_ < size_) {
            qint64 room = sink_->bytesFree();
            room -= room % frameBytes_;
            if (room <= 0) break;
            const qint64 n = device_->write(reinterpret_cast<const char*>(data_) + written_,
                                            std::min(room, size_ - written_));
            if (n <= 0) break;
            if (written_ == 0 && FirstAudioBufferObserver) FirstAudioBufferObserver();
            written_ += n;
        }
        if (written_ < size_) return;
        // Every byte is with the device: the image is no longer read, and the sound ends once
        // what the device holds has been heard.
        feeder_.stop();
        const qint64 bufferMs = sink_->format().durationForBytes(sink_->bufferSize()) / 1000;
        const qint64 left = std::max<qint64>(0, durationMs_ - started_.elapsed()) + bufferMs + FeedPeriodMs;
        finish_.start(int(left));
    }

    std::unique_ptr<QAudioSink> sink_;     // present exactly while a sound plays
    QIODevice* device_ = nullptr;          // the sink's own input; owned by the sink
    const unsigned char* data_ = nullptr;  // the image's PCM; unchanged while playing
    qint64 size_ = 0;
    qint64 written_ = 0;
    int frameBytes_ = 2;
    qint64 durationMs_ = 0;
    QElapsedTimer started_;
    QTimer feeder_;  // tops the device up while bytes are left
    QTimer finish_;  // from the last byte handed over to the end of the sound
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
    const uint64_t end = uint64_t(ReadU32(image + 4)) + 8;
    uint64_t at = 12;
    bool haveFormat = false;
    while (at + 8 <= end) {
        const unsigned char* chunk = image + at;
        const uint32_t size = ReadU32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || at + 8 + 16 > end) return false;
            const unsigned char* f = chunk + 8;
            const uint16_t tag = ReadU16(f);
            const uint16_t channels = ReadU16(f + 2);
            const uint32_t rate = ReadU32(f + 4);
            const uint16_t bits = ReadU16(f + 14);
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
