// Reading the recording, the three-headers sync search and the frame table.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <algorithm>
#include <random>

#include "SoundTestSupport.h"
#include "TestSupport.h"

namespace {

std::vector<int32_t> Offsets(const TMyPlayer0802& p) {
    if (p.FrameOffsets == nullptr) return {};
    return std::vector<int32_t>(p.FrameOffsets, p.FrameOffsets + p.FrameCount);
}

std::vector<int32_t> Spaced(int32_t first, int32_t step, int count) {
    std::vector<int32_t> v;
    for (int i = 0; i < count; ++i) v.push_back(first + step * i);
    return v;
}

TEST(FrameTable, TwelveFramesStoreElevenOffsets) {
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenBytes(FrameRun(Mpeg1Header, 417, 12)));
    const TMyPlayer0802& p = f.player();
    EXPECT_EQ(p.FirstFrameOffset, 0);
    // The last frame has no successor header, so the chain ends without storing it.
    EXPECT_EQ(Offsets(p), Spaced(0, 417, 11));
    EXPECT_NE(p.FileData, nullptr);
    EXPECT_EQ(p.FileData[p.DataSize()], 0);
}

TEST(FrameTable, FirstFrameBehindATagWithALoneHeaderInside) {
    QByteArray tag("ID3\x03\x00\x00\x00\x00\x00\x28", 10);
    tag.append("comment ");
    tag.append(Mpeg1Header);  // one header with no successor is not a stream
    tag.append(QByteArray(50 - tag.size(), 'z'));
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenBytes(tag + FrameRun(Mpeg1Header, 417, 12)));
    EXPECT_EQ(f.player().FirstFrameOffset, 50);
    EXPECT_EQ(Offsets(f.player()), Spaced(50, 417, 11));
}

TEST(FrameTable, FirstFrameBehindGarbageWithTwoHeadersInARow) {
    // Two headers at the nominal spacing, but no third: the search must go on past them.
    QByteArray junk = FrameRun(Mpeg1Header, 417, 2);
    junk.append(QByteArray(300, '\x55'));
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenBytes(junk + FrameRun(Mpeg1Header, 417, 12)));
    EXPECT_EQ(f.player().FirstFrameOffset, 834 + 300);
    EXPECT_EQ(f.player().FrameCount, 11);
}

TEST(FrameTable, FixturesFindTheirFirstFrame) {
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenFile(Mp3Fixture("mpeg1-l3-44100-stereo-cbr.mp3")));
    EXPECT_EQ(f.player().FirstFrameOffset, 0);
    ASSERT_TRUE(f.OpenFile(Mp3Fixture("id3v2-front-id3v1-back.mp3")));
    EXPECT_EQ(f.player().FirstFrameOffset, 37);  // 10 bytes of tag header, one 27-byte frame
    ASSERT_TRUE(f.OpenFile(Mp3Fixture("garbage-front.mp3")));
    EXPECT_EQ(f.player().FirstFrameOffset, 692);  // 40 x 17 stray bytes, then 12 more
}

TEST(FrameTable, ChainEndsBeforeATrailingTag) {
    QByteArray bytes = FrameRun(Mpeg1Header, 417, 10);
    bytes.append("TAG");
    bytes.append(QByteArray(125, ' '));
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenBytes(bytes));
    // Frame 9 is followed by the tag, not a header: it closes frame 8 and is not stored.
    EXPECT_EQ(Offsets(f.player()), Spaced(0, 417, 9));
}

TEST(FrameTable, FixtureChainStopsShortOfItsId3v1Tag) {
    const QByteArray bytes = ReadAll(Mp3Fixture("id3v2-front-id3v1-back.mp3"));
    const int32_t tagStart = static_cast<int32_t>(bytes.size()) - 128;
    ASSERT_EQ(bytes.mid(tagStart, 3), QByteArray("TAG"));
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenFile(Mp3Fixture("id3v2-front-id3v1-back.mp3")));
    const TMyPlayer0802& p = f.player();
    ASSERT_GT(p.FrameCount, 70);
    // The stored chain and the frame that closes it lie wholly before the tag.
    const int32_t last = p.FrameOffsets[p.FrameCount - 1];
    EXPECT_GE(tagStart - last, 2 * 417);
    EXPECT_LE(tagStart - last, 2 * 418);
}

TEST(FrameTable, PaddingBitMovesTheSuccessorByOneByte) {
    // Padded frames are 418 bytes long; the chain must look one byte further for each of them.
    QByteArray bytes;
    for (int i = 0; i < 12; ++i)
        bytes.append(FrameRun(i % 3 == 0 ? Mpeg1PaddedHeader : Mpeg1Header, i % 3 == 0 ? 418 : 417, 1));
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenBytes(bytes));
    std::vector<int32_t> expected;
    int32_t at = 0;
    for (int i = 0; i < 11; ++i) {
        expected.push_back(at);
        at += i % 3 == 0 ? 418 : 417;
    }
    EXPECT_EQ(Offsets(f.player()), expected);
}

