#pragma once
// The player: the project's MP3 recording in memory, its frame table, the decoder state and the
// two fixed buffers that decoding and segment playback work in.

#include <QString>
#include <cstdint>
#include <vector>

#include "Mp3Decoder.h"

// Where Decode reports its progress; the window adapts its progress bar to this.
class TProgressSink {
  public:
    virtual ~TProgressSink() = default;
    virtual void SetMax(int max) = 0;
    virtual void SetPosition(int position) = 0;
    virtual void SetVisible(bool visible) = 0;
};

class TMyPlayer0802 {
  public:
    static constexpr int InBufferSize = 786432;
    static constexpr int WaveImageSize = 8388608;
    static constexpr int DecodeOutputCapacity = 8192;

    QString FileName;
    unsigned char InBuffer[InBufferSize];    // compressed frames staged for the decoder
    TDecoderState DecoderState;              // reset by Open only
    unsigned char WaveImage[WaveImageSize];  // PCM scratch while decoding; the WAVE image played
    unsigned char* FileData = nullptr;       // the whole file, size + 1 bytes; owned
    int32_t FirstFrameOffset = 0;
    int32_t PlayFrom = 0;  // first frame of the segment to play
    int32_t PlayTo = 0;    // end frame of the segment to play, exclusive
    int32_t MpegVersion = 0;
    int32_t Layer = 0;
    int32_t Bitrate = 0;
    int32_t SampleRate = 0;
    int32_t Channels = 0;
    int32_t* FrameOffsets = nullptr;  // ascending byte offsets in FileData; owned
    int32_t FrameCount = 0;
    float FrameDuration = 0.1f;  // seconds per frame, measured by Decode

    TMyPlayer0802();
    ~TMyPlayer0802();
    TMyPlayer0802(const TMyPlayer0802&) = delete;
    TMyPlayer0802& operator=(const TMyPlayer0802&) = delete;

    bool Release();
    // Reads the file named FileName and builds the frame table; false when the file cannot be
    // read or holds no stream. Only a regular file is read: a FIFO or device never blocks it.
    bool Open();
    // True when the last Open could not read its file (missing, not a regular file, read error),
    // false when it read the file, whether or not it found a stream there.
    bool ReadFailed() const { return ReadFailed_; }
    bool IsFrameHeader(int32_t position, int32_t& padding);
    float FrameLength() const;

    // Decodes the whole recording onto the timeline into a new buffer (AllocateSamples). A
    // timeline too long to hold throws std::bad_alloc; the places then describe an empty buffer
    // (null, 0). The main pass runs on every core for a long recording; the result is the same,
    // bit for bit, as one pass in order, and so is the decoder state it leaves for playback.
    void Decode(int16_t** samples, TProgressSink* progress, int32_t* sampleCount);
    // Decodes frames first .. end-1 into WaveImage from its start; returns the bytes produced.
    int32_t DecodeFrames(int32_t first, int32_t end);
    // Feeds the first stagedBytes of InBuffer to the decoder, then takes out frame after frame
    // until it has no complete one left (or fails), storing the PCM in WaveImage from its start.
    // PCM beyond WaveImage is dropped, but the queue is still drained in full so that no stale
    // frame is left for the next decode. Returns the bytes stored.
    int32_t DecodeStaged(int32_t stagedBytes);
    // The measuring pass: decodes frames 0 to 29 (every frame of a shorter recording), sets
    // FrameDuration from the last ten and returns the timeline length Decode allocates
    // (TimelineLength), 0 when no frame has a length. The decoder moves on; Decode follows on its
    // state, and sorvelle-cli measures a recording with it without decoding the rest.
    int64_t MeasureTimeline();

    // The drain of DecodeStaged on any decoder: queues inputSize bytes, takes out every complete
    // frame into pcm (WaveImageSize bytes), drops what does not fit; returns the bytes stored.
    static int32_t DrainDecoder(TDecoderState& decoder,
                                const unsigned char* input,
                                int32_t inputSize,
                                unsigned char* pcm);
    // Frames first .. end-1 decoded by another decoder into its own pcm area, from the same bytes
    // DecodeFrames stages; the player's buffers are not touched, so it may run beside them.
    int32_t DecodeFramesWith(TDecoderState& decoder, int32_t first, int32_t end, unsigned char* pcm) const;

    // How Decode splits its main pass. Tests force several ranges on short recordings and the
    // benchmark forces one; zero fields leave the choice to Decode.
    struct TDecodeOverride {
        int32_t Ranges = 0;        // ranges wanted; 0: as many as the machine has cores
        int32_t WarmupChunks = 0;  // chunks a later range decodes before its own; 0: enough
        bool AnyStream = false;    // split streams too whose decoding is not known to converge
        int32_t FailRange = -1;    // the range whose decoder throws std::bad_alloc on start
    };
    TDecodeOverride DecodeOverride;
    // What the last Decode did: ranges planned, and how many of them were decoded again in order
    // because their start could not be shown to match the range before.
    struct TDecodeReport {
        int32_t Ranges = 0;
        int32_t RangesRedone = 0;
    };
    TDecodeReport LastDecode() const { return LastDecode_; }

    enum TPlayBound { pbStart, pbEnd };
    int32_t SetPlayBound(TPlayBound which, int32_t position);
    void PlaySegment();
    bool PlayWave(int32_t size);

    // Bytes of FileData that were read from the file (the search bound); 0 when none is loaded.
    int64_t DataSize() const { return DataSize_; }
    // Entries FrameOffsets has room for; FrameCount never exceeds it.
    int32_t FrameCapacity() const { return FrameCapacity_; }

  private:
    static constexpr int DecodeScratchSize = 16384;

    bool HeaderAt(int64_t position, int32_t& padding);
    void SetHeaderFields(const unsigned char* header);
    int64_t FindSuccessor(int64_t start, float length, int32_t padding);
    bool ReadFile();
    bool FindFirstFrame(double& secondLength);
    void BuildFrameTable(double secondLength);
    void AppendFrame(int64_t offset);
    // Bytes of frames first .. end-1 (first clamped to the table) that fit InBuffer, as
    // DecodeFrames stages them; they lie back to back in FileData from FrameOffsets[first].
    int32_t ChunkBytes(int32_t& first, int32_t end) const;
    std::vector<int32_t> PlanRanges(int32_t sampleCount, int32_t warmupFrames) const;
    void DecodeInOrder(int16_t* samples, int32_t sampleCount, TProgressSink* progress);
    void DecodeInRanges(int16_t* samples,
                        int32_t sampleCount,
                        const std::vector<int32_t>& starts,
                        int32_t warmupFrames,
                        TProgressSink* progress);

    int64_t DataSize_ = 0;
    int64_t FileSize_ = 0;
    int32_t FrameCapacity_ = 0;
    bool ReadFailed_ = false;
    TDecodeReport LastDecode_;
};
