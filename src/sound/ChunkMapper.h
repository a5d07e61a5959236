#pragma once
// Puts the PCM of one chunk of the main pass onto the timeline: the chunk's sample frames are spread
// evenly over the frames it holds, and each position keeps the first channel of the last sample
// frame that rounds to it. A mapper may own only part of the timeline (its direct zone); writes
// outside it are held back, in order, so that neighbouring ranges decoded at the same time can be
// put together afterwards in the order a single pass would have written them.

#include <cstdint>
#include <limits>
#include <vector>

// A write into the sample buffer held back for its turn.
struct TSampleWrite {
    int32_t position;  // on the timeline, below the buffer's count
    int16_t value;
};

class TChunkMapper {
  public:
    static constexpr int32_t Everywhere = std::numeric_limits<int32_t>::max();

    // samples holds sampleCount positions and outlives the mapper.
    TChunkMapper(int16_t* samples, int32_t sampleCount, int32_t channels, float frameDuration);

    // Positions in [first, end) are written at once; the others are deferred.
    void SetDirectZone(int32_t first, int32_t end);
    // Maps pcmBytes of interleaved 16-bit PCM decoded from framesInChunk frames from firstFrame on.
    void Map(const unsigned char* pcm, int32_t firstFrame, int32_t framesInChunk, int32_t pcmBytes);

    const std::vector<TSampleWrite>& Deferred() const { return deferred_; }
    // The highest position deferred so far, -1 when none.
    int32_t HighestDeferred() const { return highestDeferred_; }
    // Writes the deferred values in the order they were mapped, then forgets them.
    void ApplyDeferred();
    void DropDeferred();

    // The position of the first sample frame of a chunk that starts at `frame`: no sample of that
    // chunk or of a later one lands before it.
    static int64_t ChunkStartPosition(int32_t frame, float frameDuration);

  private:
    // The index before truncation: compared with the buffer first, so that nothing past int32 is
    // converted.
    static double NearestIndex(double chunkStart, float offset);
    float Offset(int32_t j, int32_t sampleFrames, int32_t framesInChunk) const;
    void Put(int32_t position, int16_t value);

    int16_t* samples_;
    int32_t sampleCount_;
    int32_t channels_;
    float frameDuration_;
    int32_t directFirst_ = 0;
    int32_t directEnd_ = Everywhere;
    // Offsets in seconds of a chunk's sample frames from its start depend only on the counts of
    // sample frames and of MPEG frames in the chunk, so full chunks share them.
    static constexpr int32_t CachedFrames = 11520;  // ten frames of 1152 sample frames
    int32_t cachedSampleFrames_ = -1;
    int32_t cachedFramesInChunk_ = -1;
    std::vector<float> offsets_;
    std::vector<int32_t> positions_;  // per chunk: each sample frame's position, -1 past the buffer
    std::vector<TSampleWrite> deferred_;
    int32_t highestDeferred_ = -1;
};