TEST(FrameTable, PaddedFirstFrameWithoutItsExtraByteLeavesAnEmptyTable) {
    // The search ignores the padding bit and finds three headers 417 bytes apart; the table,
    // which honours it, finds no successor for frame 0.
    QByteArray bytes = FrameRun(Mpeg1PaddedHeader, 417, 1) + FrameRun(Mpeg1Header, 417, 2);
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenBytes(bytes));
    EXPECT_EQ(f.player().FirstFrameOffset, 0);
    EXPECT_EQ(f.player().FrameCount, 0);
    EXPECT_NE(f.player().FrameOffsets, nullptr);
}

TEST(FrameTable, SuccessorWindowIsFourBytesPastTheNominalLength) {
    // 417.96 + 4: a header 421 bytes on is still a successor, one 422 bytes on is not.
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenBytes(FrameRun(Mpeg1Header, 421, 6)));
    EXPECT_EQ(Offsets(f.player()), Spaced(0, 421, 5));
    EXPECT_FALSE(f.OpenBytes(FrameRun(Mpeg1Header, 422, 6)));
    EXPECT_EQ(f.player().FileData, nullptr);
}

TEST(FrameTable, LastAcceptedHeaderFillsTheFields) {
    // The final header, which only closes the last stored frame, is mono: the fields follow it.
    QByteArray bytes = FrameRun(Mpeg1Header, 417, 5);
    bytes.append(FrameRun(QByteArray("\xFF\xFB\x90\xC4", 4), 417, 1));
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenBytes(bytes));
    EXPECT_EQ(f.player().FrameCount, 5);
    EXPECT_EQ(f.player().Channels, 1);
}

TEST(FrameTable, FileOf4001BytesTriesOnlyTheFirstCandidate) {
    QByteArray head = Mpeg1Header;  // a lone first candidate
    head.append(QByteArray(96, '\0'));
    QByteArray bytes = head + FrameRun(Mpeg1Header, 417, 4);
    bytes.append(QByteArray(4001 - bytes.size(), '\0'));
    TPlayerFixture f;
    EXPECT_FALSE(f.OpenBytes(bytes));
    EXPECT_EQ(f.player().FileData, nullptr);
    // One byte more lets the search go on past the first candidate.
    bytes.append('\0');
    ASSERT_TRUE(f.OpenBytes(bytes));
    EXPECT_EQ(f.player().FirstFrameOffset, 100);
}

TEST(FrameTable, ReservedVersionLooksForItsSuccessor72000BytesOn) {
    const QByteArray reserved("\xFF\xEB\x90\x64", 4);
    QByteArray lone = reserved;
    lone.append(QByteArray(5000, '\0'));
    TPlayerFixture f;
    EXPECT_FALSE(f.OpenBytes(lone));

    ASSERT_TRUE(f.OpenBytes(FrameRun(reserved, 72000, 4)));
    EXPECT_EQ(Offsets(f.player()), Spaced(0, 72000, 3));
    EXPECT_EQ(f.player().SampleRate, 1);
    EXPECT_EQ(f.player().Bitrate, 1);
}

TEST(FrameTable, VariableBitrateOutgrowsTheEstimate) {
    const QString path = Mp3Fixture("vbr-xing.mp3");
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenFile(path));
    TMyPlayer0802& p = f.player();
    const int32_t count = p.FrameCount;
    std::vector<int32_t> offsets = Offsets(p);
    // The estimate is taken from the second frame's nominal length.
    int32_t padding = 0;
    ASSERT_TRUE(p.IsFrameHeader(p.FrameOffsets[1], padding));
    const double estimate = static_cast<double>(QFileInfo(path).size()) / (p.FrameLength() - 5.0);
    EXPECT_GT(count, static_cast<int32_t>(estimate));
    EXPECT_GE(p.FrameCapacity(), count);
    EXPECT_TRUE(std::is_sorted(offsets.begin(), offsets.end()));
    EXPECT_EQ(std::adjacent_find(offsets.begin(), offsets.end()), offsets.end());
}

TEST(FrameTable, LengthOfFiveBytesOrLessStillGrowsTheTable) {
    // Reserved layer code: bitrate placeholder 1 gives a nominal length of 3.27 bytes, so the
    // estimate is unusable; every four bytes hold a header.
    const QByteArray header("\xFF\xF9\x90\x64", 4);
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenBytes(FrameRun(header, 4, 1500)));
    EXPECT_EQ(f.player().FrameCount, 1499);
    EXPECT_GE(f.player().FrameCapacity(), 1499);
    EXPECT_EQ(Offsets(f.player()), Spaced(0, 4, 1499));
}

