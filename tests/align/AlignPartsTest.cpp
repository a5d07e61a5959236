// The aligner's parts on signals whose answer is known: resampling, pauses, the warp; and the
// project rules around it (which lines are aligned, the summary message).
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "AlignProject.h"
#include "Pauses.h"
#include "SpeechSynth.h"
#include "Warp.h"

namespace {

std::vector<int16_t> Tone(double hz, double rate, double seconds, double amplitude) {
    std::vector<int16_t> s(size_t(rate * seconds));
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = int16_t(std::lround(amplitude * std::sin(2.0 * std::numbers::pi * hz * double(i) / rate)));
    return s;
}

double Rms(const std::vector<int16_t>& s, size_t from, size_t to) {
    double e = 0.0;
    for (size_t i = from; i < to; ++i) e += double(s[i]) * s[i];
    return std::sqrt(e / double(to - from));
}

TEST(AlignPartsTest, ResamplingHalvesTheRateAndRemovesWhatTheNewRateCannotHold) {
    const std::vector<int16_t> low = ResampleToAlignRate(Tone(1000.0, 22050.0, 1.0, 10000.0), 22050);
    ASSERT_EQ(low.size(), 11025u);
    // A 1 kHz tone keeps its level (RMS of amplitude 10000: 7071) and its period of 11.025 positions.
    EXPECT_NEAR(Rms(low, 500, 10500), 7071.0, 150.0);
    int crossings = 0;
    for (size_t i = 501; i < 10500; ++i) crossings += (low[i - 1] < 0) != (low[i] < 0);
    EXPECT_NEAR(crossings, 2 * 1000 * 9999 / 11025, 3);
    // 8 kHz lies above the new Nyquist rate: taking every other sample would fold it to 3025 Hz.
    const std::vector<int16_t> high = ResampleToAlignRate(Tone(8000.0, 22050.0, 1.0, 10000.0), 22050);
    EXPECT_LT(Rms(high, 500, 10500), 200.0);
    // Another rate, 16000: the length follows the ratio.
    EXPECT_EQ(ResampleToAlignRate(Tone(500.0, 16000.0, 2.0, 1000.0), 16000).size(), 22050u);
}

TEST(AlignPartsTest, PausesFollowTheRecordingsOwnNoiseFloor) {
    // Noise at about -50 dB of the speech; bursts of "speech" 0.5 to 1.0 s, 1.0 to 2.0 s and 2.3 to
    // 3.0 s; the last one fades out over 100 ms below the detection threshold but above the floor.
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 30.0);
    std::vector<int16_t> s(size_t(3.5 * 11025));
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = double(i) / 11025.0;
        double v = noise(rng);
        if ((t >= 0.5 && t < 1.0) || (t >= 1.25 && t < 2.0) || (t >= 2.3 && t < 3.0))
            v += 8000.0 * std::sin(2.0 * std::numbers::pi * 300.0 * t);
        if (t >= 3.0 && t < 3.1) v += 300.0 * std::sin(2.0 * std::numbers::pi * 300.0 * t);
        s[i] = int16_t(std::lround(v));
    }
    const TEnergyTrack track = MeasureEnergy(s.data(), int64_t(s.size()));
    const TLevels levels = EstimateLevels(track.Db);
    const TLevels high = EstimateLevels(track.HighDb);
    EXPECT_LT(levels.Floor, levels.Edge);
    EXPECT_LT(levels.Edge, levels.Threshold);
    EXPECT_LT(levels.Threshold, levels.Speech);
    const std::vector<TPause> pauses = FindPauses(track, levels, high, 660);
    // At the start, between the bursts (250 and 300 ms), and at the end; none inside a burst.
    ASSERT_EQ(pauses.size(), 4u);
    auto near = [](int64_t position, double seconds) {
        return std::abs(double(position) / 11025.0 - seconds) < 0.012;
    };
    EXPECT_EQ(pauses[0].SpeechEnd, 0);
    EXPECT_TRUE(near(pauses[0].SpeechStart, 0.5)) << pauses[0].SpeechStart;
    EXPECT_TRUE(near(pauses[1].SpeechEnd, 1.0)) << pauses[1].SpeechEnd;
    EXPECT_TRUE(near(pauses[1].SpeechStart, 1.25)) << pauses[1].SpeechStart;
    EXPECT_TRUE(near(pauses[2].SpeechEnd, 2.0));
    EXPECT_TRUE(near(pauses[2].SpeechStart, 2.3));
    // The faint tail belongs to the speech before the last pause.
    EXPECT_TRUE(near(pauses[3].SpeechEnd, 3.1)) << pauses[3].SpeechEnd;
    EXPECT_EQ(pauses[3].SpeechStart, int64_t(track.Db.size()) * TEnergyTrack::Step);
}

