#include "SyntheticMp3.h"

#include <cstring>

TSyntheticFrame Mpeg1Layer3Frame(int bitrateIndex) {
    static constexpr int Kbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    TSyntheticFrame frame{{0xFF, 0xFB, static_cast<unsigned char>(bitrateIndex << 4), 0xC4}, 0};
    // 144 * bitrate / rate, truncated: the distance at which the next header is looked for first.
    frame.length = Kbps[bitrateIndex] * 144000 / 44100;
    return frame;
}

QByteArray JoinFrames(const std::vector<TSyntheticFrame>& frames, std::vector<int>* offsets) {
    QByteArray bytes;
    for (const TSyntheticFrame& frame : frames) {
        if (offsets != nullptr) offsets->push_back(static_cast<int>(bytes.size()));
        QByteArray one(frame.length, '\0');
        std::memcpy(one.data(), frame.header, 4);
        bytes += one;
    }
    return bytes;
}
