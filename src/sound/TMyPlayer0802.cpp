#include "TMyPlayer0802.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

#include "Timeline.h"

namespace {

// kbit/s by bitrate index; index 0 (free format) and 15 never pass the header test.
constexpr int32_t Mpeg1Bitrates[3][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
};
// The lower sampling frequencies: one column for Layer I, one shared by Layers II and III.
constexpr int32_t Mpeg2Bitrates[2][16] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};
constexpr int32_t Mpeg1SampleRates[3] = {44100, 48000, 32000};

// The values a header gives the player's five header fields.
struct THeaderFields {
    int32_t MpegVersion;
    int32_t Layer;
    int32_t Bitrate;
    int32_t SampleRate;
    int32_t Channels;
};

// Sync bits, a bitrate (not free format, not 15) and a sample rate (not 3); version and layer
// codes are not tested.
inline bool PassesHeaderTest(const unsigned char* b) {
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return false;
    const uint32_t bitrateIndex = b[2] >> 4;
    return bitrateIndex != 0 && bitrateIndex != 15 && ((b[2] >> 2) & 3) != 3;
}

inline int32_t PaddingOf(const unsigned char* b) { return (b[2] >> 1) & 1; }

THeaderFields DecodeHeader(const unsigned char* b) {
    const uint32_t h = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
    const uint32_t versionCode = (h >> 19) & 3;
    const uint32_t layerCode = (h >> 17) & 3;
    static constexpr int32_t VersionByCode[4] = {3, -1, 2, 1};
    static constexpr int32_t LayerByCode[4] = {-1, 3, 2, 1};
    THeaderFields f{};
    f.MpegVersion = VersionByCode[versionCode];
    f.Layer = LayerByCode[layerCode];
    if (versionCode == 1 || layerCode == 0) {
        f.Bitrate = 1;
    } else if (versionCode == 3) {
        f.Bitrate = Mpeg1Bitrates[f.Layer - 1][(h >> 12) & 15];
    } else {
        f.Bitrate = Mpeg2Bitrates[f.Layer == 1 ? 0 : 1][(h >> 12) & 15];
    }
    if (versionCode == 1) {
        f.SampleRate = 1;
    } else {
        const int32_t divisor = versionCode == 3 ? 1 : versionCode == 2 ? 2 : 4;
        f.SampleRate = Mpeg1SampleRates[(h >> 10) & 3] / divisor;
    }
    f.Channels = ((h >> 6) & 3) == 3 ? 1 : 2;
    return f;
}

float NominalLength(int32_t mpegVersion, int32_t bitrate, int32_t sampleRate) {
    if (sampleRate <= 0) return 0.0f;
    double length = static_cast<double>(bitrate) * 144.0 / static_cast<double>(sampleRate) * 1000.0;
    if (mpegVersion != 1) length *= 0.5;
    return static_cast<float>(length);
}

// The nominal length depends on version and layer (bits 1-4 of the second byte) and on the
// bitrate and sample-rate indexes (bits 2-7 of the third): 1024 lengths, worked out once, spare
// the frame table a division per frame.
class TLengthTable {
  public:
    TLengthTable() {
        for (uint32_t key = 0; key < 1024; ++key) {
            const unsigned char b[4] = {0xFF, static_cast<unsigned char>(0xE0 | ((key >> 6) << 1)),
                                        static_cast<unsigned char>((key & 63) << 2), 0};
            if (!PassesHeaderTest(b)) {
                lengths_[key] = 0.0f;  // never looked up: no header has these bits
                continue;
            }
            const THeaderFields f = DecodeHeader(b);
            lengths_[key] = NominalLength(f.MpegVersion, f.Bitrate, f.SampleRate);
        }
    }
    float Of(const unsigned char* b) const { return lengths_[(((b[1] >> 1) & 15u) << 6) | (b[2] >> 2)]; }

  private:
    float lengths_[1024];
};

const TLengthTable& Lengths() {
    static const TLengthTable table;
    return table;
}

}  // namespace

TMyPlayer0802::TMyPlayer0802() {}

TMyPlayer0802::~TMyPlayer0802() { Release(); }