TEST(AlignPartsTest, ATailUnderTheNoiseIsFollowedOnAtItsSlope) {
    // A 300 Hz "vowel" from 0.5 to 1.0 s that then fades by 100 dB/s: 45 dB below its peak at
    // 1.45 s. Loud noise hides it from about 25 dB down (1.25 s); faint noise hides nothing, and
    // the pause's edge follows the tail itself.
    auto tail = [](double noiseLevel, int64_t& speechEnd) {
        std::mt19937 rng(3);
        std::normal_distribution<double> noise(0.0, noiseLevel);
        std::vector<int16_t> s(size_t(2.5 * 11025));
        for (size_t i = 0; i < s.size(); ++i) {
            const double t = double(i) / 11025.0;
            const double gain = t < 0.5 ? 0.0 : t < 1.0 ? 1.0 : std::pow(10.0, -100.0 * (t - 1.0) / 20.0);
            s[i] = int16_t(
                std::lround(noise(rng) + 8000.0 * gain * std::sin(2.0 * std::numbers::pi * 300.0 * t)));
        }
        const TEnergyTrack track = MeasureEnergy(s.data(), int64_t(s.size()));
        TLevels levels = EstimateLevels(track.Db), high = EstimateLevels(track.HighDb);
        FitEdgesToNoise(track, FindPauses(track, levels, high, 660), levels, high);
        const std::vector<TPause> pauses = FindPauses(track, levels, high, 660);
        EXPECT_EQ(pauses.size(), 2u);
        speechEnd = pauses.back().SpeechEnd;
        return HiddenTail(track, levels.Edge, 5513, speechEnd, 45.0f);
    };
    int64_t end = 0;
    const int64_t hidden = tail(300.0, end);
    EXPECT_LT(double(end) / 11025.0, 1.32);
    // All of the tail, and not much more: the straight line is an estimate.
    EXPECT_GE(double(end + hidden) / 11025.0, 1.42) << end << " + " << hidden;
    EXPECT_LE(double(end + hidden) / 11025.0, 1.60) << end << " + " << hidden;
    EXPECT_EQ(tail(2.0, end), 0);
    EXPECT_GT(double(end) / 11025.0, 1.38);
}

TEST(AlignPartsTest, WarpFindsAQueryInsideALongerReference) {
    // A reference of 3000 frames that wander slowly (as speech features do, so that the coarse
    // resolutions still see the shape); the query is frames 1200 .. 1799 of it, each frame shown
    // twice (spoken at half speed) and with a little noise: query frame 2k is reference frame
    // 1200 + k.
    std::mt19937 rng(11);
    std::normal_distribution<float> unit(0.0f, 1.0f);
    TSequence ref{4, 3000, {}};
    float walk[4] = {};
    for (int64_t i = 0; i < ref.Count; ++i) {
        for (float& w : walk) {
            w += 0.3f * unit(rng);
            ref.Values.push_back(w);
        }
    }
    TSequence query{4, 1200, {}};
    for (int64_t i = 0; i < 1200; ++i) {
        for (int d = 0; d < 4; ++d) query.Values.push_back(ref.Frame(1200 + i / 2)[d] + 0.01f * unit(rng));
    }
    TWarpOptions options;
    // Below a step of the walk (about 0.56): running on past the query's end costs more than
    // skipping, far above the matched frames' noise.
    options.SkipCost = 0.4;
    options.CoarseCells = 20000;  // several resolutions even for this small problem
    const std::vector<TWarpRow> rows = WarpSubsequence(query, ref, options);
    ASSERT_EQ(rows.size(), 1200u);
    int off = 0;
    for (int64_t i = 0; i < 1200; ++i) off += std::abs(rows[size_t(i)].First - (1200 + i / 2)) > 1;
    EXPECT_LE(off, 12);
    EXPECT_NEAR(double(rows.front().First), 1200.0, 2.0);
    EXPECT_NEAR(double(rows.back().Last), 1799.0, 2.0);
}

TEST(AlignPartsTest, ProjectRequestAlignsLinesWithTextAndNoSegment) {
    TItemRec records[ItemTableSize];
    records[1].Flag = 1;
    records[1].Start = 100;
    records[1].Finish = 200;
    records[2].Flag = 3;  // a Flag the editor never writes: a segment, but none to trust
    QStringList lines;
    for (int i = 0; i < 502; ++i) lines << QStringLiteral("line %1").arg(i);
    const int16_t sample = 0;
    TAlignRequest r = MakeProjectRequest(lines, records, &sample, 1, TAlignSelection{}, "de");
    EXPECT_EQ(r.Voice, "de");
    ASSERT_EQ(r.Lines.size(), 500u);  // lines from 500 on have no record
    EXPECT_TRUE(r.Lines[0].Wanted);
    EXPECT_FALSE(r.Lines[0].Fixed);
    EXPECT_FALSE(r.Lines[1].Wanted);
    EXPECT_TRUE(r.Lines[1].Fixed);
    EXPECT_EQ(r.Lines[1].Start, 100);
    EXPECT_EQ(r.Lines[1].Finish, 200);
    EXPECT_FALSE(r.Lines[2].Wanted);
    EXPECT_FALSE(r.Lines[2].Fixed);

    r = MakeProjectRequest(lines, records, &sample, 1, TAlignSelection{true, 1, 3}, "");
    EXPECT_FALSE(r.Lines[0].Wanted);
    EXPECT_TRUE(r.Lines[1].Wanted);
    EXPECT_FALSE(r.Lines[1].Fixed);
    EXPECT_TRUE(r.Lines[2].Wanted);
    EXPECT_TRUE(r.Lines[3].Wanted);
    EXPECT_FALSE(r.Lines[4].Wanted);
}

TEST(AlignPartsTest, SummaryCountsTheLinesAndNamesTheDoubtfulOnes) {
    TAlignOutcome o;
    o.Aligned = {0, 1, 2};
    EXPECT_EQ(AlignSummary(o), QStringLiteral("Aligned 3 lines."));
    o.LowConfidence = {17, 203};
    EXPECT_EQ(AlignSummary(o), QStringLiteral("Aligned 3 lines. Check lines 17, 203: low confidence."));
    o.Aligned = {17};
    o.LowConfidence = {17};
    EXPECT_EQ(AlignSummary(o), QStringLiteral("Aligned 1 line. Check line 17: low confidence."));
}

}  // namespace
