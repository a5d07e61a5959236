#include "ChunkMapper.h"

#include <cstring>

#include "Timeline.h"

TChunkMapper::TChunkMapper(int16_t* samples, int32_t sampleCount, int32_t channels, float frameDuration)
    : samples_(samples),
      sampleCount_(sampleCount),
      channels_(channels),
      frameDuration_(frameDuration),
      offsets_(CachedFrames),
      positions_(CachedFrames) {}

void TChunkMapper::SetDirectZone(int32_t first, int32_t end) {
    directFirst_ = first;
    directEnd_ = end;
}

// q = j / n, then x frame duration, then x frames in the chunk, each step a 32-bit float.
float TChunkMapper::Offset(int32_t j, int32_t sampleFrames, int32_t framesInChunk) const {
    float q = static_cast<float>(j) / static_cast<float>(sampleFrames);
    q = q * frameDuration_;
    q = q * static_cast<float>(framesInChunk);
    return q;
}

// t = chunk start + q is held in double, so that no position is skipped however long the
// recording is; the nearest position is taken by adding 0.5 before truncating.
double TChunkMapper::NearestIndex(double chunkStart, float offset) {
    return (chunkStart + static_cast<double>(offset)) * PositionsPerSecond + 0.5;
}

int64_t TChunkMapper::ChunkStartPosition(int32_t frame, float frameDuration) {
    const double chunkStart = static_cast<double>(frame) * static_cast<double>(frameDuration);
    return static_cast<int64_t>(NearestIndex(chunkStart, 0.0f));
}

void TChunkMapper::Put(int32_t position, int16_t value) {
    if (position >= directFirst_ && position < directEnd_) [[likely]] {
        samples_[position] = value;
        return;
    }
    deferred_.push_back({position, value});
    if (position > highestDeferred_) highestDeferred_ = position;
}

void TChunkMapper::Map(const unsigned char* pcm,
                       int32_t firstFrame,
                       int32_t framesInChunk,
                       int32_t pcmBytes) {
    if (channels_ <= 0 || pcmBytes <= 0) return;
    const int32_t sampleFrames = (pcmBytes / 2) / channels_;
    const double chunkStart = static_cast<double>(firstFrame) * static_cast<double>(frameDuration_);
    const double positions = static_cast<double>(sampleCount_);
    const size_t stride = static_cast<size_t>(channels_) * 2;
    // The decoder writes native-endian PCM; the first channel leads each sample frame.
    const auto firstChannel = [&](int32_t j) {
        int16_t value;
        std::memcpy(&value, pcm + static_cast<size_t>(j) * stride, sizeof value);
        return value;
    };
    if (sampleFrames > CachedFrames) {
        for (int32_t j = 0; j < sampleFrames; ++j) {
            const double index = NearestIndex(chunkStart, Offset(j, sampleFrames, framesInChunk));
            if (index < positions) Put(TruncateToInt32(index), firstChannel(j));
        }
        return;
    }
    if (cachedSampleFrames_ != sampleFrames || cachedFramesInChunk_ != framesInChunk) {
        for (int32_t j = 0; j < sampleFrames; ++j) offsets_[j] = Offset(j, sampleFrames, framesInChunk);
        cachedSampleFrames_ = sampleFrames;
        cachedFramesInChunk_ = framesInChunk;
    }
    // Positions first, in a loop free of stores into the buffer so that it vectorises; then the
    // samples, the last sample frame of a position overwriting the earlier ones. Positions never
    // decrease with j, so those past the buffer form a tail that the second loop leaves out.
    const float* offsets = offsets_.data();
    int32_t* at = positions_.data();
    for (int32_t j = 0; j < sampleFrames; ++j) {
        const double index = (chunkStart + static_cast<double>(offsets[j])) * PositionsPerSecond + 0.5;
        at[j] = index < positions ? static_cast<int32_t>(index) : -1;
    }
    int32_t end = sampleFrames;
    while (end > 0 && at[end - 1] < 0) --end;
    if (end > 0 && at[0] >= directFirst_ && at[end - 1] < directEnd_) {
        // The whole chunk lies in the direct zone. A sample frame whose successor lands on the same
        // position would be overwritten at once, so its store goes to a scratch value instead: the
        // buffer sees one store per position, and the loop no branch.
        int16_t* samples = samples_;
        int16_t overwritten = 0;
        for (int32_t j = 0; j + 1 < end; ++j) {
            int16_t* target = at[j] != at[j + 1] ? samples + at[j] : &overwritten;
            *target = firstChannel(j);
        }
        samples[at[end - 1]] = firstChannel(end - 1);
        return;
    }
    for (int32_t j = 0; j < end; ++j) Put(at[j], firstChannel(j));
}

void TChunkMapper::ApplyDeferred() {
    for (const TSampleWrite& write : deferred_) samples_[write.position] = write.value;
    DropDeferred();
}

void TChunkMapper::DropDeferred() {
    deferred_.clear();
    highestDeferred_ = -1;
}