bool TMyPlayer0802::Release() {
    delete[] FileData;
    FileData = nullptr;
    delete[] FrameOffsets;
    FrameOffsets = nullptr;
    // A count without its table would let a later step index a null table.
    FrameCount = 0;
    FrameCapacity_ = 0;
    DataSize_ = 0;
    FileSize_ = 0;
    return true;
}

bool TMyPlayer0802::IsFrameHeader(int32_t position, int32_t& padding) {
    if (FileData == nullptr || position < 0 || static_cast<int64_t>(position) + 4 > DataSize_) return false;
    const unsigned char* b = FileData + position;
    if (!PassesHeaderTest(b)) return false;
    SetHeaderFields(b);
    padding = PaddingOf(b);
    return true;
}

void TMyPlayer0802::SetHeaderFields(const unsigned char* header) {
    const THeaderFields f = DecodeHeader(header);
    MpegVersion = f.MpegVersion;
    Layer = f.Layer;
    Bitrate = f.Bitrate;
    SampleRate = f.SampleRate;
    Channels = f.Channels;
}

float TMyPlayer0802::FrameLength() const { return NominalLength(MpegVersion, Bitrate, SampleRate); }

bool TMyPlayer0802::HeaderAt(int64_t position, int32_t& padding) {
    // Positions past the int32 range lie beyond every file Open accepts, so they hold no header.
    if (position < 0 || position + 4 > DataSize_) return false;
    return IsFrameHeader(static_cast<int32_t>(position), padding);
}

// The next header within four bytes of its nominal distance, or -1. The nominal end s + L is a
// byte offset and is held in double: a float cannot tell neighbouring bytes apart past 16 MiB.
int64_t TMyPlayer0802::FindSuccessor(int64_t start, float length, int32_t padding) {
    const double nominalEnd = static_cast<double>(start) + static_cast<double>(length);
    const double limit = nominalEnd + 4.0;
    int32_t unusedPadding = 0;
    for (int64_t e = static_cast<int64_t>(nominalEnd) + padding; static_cast<double>(e) < limit; ++e) {
        if (HeaderAt(e, unusedPadding)) return e;
    }
    return -1;
}

// Three headers in a row, each at the nominal distance from the one before, mark the first
// frame; a lone sync pattern in a tag or in stray bytes does not.
bool TMyPlayer0802::FindFirstFrame(double& secondLength) {
    const int64_t r = DataSize_;
    int64_t s = 0;
    do {
        int32_t padding = 0;
        // Every header starts with 0xFF and a byte that is not one tests nothing (and writes no
        // field), so the scan jumps from one 0xFF to the next.
        while (s < r - 4) {
            const void* sync = std::memchr(FileData + s, 0xFF, static_cast<size_t>(r - 4 - s));
            if (sync == nullptr) {
                s = r - 4;
                break;
            }
            s = static_cast<const unsigned char*>(sync) - FileData;
            if (HeaderAt(s, padding)) break;
            ++s;
        }
        if (s < r - 4) {
            const int64_t e = FindSuccessor(s, FrameLength(), 0);
            if (e >= 0) {
                const float l2 = FrameLength();
                if (FindSuccessor(e, l2, 0) >= 0) {
                    FirstFrameOffset = static_cast<int32_t>(s);
                    secondLength = l2;
                    return true;
                }
            }
        }
        ++s;
    } while (s < r - 4000);
    return false;
}

void TMyPlayer0802::AppendFrame(int64_t offset) {
    if (FrameCount == FrameCapacity_) {
        // Variable-bitrate streams outgrow the estimate taken from one frame.
        const int64_t grown = std::max<int64_t>(16, static_cast<int64_t>(FrameCapacity_) * 2);
        const int32_t capacity =
            static_cast<int32_t>(std::min<int64_t>(grown, std::numeric_limits<int32_t>::max()));
        int32_t* table = new int32_t[capacity];
        if (FrameCount > 0)
            std::memcpy(table, FrameOffsets, sizeof(int32_t) * static_cast<size_t>(FrameCount));
        delete[] FrameOffsets;
        FrameOffsets = table;
        FrameCapacity_ = capacity;
    }
    FrameOffsets[FrameCount++] = static_cast<int32_t>(offset);
}

