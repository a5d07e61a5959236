#pragma once
// MPEG audio streams made of bare frame headers at their nominal distances (payload zero), for
// frame tables whose shape the real recordings do not have.

#include <QByteArray>
#include <QString>
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

// The first `frames` frames of a real recording (repeated end to end as often as needed), then
// `tail`: a header of another kind that ends the frame chain, so that its fields are the last
// ones read, and 100 zero bytes.
QByteArray FramesThenTail(const QString& recording, int frames, const QByteArray& tail);

// A header with the reserved version code: it reads as 1 Hz, stereo.
inline const QByteArray OneHertzHeader("\xFF\xEB\x90\x64", 4);
