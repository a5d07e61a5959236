// Decoding the recording onto the timeline: the measuring pass, then the main pass of ten frames
// at a time, split for a long recording into contiguous ranges decoded side by side. The split
// never shows in the result: every range after the first starts where its own decoder provably
// reaches the state the single pass would have there, and the positions two ranges share are
// written in the single pass's order after the join.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

#include "ChunkMapper.h"
#include "RangeDecoder.h"
#include "TMyPlayer0802.h"
#include "Timeline.h"

namespace {

// Frames with a length: the last table entry only closes the frame before it.
int32_t FramesWithLength(int32_t frameCount) { return frameCount > 0 ? frameCount - 1 : 0; }

constexpr int32_t MaxRanges = 8;
// Below this many frames per range (about 26 s at 44100 Hz) the threads are not worth starting.
constexpr int32_t MinFramesPerRange = 1000;
// MPEG-1's bit reservoir reaches back at most 511 bytes, and its smallest frame (32 kbit/s at
// 48 kHz, stereo, with CRC) carries 58 bytes of main data, so nine frames hold any reservoir; one
// more rebuilds the overlap of the hybrid filter bank and the synthesis filter's memory. Two
// chunks rebuild the state (tests show three frames are enough at 128 kbit/s, nine at 32); the
// third is decoded from that state and compared with what the range before produced for it.
constexpr int32_t DefaultWarmupChunks = 3;
// The synthesis filter's window turns by one slot every 32 samples and its rounding depends on
// the slot, which comes round every 8 frames at the latest. The single pass has decoded the 30
// frames of the measuring pass more than a range decoder has decoded its warm-up beyond the
// range's start: ranges start where the two counts agree modulo 40 frames.
constexpr int32_t PhaseFrames = 40;
constexpr int32_t MeasuredFrames = 30;
// Positions at the start of a range that the range before may write as well (its last sample
// frame can round onto the first position of the next chunk): held back and written in order
// after the join. A range spans thousands of positions; a rounding reaches one.
constexpr int32_t SharedPositions = 64;

// Streams whose decoding is shown to converge from any frame after a two-chunk warm-up: MPEG-1
// Layers II and III, mono and stereo, CBR and VBR. The lower sampling frequencies of MPEG-2 and
// 2.5 are not: their Layer III output depends, in a few chunks in a hundred, on more of the past
// than any warm-up rebuilds, so they are decoded in one pass.
bool ConvergesFromAnyFrame(int32_t mpegVersion, int32_t layer) {
    return mpegVersion == 1 && (layer == 2 || layer == 3);
}

int32_t FramesInChunk(int32_t chunkStart, int32_t frameCount) {
    return std::min(chunkStart + 10, frameCount - 1) - chunkStart;
}

// Steps the progress bar to `done` chunks one position at a time, as the single pass moves it.
class TProgressSteps {
  public:
    explicit TProgressSteps(TProgressSink* sink) : sink_(sink) {}
    void To(int32_t done) {
        for (; reported_ < done; ++reported_) {
            if (sink_ != nullptr) sink_->SetPosition(reported_);
        }
    }
    int32_t Reported() const { return reported_; }

  private:
    TProgressSink* sink_;
    int32_t reported_ = 0;
};

}  // namespace

int32_t TMyPlayer0802::ChunkBytes(int32_t& first, int32_t end) const {
    first = std::max(first, 0);
    end = std::min(end, FramesWithLength(FrameCount));
    int32_t staged = 0;
    for (int32_t i = first; i < end; ++i) {
        const int32_t length = FrameOffsets[i + 1] - FrameOffsets[i];
        if (length > InBufferSize - staged) break;
        staged += length;
    }
    return staged;
}

int32_t TMyPlayer0802::DecodeFrames(int32_t first, int32_t end) {
    if (FileData == nullptr || FrameOffsets == nullptr) return 0;
    const int32_t staged = ChunkBytes(first, end);
    // Consecutive frames lie back to back in the file: one copy stages them all.
    if (staged > 0) std::memcpy(InBuffer, FileData + FrameOffsets[first], static_cast<size_t>(staged));
    return DecodeStaged(staged);
}

