// The aligner on short narrations by voices and speeds other than its own: every line found with
// all of its speech and none of a neighbour's, fixed segments kept, an intro passed over.
#include <gtest/gtest.h>

#include "AlignProject.h"
#include "AlignTestSupport.h"
#include "Aligner.h"
#include "ProjectFiles.h"

namespace {

// 40 ms, in positions: the margin the boundaries may leave, and the codec delay's uncertainty.
constexpr int32_t Tolerance = 441;

// The segment holds all of the line's speech and none of its neighbours'.
void ExpectClean(const TNarration& n, const TAlignResult& r, size_t line, const char* what) {
    ASSERT_LT(line, r.Lines.size());
    const TLineSegment& seg = r.Lines[line];
    ASSERT_TRUE(seg.HasSegment) << what << " line " << line;
    const TSpan& t = n.Truth[line];
    EXPECT_LE(seg.Start, t.Start + Tolerance) << what << " line " << line << " starts late";
    EXPECT_GE(seg.Finish, t.Finish - Tolerance) << what << " line " << line << " ends early";
    if (line > 0) {
        EXPECT_GE(seg.Start, n.Truth[line - 1].Finish - Tolerance) << what << " line " << line;
    }
    if (line + 1 < n.Truth.size()) {
        EXPECT_LE(seg.Finish, n.Truth[line + 1].Start + Tolerance) << what << " line " << line;
    }
    // No more than about 50 ms of silence around the speech.
    EXPECT_GE(seg.Start, t.Start - 2 * Tolerance) << what << " line " << line;
    EXPECT_LE(seg.Finish, t.Finish + 2 * Tolerance) << what << " line " << line;
}

TEST(AlignerTest, FindsEveryLineOfAnotherVoice) {
    const TNarration n = LoadNarration("three");
    std::vector<int> progress;
    const TAlignResult r = AlignLines(RequestFor(n), [&](int done, int total) {
        EXPECT_EQ(total, 1000);
        progress.push_back(done);
    });
    ASSERT_EQ(r.Status, TAlignStatus::Ok);
    EXPECT_EQ(r.Voice, "en");
    for (size_t i = 0; i < n.Truth.size(); ++i) {
        ExpectClean(n, r, i, "three");
        EXPECT_GE(r.Lines[i].Confidence, LowConfidence) << i;
        EXPECT_LE(r.Lines[i].Confidence, 1.0f) << i;
    }
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), 1000);
}

TEST(AlignerTest, PassesOverAnIntroThatNoLineSpeaks) {
    const TNarration n = LoadNarration("intro");
    const TAlignResult r = AlignLines(RequestFor(n));
    ASSERT_EQ(r.Status, TAlignStatus::Ok);
    // The jingle and the title take the first 4.5 s.
    EXPECT_GT(n.Truth[0].Start, 4 * 11025);
    for (size_t i = 0; i < n.Truth.size(); ++i) ExpectClean(n, r, i, "intro");
}

TEST(AlignerTest, DetectsCyrillicAndAlignsAWindows1251Text) {
    const TNarration n = LoadNarration("russian");
    // The lines came from Windows-1251 bytes: they are Cyrillic text now.
    ASSERT_TRUE(n.Lines[0].startsWith(QStringLiteral("Мальчик"))) << n.Lines[0].toStdString();
    const TAlignResult r = AlignLines(RequestFor(n));
    ASSERT_EQ(r.Status, TAlignStatus::Ok);
    EXPECT_EQ(r.Voice, "ru");
    for (size_t i = 0; i < n.Truth.size(); ++i) ExpectClean(n, r, i, "russian");

    std::vector<TAlignLine> latin{{QStringLiteral("Hello, world."), true, false, 0, 0}};
    EXPECT_EQ(DetectLanguage(latin), "en");
    latin.push_back({QStringLiteral("1, 2, 3 ё"), true, false, 0, 0});
    EXPECT_EQ(DetectLanguage(latin), "ru");
}

