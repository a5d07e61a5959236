#pragma once
// Dynamic time warping of a query sequence (the synthesized speech) into a reference sequence
// (the recording) in bounded memory: a full alignment at low resolution, then at each finer
// resolution only a band around the path found at the coarser one. The query is matched as a
// whole; the reference may begin and end anywhere (subsequence alignment) at a cost per skipped
// frame, so that reference frames that no query frame speaks are passed over.

#include <atomic>
#include <cstdint>
#include <vector>

// Frames of fixed dimension, frame by frame: in Values, or in another sequence's values that
// View points into (which must outlive this one).
struct TSequence {
    int Dim = 0;
    int64_t Count = 0;
    std::vector<float> Values;
    const float* View = nullptr;
    const float* Frame(int64_t i) const { return (View ? View : Values.data()) + i * Dim; }
};

// For each query frame, the reference frames matched to it and the mean local cost there.
struct TWarpRow {
    int64_t First = 0;
    int64_t Last = 0;
    float Cost = 0.0f;
};

struct TWarpOptions {
    int64_t CoarseCells = 16'000'000;  // cells of the full matrix at the coarsest resolution
    int Radius = 16;                   // band half-width around the projected path, in frames
    int Threads = 1;
    // Cost of each reference frame before the query's start or after its end, against the local
    // cost of a matched frame pair: speech that no query frame speaks is passed over when
    // matching it would cost more.
    double SkipCost = 1.0;
};

// Empty when either sequence is empty or cancel is set. Deterministic for any thread count.
std::vector<TWarpRow> WarpSubsequence(const TSequence& query,
                                      const TSequence& reference,
                                      const TWarpOptions& options,
                                      const std::atomic<bool>* cancel = nullptr);
