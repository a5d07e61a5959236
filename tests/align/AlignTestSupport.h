#pragma once
// The short narrations of tests/fixtures/align, decoded onto the timeline as the editor decodes
// them, with their lines and the true start and end of every line's speech.

#include <QStringList>
#include <cstdint>
#include <vector>

#include "Aligner.h"

// The decoded timeline lags the recording before encoding by the encoder's and decoder's delay
// (1105 source samples at 22050 Hz).
inline constexpr double CodecDelay = 1105.0 / 22050.0;

struct TSpan {
    int32_t Start = 0;  // positions on the decoded timeline
    int32_t Finish = 0;
};

struct TNarration {
    std::vector<int16_t> Samples;
    QStringList Lines;
    std::vector<TSpan> Truth;  // one per line of speech
};

// NAME.mp3, NAME.txt and NAME.truth of the fixture folder.
TNarration LoadNarration(const char* name);

// A request for every line of the narration, none fixed.
TAlignRequest RequestFor(const TNarration& n);
