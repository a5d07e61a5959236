// The recording's length that check measures is the length the editor's decoding lays out.
#include <gtest/gtest.h>

#include <QDir>
#include <memory>

#include "RecordingLength.h"
#include "TMyPlayer0802.h"
#include "TestSupport.h"

TEST(RecordingLengthTest, EqualsTheSampleCountOfAFullDecodeForEveryFixture) {
    const QStringList files =
        QDir(FixturePath(QStringLiteral("mp3"))).entryList({QStringLiteral("*.mp3")}, QDir::Files);
    ASSERT_GE(files.size(), 5);
    int opened = 0;
    for (const QString& name : files) {
        const QString path = FixturePath(QStringLiteral("mp3/") + name);
        auto measured = std::make_unique<TMyPlayer0802>();
        measured->FileName = path;
        const bool found = measured->Open();
        const int32_t positions = found ? RecordingPositions(*measured) : 0;

        auto decoded = std::make_unique<TMyPlayer0802>();
        decoded->FileName = path;
        ASSERT_EQ(decoded->Open(), found) << name.toStdString();
        if (!found) continue;
        ++opened;
        int16_t* samples = nullptr;
        int32_t count = -1;
        decoded->Decode(&samples, nullptr, &count);
        delete[] samples;
        EXPECT_EQ(positions, count) << name.toStdString();
    }
    EXPECT_GE(opened, 5);
}
