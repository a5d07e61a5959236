#pragma once
// Helpers for the player's tests: synthetic MPEG streams in memory, a heap-held player, and a
// progress sink that records what Decode reports.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "TMyPlayer0802.h"

// MPEG-1 Layer III, 128 kbit/s, 44100 Hz, joint stereo, no padding: nominal length 417.959 bytes.
inline const QByteArray Mpeg1Header("\xFF\xFB\x90\x64", 4);
// The same with the padding bit set.
inline const QByteArray Mpeg1PaddedHeader("\xFF\xFB\x92\x64", 4);

// count frames of `length` bytes, each a header followed by zero bytes.
QByteArray FrameRun(const QByteArray& header, int length, int count);

// Owns a player on the heap (it holds about 9 MiB of buffers) and the sample buffers it makes.
class TPlayerFixture {
  public:
    TPlayerFixture();
    ~TPlayerFixture();
    TMyPlayer0802& player() { return *player_; }
    const TMyPlayer0802& player() const { return *player_; }
    // Writes the bytes to a file in a temporary folder and opens it.
    bool OpenBytes(const QByteArray& bytes);
    bool OpenFile(const QString& path);
    // Decodes into a buffer that the fixture frees.
    std::vector<int16_t> DecodeAll(TProgressSink* sink = nullptr);
    int16_t* lastSamples = nullptr;

  private:
    QTemporaryDir dir_;
    std::unique_ptr<TMyPlayer0802> player_;
};

QString Mp3Fixture(const char* name);

class TRecordingSink : public TProgressSink {
  public:
    void SetMax(int max) override { calls.push_back("max " + std::to_string(max)); }
    void SetPosition(int position) override { calls.push_back("pos " + std::to_string(position)); }
    void SetVisible(bool visible) override { calls.push_back(visible ? "show" : "hide"); }
    std::vector<std::string> calls;
};
