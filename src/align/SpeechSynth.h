#pragma once
// Text to speech through the eSpeak NG library, into memory. The library is one state per
// process: every use goes through the one owner here, which serialises callers with a mutex.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// Positions of the editor's timeline per second; synthesized speech is delivered at this rate too.
inline constexpr int AlignRate = 11025;

class TSpeechSynth {
  public:
    // The process's one synthesizer, initialised on first use.
    static TSpeechSynth& Instance();

    // False when the library or its data could not be initialised.
    bool Available();
    // True when a voice of that name (a language such as "en", "ru", or a voice such as "en-us")
    // exists.
    bool HasVoice(const std::string& voice);
    // Speaks UTF-8 text with the voice at `rate` words per minute; the speech at AlignRate
    // positions per second, silence at both ends removed. False when the voice is missing, the
    // library fails or cancel is set.
    bool Speak(const std::string& voice,
               int rate,
               const std::string& utf8Text,
               std::vector<int16_t>& speech,
               const std::atomic<bool>* cancel = nullptr);

    TSpeechSynth(const TSpeechSynth&) = delete;
    TSpeechSynth& operator=(const TSpeechSynth&) = delete;

  private:
    TSpeechSynth();
    ~TSpeechSynth();
    bool SelectVoice(const std::string& voice);

    std::mutex mutex_;
    bool initialised_ = false;
    int sampleRate_ = 0;
    std::string currentVoice_;
    int currentRate_ = 0;
};

// Halves a 22050-per-second signal to 11025 through a low-pass filter; other rates are resampled
// linearly after the filter. Kept apart so that tests can check it without the library.
std::vector<int16_t> ResampleToAlignRate(const std::vector<int16_t>& in, int inRate);