TEST(AlignerTest, KeepsFixedSegmentsAndFitsTheOthersAroundThem) {
    const TNarration n = LoadNarration("three");
    TAlignRequest request = RequestFor(n);
    // Line 1 is fixed where it truly is, a little wide.
    request.Lines[1].Fixed = true;
    request.Lines[1].Wanted = false;
    request.Lines[1].Start = n.Truth[1].Start - 200;
    request.Lines[1].Finish = n.Truth[1].Finish + 200;
    const TAlignResult r = AlignLines(request);
    ASSERT_EQ(r.Status, TAlignStatus::Ok);
    EXPECT_FALSE(r.Lines[1].HasSegment);
    ExpectClean(n, r, 0, "fixed");
    ExpectClean(n, r, 2, "fixed");
    EXPECT_LE(r.Lines[0].Finish, request.Lines[1].Start);
    EXPECT_GE(r.Lines[2].Start, request.Lines[1].Finish);

    // Only the records of the aligned lines change, and only Flag, Start and Finish.
    TItemRec records[ItemTableSize];
    records[1] = TItemRec();
    records[1].Flag = 1;
    records[1].Start = request.Lines[1].Start;
    records[1].Finish = request.Lines[1].Finish;
    records[0].PicCount = 2;
    records[0].Pics[0] = 7;
    records[0].Pics[1] = 3;
    records[3].Flag = 5;
    records[3].Start = -4;
    const TItemRec before1 = records[1];
    const TAlignOutcome outcome = ApplyAlignment(r, records);
    EXPECT_EQ(outcome.Aligned, (std::vector<int>{0, 2}));
    EXPECT_EQ(records[0].Flag, 1);
    EXPECT_EQ(records[0].Start, r.Lines[0].Start);
    EXPECT_EQ(records[0].Finish, r.Lines[0].Finish);
    EXPECT_EQ(records[0].PicCount, 2);
    EXPECT_EQ(records[0].Pics[0], 7);
    EXPECT_EQ(records[0].Pics[1], 3);
    EXPECT_EQ(records[1].Start, before1.Start);
    EXPECT_EQ(records[1].Finish, before1.Finish);
    EXPECT_EQ(records[3].Flag, 5);
    EXPECT_EQ(records[3].Start, -4);
}

TEST(AlignerTest, LeavesEmptyLinesWithoutASegment) {
    const TNarration n = LoadNarration("three");
    TAlignRequest request = RequestFor(n);
    // Lines without anything to speak between the spoken ones.
    request.Lines.insert(request.Lines.begin() + 1, TAlignLine{QString(), true, false, 0, 0});
    request.Lines.insert(request.Lines.begin() + 3,
                         TAlignLine{QStringLiteral(" -- ... "), true, false, 0, 0});
    const TAlignResult r = AlignLines(request);
    ASSERT_EQ(r.Status, TAlignStatus::Ok);
    ASSERT_EQ(r.Lines.size(), 5u);
    EXPECT_FALSE(r.Lines[1].HasSegment);
    EXPECT_FALSE(r.Lines[3].HasSegment);
    TAlignResult spoken = r;
    spoken.Lines = {r.Lines[0], r.Lines[2], r.Lines[4]};
    for (size_t i = 0; i < 3; ++i) ExpectClean(n, spoken, i, "empty lines");
}

TEST(AlignerTest, GivesTheSameSegmentsAgainWithOneThreadOrTwo) {
    const TNarration n = LoadNarration("intro");
    TAlignRequest one = RequestFor(n);
    one.Threads = 1;
    TAlignRequest two = RequestFor(n);
    two.Threads = 2;
    // Other lines spoken in between must not change the next result.
    const TNarration three = LoadNarration("three");
    TAlignRequest other = RequestFor(three);
    other.Lines[0].Text = QStringLiteral("Something else entirely, with fricatives: sss, shh, fff.");
    const TAlignResult a = AlignLines(one), b = AlignLines(two);
    ASSERT_EQ(AlignLines(other).Status, TAlignStatus::Ok);
    const TAlignResult c = AlignLines(two);
    ASSERT_EQ(a.Status, TAlignStatus::Ok);
    for (size_t i = 0; i < a.Lines.size(); ++i) {
        for (const TAlignResult* other : {&b, &c}) {
            EXPECT_EQ(a.Lines[i].Start, other->Lines[i].Start) << i;
            EXPECT_EQ(a.Lines[i].Finish, other->Lines[i].Finish) << i;
            EXPECT_EQ(a.Lines[i].Confidence, other->Lines[i].Confidence) << i;
        }
    }
}

TEST(AlignerTest, ReportsWhatKeepsItFromAligning) {
    const TNarration n = LoadNarration("three");
    TAlignRequest request = RequestFor(n);
    request.Voice = "xx-no-such-voice";
    EXPECT_EQ(AlignLines(request).Status, TAlignStatus::NoVoice);

    request = RequestFor(n);
    request.Samples = nullptr;
    EXPECT_EQ(AlignLines(request).Status, TAlignStatus::NoRecording);

    request = RequestFor(n);
    for (TAlignLine& l : request.Lines) l.Wanted = false;
    EXPECT_EQ(AlignLines(request).Status, TAlignStatus::NoLines);

    // Cancelled from the progress callback, as the editor's Cancel does from another thread.
    request = RequestFor(n);
    std::atomic<bool> cancel{false};
    const TAlignResult r = AlignLines(
        request, [&](int done, int) { cancel = cancel || done > 0; }, &cancel);
    EXPECT_EQ(r.Status, TAlignStatus::Cancelled);
    for (const TLineSegment& s : r.Lines) EXPECT_FALSE(s.HasSegment);
}

}  // namespace
