// The player on any bytes as its recording: Open (sync search, frame table) and Decode (measuring
// pass, decoder adapter, mapping onto the timeline). Decode also runs after a failed Open, as it
// must leave a valid, possibly empty, buffer either way.

#include <memory>

#include "FuzzSupport.h"
#include "TMyPlayer0802.h"

namespace {

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

    int16_t* samples = nullptr;
    int32_t count = -1;
    TCheckedProgress progress;
    player->Decode(&samples, &progress, &count);
    FUZZ_CHECK(count >= 0);
    FUZZ_CHECK(count == 0 || samples != nullptr);
    // Every position must be addressable: ASan flags a buffer shorter than its count.
    if (count > 0) {
        volatile int16_t last = samples[count - 1];
        (void)last;
    }
    delete[] samples;
    player->Release();
    return 0;
}
