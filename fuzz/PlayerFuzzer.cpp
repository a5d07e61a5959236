// The player on any bytes as its recording: Open (sync search, frame table), the measurement of
// the timeline and Decode (decoder adapter, mapping onto the timeline). Decode also runs after a
// failed Open, as it must leave a valid, possibly empty, buffer either way.

#include <limits>
#include <memory>
#include <new>

#include "FuzzSupport.h"
#include "TMyPlayer0802.h"
#include "Timeline.h"

namespace {

// 128 MiB of samples.
constexpr int64_t MaxDecodedPositions = 64 * 1024 * 1024;

class TCheckedProgress : public TProgressSink {
  public:
    void SetMax(int max) override {
        FUZZ_CHECK(max >= 0);
        max_ = max;
    }
    void SetPosition(int position) override { FUZZ_CHECK(position >= 0 && position <= max_); }
    void SetVisible(bool) override {}

  private:
    int max_ = 0;
};

void CheckFrameTable(const TMyPlayer0802& player) {
    FUZZ_CHECK(player.FrameCount >= 0 && player.FrameCount <= player.FrameCapacity());
    FUZZ_CHECK(player.FrameCount == 0 || player.FrameOffsets != nullptr);
    for (int32_t i = 0; i < player.FrameCount; ++i) {
        FUZZ_CHECK(player.FrameOffsets[i] >= 0 && player.FrameOffsets[i] + 4 <= player.DataSize());
        if (i > 0) FUZZ_CHECK(player.FrameOffsets[i] > player.FrameOffsets[i - 1]);
    }
    if (player.FrameCount > 0) FUZZ_CHECK(player.FrameOffsets[0] == player.FirstFrameOffset);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString path = ScratchPath("project.mp3");
    // 9 MiB of fixed buffers: one player for the whole run, as in the program.
    static const std::unique_ptr<TMyPlayer0802> player = std::make_unique<TMyPlayer0802>();
    WriteScratch(path, data, size);

    player->Release();
    player->FileName = path;
    const bool opened = player->Open();
    if (opened) {
        CheckFrameTable(*player);
    } else {
        FUZZ_CHECK(player->FileData == nullptr);
    }

    // A stray header can stretch the timeline to hundreds of millions of positions, which Decode
    // allocates and fills sparsely: correct, but gigabytes for the fuzzer. Such inputs are only
    // measured; the rest is decoded afresh (Open resets the decoder the measurement moved on).
    const int64_t length = player->MeasureTimeline();
    FUZZ_CHECK(length >= 0);
    if (length > MaxDecodedPositions && length <= std::numeric_limits<int32_t>::max()) {
        player->Release();
        return 0;
    }
    if (opened) {
        player->Release();
        player->FileName = path;
        FUZZ_CHECK(player->Open());
    }

    int16_t* samples = nullptr;
    int32_t count = -1;
    TCheckedProgress progress;
    try {
        player->Decode(&samples, &progress, &count);
    } catch (const std::bad_alloc&) {
        // A timeline beyond int32: out of memory, and the places describe an empty buffer.
        FUZZ_CHECK(samples == nullptr && count == 0);
        player->Release();
        return 0;
    }
    FUZZ_CHECK(count >= 0);
    FUZZ_CHECK(samples != nullptr);
    // Every position must be addressable: ASan flags a buffer shorter than its count.
    if (count > 0) {
        volatile int16_t last = samples[count - 1];
        (void)last;
    }
    ReleaseSamples(samples);
    player->Release();
    return 0;
}
