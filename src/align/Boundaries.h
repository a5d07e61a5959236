#pragma once
// Where each line's boundaries go: into the recording's pauses near the places the warp found.

#include <cstdint>
#include <vector>

#include "Pauses.h"

// The pause chosen for a boundary.
struct TBoundaryChoice {
    int Pause = -1;  // index into the chunk's pauses; -1: none near
    double Distance = 0.0;
};

// Where the warp put a line's speech.
struct TWarpedLine {
    int64_t Start = 0;  // positions the warp maps the line's speech to
    int64_t Finish = 0;
    float Cost = 0.0f;  // mean local cost along the line's path
};

// Boundary b lies before line b (b = 0: the first line's start; b = K: the last line's finish).
// Picks for every boundary a pause near where the warp put it, monotone over the boundaries, by
// a small dynamic programme: near is better, longer is better, no pause at all costs a fixed
// amount.
std::vector<TBoundaryChoice> ChooseBoundaries(const std::vector<TWarpedLine>& warped,
                                              const std::vector<TPause>& pauses);

// The pauses that lie in the stretch begin .. end of the recording, cut at its ends, with a pause
// of no length at an end where the speech begins or ends right there.
std::vector<TPause> ChunkPauses(const std::vector<TPause>& all, int64_t begin, int64_t end);

// 1 for a pause right where the warp put the boundary, falling with the distance; 0 for none.
double PauseQuality(const TBoundaryChoice& choice);
