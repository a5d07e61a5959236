#pragma once
// Stands in for the audio device: records every image it is asked to play and says "playing"
// until told that the sound ended.

#include <QByteArray>

#include "SoundOutput.h"

class FakeSoundOutput : public TSoundOutput {
  public:
    FakeSoundOutput() { SoundOutputOverride = this; }
    ~FakeSoundOutput() override { SoundOutputOverride = nullptr; }

    bool Play(const unsigned char* image) override {
        ++requests;
        if (playing) return false;
        TWaveImageFormat format;
        if (!ParseWaveImage(image, format)) return false;
        lastImage = image;
        header = QByteArray(reinterpret_cast<const char*>(image), 44);
        pcm = QByteArray(reinterpret_cast<const char*>(format.Data), qsizetype(format.DataSize));
        playing = true;
        ++plays;
        return true;
    }
    bool IsPlaying() override { return playing; }
    void Stop() override {
        playing = false;
        ++stops;
    }

    bool playing = false;
    int requests = 0;  // every call, refused ones included
    int plays = 0;     // sounds started
    int stops = 0;
    const unsigned char* lastImage = nullptr;
    QByteArray header;  // the first 44 bytes of the last image started
    QByteArray pcm;     // the data chunk of the last image started, as the header bounds it
};
