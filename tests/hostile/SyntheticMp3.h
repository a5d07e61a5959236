#pragma once
// MPEG audio streams made of bare frame headers at their nominal distances (payload zero), for
// frame tables whose shape the real recordings do not have.

#include <QByteArray>
#include <vector>

struct TSyntheticFrame {
    unsigned char header[4];
    int length;  // bytes from this header to the next
};

// MPEG-1 Layer III, 44100 Hz, mono, no padding, at a bitrate index (1 = 32 kbit/s: 104 bytes;
// 14 = 320 kbit/s: 1044 bytes).
TSyntheticFrame Mpeg1Layer3Frame(int bitrateIndex);

// The frames back to back; offsets receives where each begins.
QByteArray JoinFrames(const std::vector<TSyntheticFrame>& frames, std::vector<int>* offsets);
