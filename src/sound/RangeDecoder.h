#pragma once
// One range of Decode's main pass, decoded on a thread of its own. Its decoder first decodes the
// chunks just before the range and throws their PCM away, which rebuilds the bit reservoir and
// the filter memory; the last of those chunks is kept, so that it can be compared with what the
// range before produced for the same frames. Then the range's chunks are mapped onto the timeline
// exactly as the main pass maps them.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "ChunkMapper.h"
#include "Mp3Decoder.h"

class TMyPlayer0802;

// Chunks mapped so far by every range, and the ranges still running. Ranges report here from
// their threads; the GUI thread waits on it to move the progress bar.
class TDecodeProgress {
  public:
    void ChunkDone();
    void RangeStarting();
    void RangeEnded();
    int32_t ChunksDone();
    // Blocks until more than `seen` chunks are done or no range runs any more; returns the chunks
    // done and whether ranges still run.
    int32_t WaitBeyond(int32_t seen, bool& running);

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int32_t chunks_ = 0;
    int32_t running_ = 0;
};

class TRangeDecoder {
  public:
    // Chunks from `first` (a chunk start) while below `end`, warm-up from first - warmupFrames.
    // The player, the sample buffer and the flags outlive the decoder; the player is only read.
    TRangeDecoder(const TMyPlayer0802& player,
                  int16_t* samples,
                  int32_t sampleCount,
                  int32_t first,
                  int32_t end,
                  int32_t warmupFrames,
                  bool failOnStart);

    // The thread's body. Never throws: a range that failed is left not completed, for the GUI
    // thread to decode in order. Stops between chunks once `stop` is set.
    void Run(const std::atomic<bool>& stop, TDecodeProgress& progress) noexcept;

    bool Completed() const { return completed_; }
    // PCM of the last warm-up chunk and of the range's own last chunk.
    const std::vector<unsigned char>& WarmupTail() const { return warmupTail_; }
    const std::vector<unsigned char>& LastChunk() const { return lastChunk_; }
    TChunkMapper& Mapper() { return mapper_; }
    TDecoderState& Decoder() { return decoder_; }

  private:
    void DecodeRange(const std::atomic<bool>& stop, TDecodeProgress& progress);

    const TMyPlayer0802& player_;
    const int32_t first_;
    const int32_t end_;
    const int32_t warmupFrames_;
    const bool failOnStart_;
    TDecoderState decoder_;
    TChunkMapper mapper_;
    std::unique_ptr<unsigned char[]> pcm_;  // the range's WaveImage; pages untouched stay unused
    std::vector<unsigned char> warmupTail_;
    std::vector<unsigned char> lastChunk_;
    bool completed_ = false;
};
