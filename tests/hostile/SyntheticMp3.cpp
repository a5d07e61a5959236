#include "SyntheticMp3.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <memory>

#include "TMyPlayer0802.h"

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

QByteArray FramesThenTail(const QString& recording, int frames, const QByteArray& tail) {
    QFile file(recording);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << recording.toStdString();
    const QByteArray whole = file.readAll();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("repeated.mp3"));
    QFile repeated(path);
    EXPECT_TRUE(repeated.open(QIODevice::WriteOnly));
    repeated.write(whole.repeated(frames / 50 + 2));
    repeated.close();
    // 9 MiB of fixed buffers: on the heap.
    auto player = std::make_unique<TMyPlayer0802>();
    player->FileName = path;
    if (!player->Open() || player->FrameCount <= frames) {
        ADD_FAILURE() << "fewer than " << frames << " frames in " << recording.toStdString();
        return {};
    }
    return whole.repeated(frames / 50 + 2).left(player->FrameOffsets[frames]) + tail + QByteArray(100, '\0');
}
