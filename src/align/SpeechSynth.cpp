#include "SpeechSynth.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Where the callback puts the samples of the call in progress; only touched under the owner's
// mutex, because the library keeps no per-call context for the callback.
std::vector<int16_t>* CurrentSink = nullptr;
const std::atomic<bool>* CurrentCancel = nullptr;

int SynthCallback(short* wav, int numsamples, espeak_EVENT*) {
    if (wav && numsamples > 0 && CurrentSink) CurrentSink->insert(CurrentSink->end(), wav, wav + numsamples);
    // 1 stops the synthesis.
    return CurrentCancel && CurrentCancel->load(std::memory_order_relaxed) ? 1 : 0;
}

// Samples this close to zero at the ends count as silence.
constexpr int SilenceLevel = 16;

void TrimSilence(std::vector<int16_t>& s) {
    auto loud = [](int16_t v) { return std::abs(int(v)) > SilenceLevel; };
    const auto first = std::find_if(s.begin(), s.end(), loud);
    if (first == s.end()) {
        s.clear();
        return;
    }
    const auto last = std::find_if(s.rbegin(), s.rend(), loud).base();
    s = std::vector<int16_t>(first, last);
}

}  // namespace

std::vector<int16_t> ResampleToAlignRate(const std::vector<int16_t>& in, int inRate) {
    if (inRate == AlignRate || in.empty()) return in;
    // Windowed-sinc low-pass below the lower of the two Nyquist rates.
    const double cutoff = 0.45 * std::min(inRate, AlignRate) / inRate;  // cycles per input sample
    constexpr int Half = 24;
    std::vector<double> taps(2 * Half + 1);
    double sum = 0.0;
    for (int k = -Half; k <= Half; ++k) {
        const double x = 2.0 * cutoff * k;
        const double sinc = k == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
        const double window = 0.54 + 0.46 * std::cos(std::numbers::pi * k / Half);
        taps[size_t(k + Half)] = 2.0 * cutoff * sinc * window;
        sum += taps[size_t(k + Half)];
    }
    for (double& t : taps) t /= sum;
    auto filtered = [&](int64_t i) {
        double acc = 0.0;
        for (int k = -Half; k <= Half; ++k) {
            const int64_t j = i + k;
            if (j >= 0 && j < int64_t(in.size())) acc += taps[size_t(k + Half)] * in[size_t(j)];
        }
        return acc;
    };
    const double step = double(inRate) / AlignRate;
    const auto outCount = int64_t(double(in.size()) / step);
    std::vector<int16_t> out(size_t(std::max<int64_t>(outCount, 0)));
    for (int64_t n = 0; n < outCount; ++n) {
        const double pos = double(n) * step;
        const auto i = int64_t(pos);
        const double frac = pos - double(i);
        double v = filtered(i);
        if (frac > 1e-9) v += frac * (filtered(i + 1) - v);
        out[size_t(n)] = int16_t(std::clamp(std::lround(v), -32768L, 32767L));
    }
    return out;
}

TSpeechSynth& TSpeechSynth::Instance() {
    // Lives until the process ends; the library's own state does too.
    static TSpeechSynth synth;
    return synth;
}

TSpeechSynth::TSpeechSynth() {
    // The data path is the library's default; DONT_EXIT keeps a missing data folder from ending
    // the process.
    sampleRate_ = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
    initialised_ = sampleRate_ > 0;
    if (initialised_) espeak_SetSynthCallback(SynthCallback);
}

TSpeechSynth::~TSpeechSynth() {
    if (initialised_) espeak_Terminate();
}

bool TSpeechSynth::Available() {
    std::lock_guard lock(mutex_);
    return initialised_;
}

bool TSpeechSynth::SelectVoice(const std::string& voice) {
    if (voice == currentVoice_) return true;
    if (voice.empty() || espeak_SetVoiceByName(voice.c_str()) != EE_OK) return false;
    currentVoice_ = voice;
    currentRate_ = 0;
    return true;
}

bool TSpeechSynth::HasVoice(const std::string& voice) {
    std::lock_guard lock(mutex_);
    return initialised_ && SelectVoice(voice);
}

bool TSpeechSynth::Speak(const std::string& voice,
                         int rate,
                         const std::string& utf8Text,
                         std::vector<int16_t>& speech,
                         const std::atomic<bool>* cancel) {
    std::lock_guard lock(mutex_);
    speech.clear();
    if (!initialised_ || !SelectVoice(voice)) return false;
    if (rate != currentRate_) {
        if (espeak_SetParameter(espeakRATE, rate, 0) != EE_OK) return false;
        currentRate_ = rate;
    }
    std::vector<int16_t> raw;
    CurrentSink = &raw;
    CurrentCancel = cancel;
    const espeak_ERROR err = espeak_Synth(utf8Text.c_str(), utf8Text.size() + 1, 0, POS_CHARACTER, 0,
                                          espeakCHARS_UTF8, nullptr, nullptr);
    const espeak_ERROR sync = espeak_Synchronize();
    CurrentSink = nullptr;
    CurrentCancel = nullptr;
    if (err != EE_OK || sync != EE_OK) return false;
    if (cancel && cancel->load()) return false;
    speech = ResampleToAlignRate(raw, sampleRate_);
    TrimSilence(speech);
    return true;
}