int32_t TMyPlayer0802::DecodeFramesWith(TDecoderState& decoder,
                                        int32_t first,
                                        int32_t end,
                                        unsigned char* pcm) const {
    if (FileData == nullptr || FrameOffsets == nullptr) return 0;
    const int32_t staged = ChunkBytes(first, end);
    return DrainDecoder(decoder, staged > 0 ? FileData + FrameOffsets[first] : nullptr, staged, pcm);
}

int32_t TMyPlayer0802::DecodeStaged(int32_t stagedBytes) {
    return DrainDecoder(DecoderState, InBuffer, stagedBytes, WaveImage);
}

int32_t TMyPlayer0802::DrainDecoder(TDecoderState& decoder,
                                    const unsigned char* input,
                                    int32_t inputSize,
                                    unsigned char* pcm) {
    // Each frame goes straight to its place in pcm while a whole output area fits there; near
    // the end the scratch area takes it, and PCM beyond pcm's WaveImageSize bytes is dropped.
    unsigned char scratch[DecodeScratchSize];
    int32_t stored = 0;
    for (;;) {
        const bool direct = WaveImageSize - stored >= DecodeOutputCapacity;
        unsigned char* out = direct ? pcm + stored : scratch;
        int produced = 0;
        if (decodeMP3(&decoder, input, inputSize, out, DecodeOutputCapacity, &produced) != MP3_OK) break;
        input = nullptr;
        inputSize = 0;
        const int32_t kept = std::min(std::max(produced, 0), WaveImageSize - stored);
        if (!direct) std::memcpy(pcm + stored, scratch, static_cast<size_t>(kept));
        stored += kept;
    }
    return stored;
}

// A full recording measures on frames 20 to 29, after the decoder has settled; a shorter one on
// every frame it has. The decoder is not reset afterwards: the main pass follows on its state.
int64_t TMyPlayer0802::MeasureTimeline() {
    const int32_t frameCount = FileData != nullptr && FrameOffsets != nullptr ? FrameCount : 0;
    const int32_t usable = FramesWithLength(frameCount);
    if (usable == 0 || Channels <= 0 || SampleRate <= 0) return 0;
    int32_t pcmBytesPerFrame = 0;
    if (usable >= MeasuredFrames) {
        DecodeFrames(0, 10);
        DecodeFrames(10, 20);
        pcmBytesPerFrame = DecodeFrames(20, 30) / 10;
    } else {
        int64_t bytes = 0;
        for (int32_t first = 0; first < usable; first += 10)
            bytes += DecodeFrames(first, std::min(first + 10, usable));
        pcmBytesPerFrame = static_cast<int32_t>(bytes / usable);
    }
    FrameDuration = FrameDurationOf(pcmBytesPerFrame, Channels, SampleRate);
    return TimelineLength(frameCount, FrameDuration);
}

// The first frame of every range; one range (0) when the recording is short, its stream is not
// one that converges, or the machine has one core.
std::vector<int32_t> TMyPlayer0802::PlanRanges(int32_t sampleCount, int32_t warmupFrames) const {
    const std::vector<int32_t> single = {0};
    int32_t wanted = DecodeOverride.Ranges;
    if (wanted <= 0) {
        wanted = static_cast<int32_t>(std::min<unsigned>(std::thread::hardware_concurrency(), MaxRanges));
        wanted = std::min(wanted, FrameCount / MinFramesPerRange);
    }
    wanted = std::min(wanted, MaxRanges);
    if (wanted <= 1 || FramesWithLength(FrameCount) < MeasuredFrames) return single;
    if (!DecodeOverride.AnyStream && !ConvergesFromAnyFrame(MpegVersion, Layer)) return single;

    // Candidates: chunk starts at the right phase, with the whole warm-up inside the recording
    // and at least one frame after them.
    int32_t firstCandidate = ((warmupFrames - MeasuredFrames) % PhaseFrames + PhaseFrames) % PhaseFrames;
    while (firstCandidate < warmupFrames) firstCandidate += PhaseFrames;
    std::vector<int32_t> starts = single;
    for (int32_t r = 1; r < wanted; ++r) {
        const int64_t target = static_cast<int64_t>(FrameCount) * r / wanted;
        const int64_t steps = std::max<int64_t>(0, (target - firstCandidate + PhaseFrames / 2) / PhaseFrames);
        const int64_t start = firstCandidate + steps * PhaseFrames;
        if (start > starts.back() && start < FrameCount - 1) starts.push_back(static_cast<int32_t>(start));
    }
    // Every range must span more positions than the ones it shares with its neighbours.
    int64_t previous = -2 * SharedPositions;
    for (const int32_t start : starts) {
        const int64_t position = TChunkMapper::ChunkStartPosition(start, FrameDuration);
        if (position - previous < 2 * SharedPositions || position >= sampleCount) return single;
        previous = position;
    }
    return starts;
}

