#include "RangeDecoder.h"

#include <algorithm>
#include <new>

#include "TMyPlayer0802.h"

void TDecodeProgress::ChunkDone() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++chunks_;
    }
    changed_.notify_one();
}

void TDecodeProgress::RangeStarting() {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++running_;
}

void TDecodeProgress::RangeEnded() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        --running_;
    }
    changed_.notify_one();
}

int32_t TDecodeProgress::ChunksDone() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return chunks_;
}

int32_t TDecodeProgress::WaitBeyond(int32_t seen, bool& running) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return chunks_ > seen || running_ == 0; });
    running = running_ > 0;
    return chunks_;
}

TRangeDecoder::TRangeDecoder(const TMyPlayer0802& player,
                             int16_t* samples,
                             int32_t sampleCount,
                             int32_t first,
                             int32_t end,
                             int32_t warmupFrames,
                             bool failOnStart)
    : player_(player),
      first_(first),
      end_(end),
      warmupFrames_(warmupFrames),
      failOnStart_(failOnStart),
      mapper_(samples, sampleCount, player.Channels, player.FrameDuration) {}

void TRangeDecoder::Run(const std::atomic<bool>& stop, TDecodeProgress& progress) noexcept {
    try {
        DecodeRange(stop, progress);
    } catch (...) {
        // Not completed: the range is decoded again in order.
        completed_ = false;
    }
    progress.RangeEnded();
}

void TRangeDecoder::DecodeRange(const std::atomic<bool>& stop, TDecodeProgress& progress) {
    if (failOnStart_) throw std::bad_alloc();
    InitMP3(&decoder_);
    pcm_.reset(new unsigned char[TMyPlayer0802::WaveImageSize]);
    unsigned char* pcm = pcm_.get();
    // Whole chunks, as the main pass feeds them: a frame left in the queue at the end of one
    // chunk is then decoded with the next, as it would be there.
    for (int32_t chunk = first_ - warmupFrames_; chunk < first_; chunk += 10) {
        const int32_t bytes = player_.DecodeFramesWith(decoder_, chunk, chunk + 10, pcm);
        if (chunk + 10 >= first_) warmupTail_.assign(pcm, pcm + bytes);
    }
    const int32_t frameCount = player_.FrameCount;
    for (int32_t chunk = first_; chunk < end_; chunk += 10) {
        if (stop.load(std::memory_order_relaxed)) return;
        const int32_t framesInChunk = std::min(chunk + 10, frameCount - 1) - chunk;
        const int32_t bytes = player_.DecodeFramesWith(decoder_, chunk, chunk + framesInChunk, pcm);
        mapper_.Map(pcm, chunk, framesInChunk, bytes);
        if (chunk + 10 >= end_) lastChunk_.assign(pcm, pcm + bytes);
        progress.ChunkDone();
    }
    completed_ = true;
}
