#pragma once
// Automatic alignment of a text with its narration: every line is spoken by the speech
// synthesizer, the synthesized speech is warped onto the recording, and each line's boundaries
// are then placed in the recording's own pauses. Plain data in, plain data out: no globals.

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TAlignLine {
    QString Text;
    bool Wanted = true;  // a segment is asked for; other lines only help to find the wanted ones
    bool Fixed = false;  // its segment is known and stays: the alignment is split at it
    int32_t Start = 0;   // the fixed segment, positions on the 11025-per-second timeline
    int32_t Finish = 0;
};

struct TAlignRequest {
    const int16_t* Samples = nullptr;  // the recording on the timeline; read only, not kept
    int32_t SampleCount = 0;
    std::vector<TAlignLine> Lines;
    std::string Voice;  // a synthesizer voice or language; empty: chosen from the text
    int Threads = 2;
};

struct TLineSegment {
    bool HasSegment = false;  // false for a line with nothing to speak, a fixed line, or no room
    int32_t Start = 0;
    int32_t Finish = 0;
    float Confidence = 0.0f;  // 0 .. 1
};

enum class TAlignStatus { Ok, NoRecording, NoLines, NoVoice, Cancelled };

struct TAlignResult {
    TAlignStatus Status = TAlignStatus::Ok;
    std::string Voice;                // the voice that spoke the text
    std::vector<TLineSegment> Lines;  // one per request line
};

// done out of total; called from the calling thread.
using TAlignProgress = std::function<void(int done, int total)>;

// Below this a line is reported for checking.
inline constexpr float LowConfidence = 0.5f;

// "ru" when the text holds a Cyrillic letter, otherwise "en".
std::string DetectLanguage(const std::vector<TAlignLine>& lines);
// True when the line has a letter or a digit to speak.
bool IsSpeakable(const QString& text);

TAlignResult AlignLines(const TAlignRequest& request,
                        const TAlignProgress& progress = {},
                        const std::atomic<bool>* cancel = nullptr);