void TMyPlayer0802::DecodeInOrder(int16_t* samples, int32_t sampleCount, TProgressSink* progress) {
    TChunkMapper mapper(samples, sampleCount, Channels, FrameDuration);
    for (int32_t chunkStart = 0; chunkStart < FrameCount; chunkStart += 10) {
        const int32_t framesInChunk = FramesInChunk(chunkStart, FrameCount);
        const int32_t pcmBytes = DecodeFrames(chunkStart, chunkStart + framesInChunk);
        mapper.Map(WaveImage, chunkStart, framesInChunk, pcmBytes);
        if (progress != nullptr) progress->SetPosition(chunkStart / 10);
    }
}

void TMyPlayer0802::DecodeInRanges(int16_t* samples,
                                   int32_t sampleCount,
                                   const std::vector<int32_t>& starts,
                                   int32_t warmupFrames,
                                   TProgressSink* progress) {
    const auto ranges = static_cast<int32_t>(starts.size());
    // The first position of each range; a range writes at once only from there (after the
    // positions it shares with the range before) up to the next range's first position.
    std::vector<int32_t> firstPosition(starts.size() + 1, TChunkMapper::Everywhere);
    for (int32_t r = 0; r < ranges; ++r)
        firstPosition[r] = static_cast<int32_t>(TChunkMapper::ChunkStartPosition(starts[r], FrameDuration));

    std::vector<std::unique_ptr<TRangeDecoder>> workers;
    for (int32_t r = 1; r < ranges; ++r) {
        const int32_t end = r + 1 < ranges ? starts[r + 1] : FrameCount;
        workers.push_back(std::make_unique<TRangeDecoder>(*this, samples, sampleCount, starts[r], end,
                                                          warmupFrames, r == DecodeOverride.FailRange));
        workers.back()->Mapper().SetDirectZone(firstPosition[r] + SharedPositions, firstPosition[r + 1]);
    }
    TChunkMapper firstMapper(samples, sampleCount, Channels, FrameDuration);
    firstMapper.SetDirectZone(0, firstPosition[1]);
    std::vector<unsigned char> firstTail;

    TDecodeProgress counter;
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    threads.reserve(workers.size());
    // No thread outlives Decode, whichever way it leaves: the workers write into the buffers.
    struct TJoiner {
        std::atomic<bool>& stop;
        std::vector<std::thread>& threads;
        ~TJoiner() {
            stop.store(true);
            for (std::thread& thread : threads) {
                if (thread.joinable()) thread.join();
            }
        }
    } joiner{stop, threads};
    for (const std::unique_ptr<TRangeDecoder>& worker : workers) {
        counter.RangeStarting();
        try {
            threads.emplace_back(&TRangeDecoder::Run, worker.get(), std::cref(stop), std::ref(counter));
        } catch (const std::system_error&) {
            // No thread to be had: the ranges not started are decoded in order after the join.
            counter.RangeEnded();
            break;
        }
    }

    // The first range goes on from the measuring pass, on the player's own decoder and buffers;
    // the GUI thread moves the progress bar for every range.
    TProgressSteps steps(progress);
    for (int32_t chunkStart = 0; chunkStart < starts[1]; chunkStart += 10) {
        const int32_t framesInChunk = FramesInChunk(chunkStart, FrameCount);
        const int32_t pcmBytes = DecodeFrames(chunkStart, chunkStart + framesInChunk);
        firstMapper.Map(WaveImage, chunkStart, framesInChunk, pcmBytes);
        if (chunkStart + 10 >= starts[1]) firstTail.assign(WaveImage, WaveImage + pcmBytes);
        counter.ChunkDone();
        steps.To(counter.ChunksDone());
    }
    for (bool running = true; running;) steps.To(counter.WaitBeyond(steps.Reported(), running));
    for (std::thread& thread : threads) thread.join();
    steps.To(counter.ChunksDone());
    // A worker that failed (its own buffers could not be had) has not completed: its range and
    // the rest are decoded again in order below, so the samples never come out half written. A
    // fault of the stream itself shows again there, on this thread.

    // Put the ranges together in order. A range is taken when its warm-up ended on the same PCM
    // as the range before it ended on, and the range before wrote nothing into its own positions;
    // from the first range that is not, the rest is decoded again in order.
    TChunkMapper* before = &firstMapper;
    const std::vector<unsigned char>* beforeTail = &firstTail;
    TDecoderState* decoder = &DecoderState;
    int32_t r = 1;
    for (; r < ranges; ++r) {
        TRangeDecoder& worker = *workers[static_cast<size_t>(r - 1)];
        const bool ran = static_cast<size_t>(r - 1) < threads.size() && worker.Completed();
        if (!ran || worker.WarmupTail() != *beforeTail ||
            before->HighestDeferred() >= firstPosition[r] + SharedPositions)
            break;
        before->ApplyDeferred();
        before = &worker.Mapper();
        beforeTail = &worker.LastChunk();
        decoder = &worker.Decoder();
    }
    if (r < ranges) {
        std::fill(samples + firstPosition[r], samples + sampleCount, int16_t{0});
        before->ApplyDeferred();
        TChunkMapper rest(samples, sampleCount, Channels, FrameDuration);
        for (int32_t chunkStart = starts[r]; chunkStart < FrameCount; chunkStart += 10) {
            const int32_t framesInChunk = FramesInChunk(chunkStart, FrameCount);
            const int32_t pcmBytes =
                DecodeFramesWith(*decoder, chunkStart, chunkStart + framesInChunk, WaveImage);
            rest.Map(WaveImage, chunkStart, framesInChunk, pcmBytes);
            steps.To(chunkStart / 10 + 1);
        }
        LastDecode_.RangesRedone = ranges - r;
    } else {
        before->ApplyDeferred();
    }
    // Playback goes on from the state the single pass would have left: the last range's.
    if (decoder != &DecoderState) std::swap(DecoderState.impl, decoder->impl);
}

