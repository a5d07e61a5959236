#include "AlignTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "ProjectFiles.h"
#include "TMyPlayer0802.h"
#include "TestSupport.h"
#include "Timeline.h"

TNarration LoadNarration(const char* name) {
    TNarration n;
    const QString base = FixturePath(QStringLiteral("align/") + QLatin1String(name));
    auto player = std::make_unique<TMyPlayer0802>();
    player->FileName = base + QStringLiteral(".mp3");
    if (!player->Open()) {
        ADD_FAILURE() << "no stream in " << name;
        return n;
    }
    int16_t* samples = nullptr;
    int32_t count = 0;
    player->Decode(&samples, nullptr, &count);
    const TSamplesOwner owner(samples);
    n.Samples.assign(samples, samples + count);
    n.Lines = LoadTextFile(base + QStringLiteral(".txt")).text.split(QStringLiteral("\r\n"));
    if (!n.Lines.isEmpty() && n.Lines.last().isEmpty()) n.Lines.removeLast();
    for (const QByteArray& row : ReadAll(base + QStringLiteral(".truth")).split('\n')) {
        const QList<QByteArray> cols = row.split('\t');
        if (cols.size() != 2) continue;
        auto position = [](const QByteArray& s) {
            return int32_t(std::lround((s.toDouble() + CodecDelay) * 11025.0));
        };
        n.Truth.push_back({position(cols[0]), position(cols[1])});
    }
    EXPECT_EQ(n.Truth.size(), size_t(n.Lines.size())) << name;
    return n;
}

TAlignRequest RequestFor(const TNarration& n) {
    TAlignRequest r;
    r.Samples = n.Samples.data();
    r.SampleCount = int32_t(n.Samples.size());
    for (const QString& line : n.Lines) r.Lines.push_back(TAlignLine{line, true, false, 0, 0});
    return r;
}