void TMyPlayer0802::BuildFrameTable(double secondLength) {
    // Every frame advances at least one byte, so no stream holds more frames than bytes; an
    // unusable length (5 bytes or less) gives no estimate and the table grows from a small start.
    int64_t estimate = 16;
    if (secondLength > 5.0)
        estimate = static_cast<int64_t>(static_cast<double>(FileSize_) / (secondLength - 5.0));
    // At most one entry per byte, but never fewer than 16 (a file of a few bytes has fewer bytes).
    estimate = std::max<int64_t>(16, std::min<int64_t>(estimate, DataSize_ + 1));
    delete[] FrameOffsets;
    FrameOffsets = new int32_t[estimate];
    FrameCapacity_ = static_cast<int32_t>(estimate);
    FrameCount = 0;

    // The chain of headers, each tested where the one before puts it, in one loop over memory.
    // The header fields are those of the last header accepted, set once at the end; the test at
    // the top of the loop accepts the successor found the round before, so that is the last
    // successor found, or the first frame when none was.
    const unsigned char* data = FileData;
    const int64_t r = DataSize_;
    const TLengthTable& lengths = Lengths();
    const auto passes = [&](int64_t at) { return at >= 0 && at + 4 <= r && PassesHeaderTest(data + at); };
    int64_t s = FirstFrameOffset;
    int64_t lastAccepted = -1;
    for (;;) {
        if (!passes(s)) break;
        lastAccepted = s;
        const float length = lengths.Of(data + s);
        // The nominal end is a byte offset held in double: a float cannot tell neighbouring
        // bytes apart past 16 MiB.
        const double nominalEnd = static_cast<double>(s) + static_cast<double>(length);
        const double limit = nominalEnd + 4.0;
        int64_t e = static_cast<int64_t>(nominalEnd) + PaddingOf(data + s);
        while (static_cast<double>(e) < limit && !passes(e)) ++e;
        if (!(static_cast<double>(e) < limit)) break;
        lastAccepted = e;
        if (FrameCount < FrameCapacity_) [[likely]]
            FrameOffsets[FrameCount++] = static_cast<int32_t>(s);
        else
            AppendFrame(s);
        s = e;
        if (!(static_cast<double>(r) - static_cast<double>(length) > static_cast<double>(s))) break;
    }
    if (lastAccepted >= 0) SetHeaderFields(data + lastAccepted);
}

// Reads the whole file into FileData. Opened without blocking and read only when it is a regular
// file: opening a FIFO would otherwise wait for a writer, and a device could be read forever.
bool TMyPlayer0802::ReadFile() {
    const QByteArray path = QFile::encodeName(FileName);
    const int fd = path.isEmpty() ? -1 : ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        ReadFailed_ = true;
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        ReadFailed_ = true;
        return false;
    }
    // Frame offsets are 32-bit; a larger file cannot be described by the table.
    if (info.st_size >= std::numeric_limits<int32_t>::max()) {
        ::close(fd);
        return false;
    }
    const int64_t size = info.st_size;
    FileData = new unsigned char[static_cast<size_t>(size) + 1];
    int64_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, FileData + got, static_cast<size_t>(size - got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ReadFailed_ = true;
        if (n <= 0) break;
        got += n;
    }
    ::close(fd);
    // A file that shrank while it was read is searched as far as it was read.
    FileData[got] = 0;
    DataSize_ = got;
    FileSize_ = size;
    return !ReadFailed_;
}

bool TMyPlayer0802::Open() {
    InitMP3(&DecoderState);
    // Open normally follows Release; a second Open must not leak the first file.
    delete[] FileData;
    FileData = nullptr;
    DataSize_ = 0;
    FileSize_ = 0;
    ReadFailed_ = false;

    double secondLength = 0.0;
    if (!ReadFile() || !FindFirstFrame(secondLength)) {
        delete[] FileData;
        FileData = nullptr;
        DataSize_ = 0;
        FileSize_ = 0;
        return false;
    }
    BuildFrameTable(secondLength);
    return true;
}