void TMyPlayer0802::Decode(int16_t** samples, TProgressSink* progress, int32_t* sampleCount) {
    // Until the new buffer exists the places describe an empty one, also when this throws.
    *samples = nullptr;
    *sampleCount = 0;
    LastDecode_ = {};
    const int32_t frameCount = FileData != nullptr && FrameOffsets != nullptr ? FrameCount : 0;
    if (progress != nullptr) {
        progress->SetPosition(0);
        progress->SetMax(frameCount / 10);
        progress->SetVisible(true);
    }
    // Hidden on every way out, an exception included.
    struct THide {
        TProgressSink* progress;
        ~THide() {
            if (progress != nullptr) progress->SetVisible(false);
        }
    } hide{progress};

    const int64_t length = MeasureTimeline();
    // A length past int32 cannot be a buffer of positions: that is running out of memory too.
    if (length > std::numeric_limits<int32_t>::max()) throw std::bad_alloc();
    const int32_t count = static_cast<int32_t>(length);
    int16_t* buffer = AllocateSamples(count);
    *samples = buffer;
    *sampleCount = count;
    if (count == 0) return;

    const int32_t warmupChunks =
        DecodeOverride.WarmupChunks > 0 ? DecodeOverride.WarmupChunks : DefaultWarmupChunks;
    const std::vector<int32_t> starts = PlanRanges(count, warmupChunks * 10);
    LastDecode_.Ranges = static_cast<int32_t>(starts.size());
    if (starts.size() == 1)
        DecodeInOrder(buffer, count, progress);
    else
        DecodeInRanges(buffer, count, starts, warmupChunks * 10, progress);
}
