#pragma once
// Pauses of a recording: where the energy stays near the recording's own noise floor. The
// thresholds adapt to each recording (its noise floor and speech level), so that noise, another
// voice or another microphone move them with it.

#include <cstdint>
#include <vector>

// Energy in blocks of Step positions (5 ms), dB of the block's mean square: of the signal, and of
// its first difference, which weighs the high frequencies where fricatives and bursts lie and
// where hum and pink noise are weak.
struct TEnergyTrack {
    static constexpr int Step = 55;
    std::vector<float> Db;
    std::vector<float> HighDb;
    int64_t Blocks() const { return int64_t(Db.size()); }
};

struct TLevels {
    float Floor = 0.0f;      // dB of the quiet blocks (a low percentile)
    float Speech = 0.0f;     // dB of the loud blocks (a high percentile)
    float Threshold = 0.0f;  // below it (smoothed) a block belongs to a pause
    float Edge = 0.0f;       // above it a block at a pause's edge still holds speech
};

// A run of quiet blocks. Begin .. End are the positions of the quiet run; SpeechEnd is where the
// speech before it fades into the noise floor, SpeechStart where the speech after it rises out
// of it (SpeechEnd <= SpeechStart, both inside Begin .. End).
struct TPause {
    int64_t Begin = 0;
    int64_t End = 0;
    int64_t SpeechEnd = 0;
    int64_t SpeechStart = 0;
    int64_t Length() const { return SpeechStart - SpeechEnd; }
};

TEnergyTrack MeasureEnergy(const int16_t* samples, int64_t count);
// Levels of a series of dB values (blocks or frames).
TLevels EstimateLevels(const std::vector<float>& db);
// Quiet runs of at least minLength positions, in order; a run at the very start or end of the
// recording counts too. A block is quiet when both of its energies are below their thresholds
// (levels of Db, high of HighDb).
std::vector<TPause> FindPauses(const TEnergyTrack& track,
                               const TLevels& levels,
                               const TLevels& high,
                               int64_t minLength);
// Raises the edges (and thresholds, to at least the edges) of levels and high to the upper
// fluctuations of the noise inside the pauses found with them, so that a pause's speech edges are
// where the speech stands out of this recording's noise, not where the noise itself flickers (brown
// noise and hum wander several dB from block to block). Unchanged when the pauses hold too little.
void FitEdgesToNoise(const TEnergyTrack& track,
                     const std::vector<TPause>& pauses,
                     TLevels& levels,
                     TLevels& high);
// How far a line's speech goes on under the noise after lastSpeech, positions: its fading level
// just before lastSpeech, carried on at the same slope, from the edge down to tailDb below the
// line's loudest block (from firstSpeech on). 0 where the edge lies tailDb or more below that
// block: the tail was followed to its end.
int64_t HiddenTail(
    const TEnergyTrack& track, float edge, int64_t firstSpeech, int64_t lastSpeech, float tailDb);
// The quietest position within from .. to (smoothed over 15 ms), for a boundary where no pause is.
int64_t QuietestPosition(const TEnergyTrack& track, int64_t from, int64_t to);
