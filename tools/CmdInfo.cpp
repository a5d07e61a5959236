// sorvelle-cli info FILE.mp3: what the editor finds in a recording and decodes from it.
#include <QString>
#include <cinttypes>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "Commands.h"
#include "TMyPlayer0802.h"
#include "Timeline.h"

namespace {

const char* const InfoUsage = "usage: sorvelle-cli info FILE.mp3";

void PrintInfoHelp() {
    std::printf(
        "%s\n\n"
        "Opens FILE.mp3 and decodes it onto the 11025-per-second timeline exactly as the editor does,\n"
        "then prints one 'key: value' per line:\n"
        "  first_frame_offset  byte offset of the first frame of the stream\n"
        "  frame_count         entries of the frame table\n"
        "  mpeg_version        1 = MPEG-1, 2 = MPEG-2, 3 = MPEG-2.5, -1 = reserved\n"
        "  layer               1, 2 or 3; -1 = reserved\n"
        "  bitrate             kbit/s of the last header accepted\n"
        "  sample_rate         Hz of the last header accepted\n"
        "  channels            1 or 2\n"
        "  frame_duration      seconds per frame, as measured by the decoding\n"
        "  sample_count        positions on the timeline\n"
        "  samples_fnv1a64     FNV-1a 64-bit hash of the positions' 16-bit little-endian bytes\n\n"
        "Exit status: 0 on success, 1 when the file holds no MPEG audio stream or its timeline is too\n"
        "long to hold (out of memory), 2 on a usage error or when the file cannot be read.\n",
        InfoUsage);
}

uint64_t Fnv1a64(const int16_t* samples, int32_t count) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (int32_t i = 0; i < count; ++i) {
        const uint16_t v = static_cast<uint16_t>(samples[i]);
        const unsigned char bytes[2] = {static_cast<unsigned char>(v & 0xFF),
                                        static_cast<unsigned char>(v >> 8)};
        for (unsigned char b : bytes) {
            hash ^= b;
            hash *= 0x100000001b3ull;
        }
    }
    return hash;
}

int RunInfo(const TArgs& args) {
    std::string path;
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            PrintInfoHelp();
            return 0;
        }
        if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "sorvelle-cli info: unknown option '%s' (%s)\n", a.c_str(), InfoUsage);
            return 2;
        }
        if (!path.empty()) {
            std::fprintf(stderr, "sorvelle-cli info: more than one file given (%s)\n", InfoUsage);
            return 2;
        }
        path = a;
    }
    if (path.empty()) {
        std::fprintf(stderr, "sorvelle-cli info: missing FILE.mp3 (%s)\n", InfoUsage);
        return 2;
    }
    const QString name = QString::fromLocal8Bit(path.c_str());
    try {
        // About 9 MiB of fixed buffers: too large for the stack.
        auto player = std::make_unique<TMyPlayer0802>();
        player->FileName = name;
        if (!player->Open()) {
            if (player->ReadFailed()) {
                std::fprintf(stderr, "error: cannot read %s\n", path.c_str());
                return 2;
            }
            std::fprintf(stderr, "error: no MPEG audio stream found in %s\n", path.c_str());
            return 1;
        }
        int16_t* samples = nullptr;
        int32_t sampleCount = 0;
        player->Decode(&samples, nullptr, &sampleCount);
        const std::unique_ptr<int16_t, decltype(&ReleaseSamples)> owner(samples, &ReleaseSamples);

        std::printf("first_frame_offset: %" PRId32 "\n", player->FirstFrameOffset);
        std::printf("frame_count: %" PRId32 "\n", player->FrameCount);
        std::printf("mpeg_version: %" PRId32 "\n", player->MpegVersion);
        std::printf("layer: %" PRId32 "\n", player->Layer);
        std::printf("bitrate: %" PRId32 "\n", player->Bitrate);
        std::printf("sample_rate: %" PRId32 "\n", player->SampleRate);
        std::printf("channels: %" PRId32 "\n", player->Channels);
        std::printf("frame_duration: %.9g\n", static_cast<double>(player->FrameDuration));
        std::printf("sample_count: %" PRId32 "\n", sampleCount);
        std::printf("samples_fnv1a64: %016" PRIx64 "\n", Fnv1a64(samples, sampleCount));
        return std::fflush(stdout) == 0 ? 0 : 1;
    } catch (const std::bad_alloc&) {
        // The editor shows "Out of memory" for the same recording.
        std::fprintf(stderr, "error: %s: out of memory\n", path.c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s: %s\n", path.c_str(), e.what());
        return 1;
    }
}

}  // namespace

extern const TCommand InfoCommand;
const TCommand InfoCommand = {"info", "print the frame table and decoding figures of an MP3 recording",
                              RunInfo};
