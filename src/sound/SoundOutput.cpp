#include "SoundOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QIODevice>
#include <QMediaDevices>
#include <QPointer>
#include <QTimer>
#include <cstring>
#include <memory>

namespace {

uint32_t ReadU32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t ReadU16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }

// Hands the PCM of an image to the sink straight from the image's memory, without a copy.
class TImageReader : public QIODevice {
public:
    TImageReader(const unsigned char* data, qint64 size, QObject* owner)
        : QIODevice(owner), data_(data), size_(size) {}

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return size_ - pos_ + QIODevice::bytesAvailable(); }
    bool atEnd() const override { return pos_ >= size_ && QIODevice::bytesAvailable() == 0; }

protected:
    qint64 readData(char* out, qint64 max) override {
        const qint64 n = std::min(max, size_ - pos_);
        if (n <= 0) return 0;
        if (pos_ == 0 && FirstAudioBufferObserver) FirstAudioBufferObserver();
        std::memcpy(out, data_ + pos_, size_t(n));
        pos_ += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    const unsigned char* data_;  // the image's PCM; not owned, unchanged while playing
    qint64 size_;
    qint64 pos_ = 0;
};

// The one sound of the program on the audio device. Lives on the GUI thread and is driven by its
// event loop; deleted with the application.
class TSinkPlayer : public QObject {
public:
    explicit TSinkPlayer(QObject* owner) : QObject(owner) {}
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

        durationMs_ = qint64(wave.DataSize) / (2 * wave.Channels) * 1000 / wave.SampleRate;
        sink_ = std::make_unique<QAudioSink>(device, format);
        reader_ = std::make_unique<TImageReader>(wave.Data, qint64(wave.DataSize), nullptr);
        reader_->open(QIODevice::ReadOnly);
        QObject::connect(sink_.get(), &QAudioSink::stateChanged, this,
                         [this](QAudio::State state) { StateChanged(state); });
        started_.start();
        sink_->start(reader_.get());
        if (sink_->error() != QAudio::NoError || sink_->state() == QAudio::StoppedState) {
            Stop();
            return false;
        }
        return true;
    }

    bool IsPlaying() const { return sink_ != nullptr; }

    void Stop() {
        finish_.reset();
        if (sink_) {
            sink_->disconnect(this);
            sink_->stop();
        }
        sink_.reset();
        reader_.reset();
    }

private:
    void StateChanged(QAudio::State state) {
        if (!sink_) return;
        if (state == QAudio::StoppedState) {
            // The device gave up (lost server, device error): the sound is over.
            QTimer::singleShot(0, this, [this] { Stop(); });
        } else if (state == QAudio::IdleState && reader_->atEnd() && !finish_) {
            // Every byte is with the device now; the sound ends once the device's buffer has
            // been heard too.
            const qint64 bufferMs =
                sink_->format().durationForBytes(sink_->bufferSize()) / 1000;
            const qint64 left = std::max<qint64>(0, durationMs_ - started_.elapsed()) + bufferMs;
            finish_ = std::make_unique<QTimer>();
            finish_->setSingleShot(true);
            QObject::connect(finish_.get(), &QTimer::timeout, this, [this] { Stop(); });
            finish_->start(int(left));
        }
    }

    std::unique_ptr<QAudioSink> sink_;       // present exactly while a sound plays
    std::unique_ptr<TImageReader> reader_;
    std::unique_ptr<QTimer> finish_;         // runs from the last byte handed over to the end
    QElapsedTimer started_;
    qint64 durationMs_ = 0;
};

QPointer<TSinkPlayer> sinkPlayer;

TSinkPlayer* SinkPlayer() {
    if (!sinkPlayer && QCoreApplication::instance())
        sinkPlayer = new TSinkPlayer(QCoreApplication::instance());
    return sinkPlayer;
}

}  // namespace

bool ParseWaveImage(const unsigned char* image, TWaveImageFormat& format) {
    if (!image || std::memcmp(image, "RIFF", 4) != 0 || std::memcmp(image + 8, "WAVE", 4) != 0)
        return false;
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