TEST(FrameTable, MissingFileAndTextFileGiveNoStream) {
    TPlayerFixture f;
    f.player().FileName = QStringLiteral("/nonexistent/recording.mp3");
    EXPECT_FALSE(f.player().Open());
    EXPECT_TRUE(f.player().ReadFailed());
    EXPECT_EQ(f.player().FileData, nullptr);
    EXPECT_FALSE(f.OpenFile(Mp3Fixture("not-audio.mp3")));
    EXPECT_FALSE(f.player().ReadFailed()) << "a file that was read but holds no stream";
    EXPECT_EQ(f.player().FileData, nullptr);
    EXPECT_EQ(f.player().FrameCount, 0);
}

struct TSearch {
    bool found = false;
    int32_t offset = 0;
    std::vector<int32_t> fields;  // the header fields last written
};

std::vector<int32_t> Fields(const TMyPlayer0802& p) {
    return {p.MpegVersion, p.Layer, p.Bitrate, p.SampleRate, p.Channels};
}

// The search for three headers in a row as a plain loop over every byte of the first r bytes.
// Runs on a player whose file holds those bytes followed by a stream, so its bytes stay loaded.
TSearch ReferenceSearch(TMyPlayer0802& p, int64_t r) {
    // As a fresh player has them.
    p.MpegVersion = p.Layer = p.Bitrate = p.SampleRate = p.Channels = 0;
    int32_t padding = 0;
    const auto header = [&](int64_t at) { return at + 4 <= r && p.IsFrameHeader(int32_t(at), padding); };
    const auto successor = [&](int64_t start, float length) -> int64_t {
        const double nominalEnd = double(start) + double(length);
        for (int64_t e = int64_t(nominalEnd); double(e) < nominalEnd + 4.0; ++e)
            if (header(e)) return e;
        return -1;
    };
    TSearch result;
    int64_t s = 0;
    do {
        while (s < r - 4 && !header(s)) ++s;
        if (s < r - 4) {
            const int64_t e = successor(s, p.FrameLength());
            if (e >= 0 && successor(e, p.FrameLength()) >= 0) {
                result.found = true;
                result.offset = int32_t(s);
                break;
            }
        }
        ++s;
    } while (s < r - 4000);
    result.fields = Fields(p);
    return result;
}

TEST(FrameTable, SyncSearchFindsWhatATestOfEveryByteFinds) {
    std::mt19937 random(20240611);
    // Byte kinds that make candidates: sync bytes, header bytes of every version and layer.
    const QByteArray headerish("\xFF\xFF\xFF\xFB\xF3\xE3\xEB\xF9\x90\x64\x14\x28\xC0\x00", 14);
    std::vector<QByteArray> inputs = {QByteArray(), QByteArray(3, '\xFF'), QByteArray(6000, '\xFF'),
                                      QByteArray("\xFF\xF8\x14\xFF\xF8\x14\xFF\xF8\x14\x00", 10)};
    for (int i = 0; i < 120; ++i) {
        QByteArray bytes(int(random() % 9000), '\0');
        for (char& b : bytes) b = i % 2 ? headerish[int(random() % headerish.size())] : char(random());
        // A short stream at a random place, often near the ends where the bounds bite.
        if (i % 3 == 0 && bytes.size() > 2000) {
            const int at =
                i % 4 == 0 ? bytes.size() - 4000 + int(random() % 9) - 4 : int(random() % bytes.size());
            bytes.replace(std::max(at, 0), 3 * 417, FrameRun(Mpeg1Header, 417, 3));
        }
        inputs.push_back(bytes.left(9000));
    }
    const QByteArray stream = FrameRun(Mpeg1Header, 417, 12);
    int found = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const QByteArray& bytes = inputs[i];
        TPlayerFixture helper;
        ASSERT_TRUE(helper.OpenBytes(bytes + stream));
        const TSearch expected = ReferenceSearch(helper.player(), bytes.size());
        TPlayerFixture f;
        ASSERT_EQ(f.OpenBytes(bytes), expected.found) << "input " << i;
        if (expected.found) {
            ++found;
            EXPECT_EQ(f.player().FirstFrameOffset, expected.offset) << "input " << i;
        } else {
            EXPECT_EQ(Fields(f.player()), expected.fields) << "input " << i;
        }
    }
    EXPECT_GT(found, 20);
    EXPECT_LT(found, int(inputs.size()) - 20);
}

TEST(FrameTable, ReleaseEmptiesThePlayer) {
    TPlayerFixture f;
    ASSERT_TRUE(f.OpenFile(Mp3Fixture("mpeg1-l3-44100-stereo-cbr.mp3")));
    EXPECT_TRUE(f.player().Release());
    EXPECT_EQ(f.player().FileData, nullptr);
    EXPECT_EQ(f.player().FrameOffsets, nullptr);
    EXPECT_EQ(f.player().FrameCount, 0);
    EXPECT_TRUE(f.player().Release());
}

}  // namespace
