#include "SoundTestSupport.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "Timeline.h"

QByteArray FrameRun(const QByteArray& header, int length, int count) {
    QByteArray frame = header;
    frame.append(QByteArray(length - header.size(), '\0'));
    QByteArray run;
    for (int i = 0; i < count; ++i) run.append(frame);
    return run;
}

TPlayerFixture::TPlayerFixture() : player_(std::make_unique<TMyPlayer0802>()) {}

TPlayerFixture::~TPlayerFixture() { ReleaseSamples(lastSamples); }

bool TPlayerFixture::OpenBytes(const QByteArray& bytes) {
    const QString path = dir_.filePath("recording.mp3");
    WriteAll(path, bytes);
    return OpenFile(path);
}

bool TPlayerFixture::OpenFile(const QString& path) {
    player_->Release();
    player_->FileName = path;
    return player_->Open();
}

std::vector<int16_t> TPlayerFixture::DecodeAll(TProgressSink* sink) {
    ReleaseSamples(lastSamples);
    lastSamples = nullptr;
    int32_t count = -1;
    player_->Decode(&lastSamples, sink, &count);
    EXPECT_NE(lastSamples, nullptr);
    EXPECT_GE(count, 0);
    if (lastSamples == nullptr || count < 0) return {};
    return std::vector<int16_t>(lastSamples, lastSamples + count);
}

QString Mp3Fixture(const char* name) { return FixturePath(QStringLiteral("mp3/") + QString::fromUtf8(name)); }
