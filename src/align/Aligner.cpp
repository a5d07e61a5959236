#include "Aligner.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "Boundaries.h"
#include "Features.h"
#include "Pauses.h"
#include "SpeechSynth.h"
#include "Warp.h"

namespace {

// Speaking rate of the synthesized speech, words per minute. Faster than most narrators: the
// warp stretches it, and shorter speech is quicker to make and to warp.
constexpr int SynthRate = 200;
// Silence after each synthesized line, so that the pause between two lines has a counterpart.
constexpr int GapFrames = 25;
// The lower cepstra only: they hold the broad spectral shape that tells sounds apart, the higher
// ones mostly the voice, which differs between the narrator and the synthesizer.
constexpr int UsedCepstra = 8;
constexpr int Dim = 2 * UsedCepstra + 1;
// Weight of the unit-variance cepstra against the speech/silence dimension.
constexpr float CepstrumWeight = 1.5f;
// Weight of the cepstral slopes against the cepstra.
constexpr float DeltaWeight = 0.5f;
// Weight of the speech/silence dimension: 1 for speech, 0 for silence, times this.
constexpr float ActivityWeight = 3.0f;
// Shortest quiet run taken as a pause, positions (60 ms).
constexpr int64_t MinPause = 660;
// Silence left around a line's speech, positions (30 ms), and the share of a pause it may take.
constexpr int64_t Margin = 331;
constexpr double MarginShare = 0.4;
// A line's speech fades on under the noise after its end is lost in it: its finish follows the
// fading, down to this far below the line's loudest block, up to 200 ms and half of the
// pause (the start after it keeps its margin).
constexpr float TailDb = 45.0f;
constexpr int64_t MaxTail = 2205;
constexpr double TailShare = 0.5;
// Skipping a recording frame that no line speaks costs this share of matching unrelated frames.
constexpr double SkipCostShare = 0.75;

constexpr int ProgressTotal = 1000;
constexpr int SynthShare = 700;
constexpr int WarpShare = 280;

bool Cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }

// Cepstral mean and variance of a stream's speech frames, so that voice and channel matter less.
struct TNormalization {
    static constexpr int Values = 2 * TFeatures::Cepstra;  // cepstra, then slopes
    float Mean[Values] = {};
    float InvStd[Values] = {};
    float Threshold = 0.0f;  // dB: frames above it are speech
};

TNormalization Normalization(const std::vector<const TFeatures*>& parts) {
    std::vector<float> energies;
    for (const TFeatures* f : parts) energies.insert(energies.end(), f->Energy.begin(), f->Energy.end());
    TNormalization n;
    n.Threshold = EstimateLevels(energies).Threshold;
    double sum[TNormalization::Values] = {}, sq[TNormalization::Values] = {};
    int64_t count = 0;
    for (const TFeatures* f : parts) {
        for (int64_t i = 0; i < f->Count; ++i) {
            if (f->Energy[size_t(i)] < n.Threshold) continue;
            for (int d = 0; d < TNormalization::Values; ++d) {
                const float v = d < TFeatures::Cepstra ? f->Frame(i)[d] : f->Slope(i)[d - TFeatures::Cepstra];
                sum[d] += v;
                sq[d] += double(v) * v;
            }
            ++count;
        }
    }
    for (int d = 0; d < TNormalization::Values; ++d) {
        const double mean = count > 0 ? sum[d] / double(count) : 0.0;
        const double var = count > 1 ? sq[d] / double(count) - mean * mean : 1.0;
        n.Mean[d] = float(mean);
        n.InvStd[d] = float(1.0 / std::sqrt(std::max(var, 1e-6)));
    }
    return n;
}

// Appends frames from .. to - 1 as warp vectors: the normalised cepstra faded out with the
// frame's speech activity, so that all silence looks alike whatever its noise, and the activity.
void AppendNormalized(const TFeatures& f, int64_t from, int64_t to, const TNormalization& n, TSequence& out) {
    out.Dim = Dim;
    for (int64_t i = from; i < to; ++i) {
        const float a = 1.0f / (1.0f + std::exp(-(f.Energy[size_t(i)] - n.Threshold) / 2.0f));
        const float* c = f.Frame(i);
        const float* s = f.Slope(i);
        for (int d = 0; d < UsedCepstra; ++d)
            out.Values.push_back(CepstrumWeight * a * (c[d] - n.Mean[d]) * n.InvStd[d]);
        for (int d = 0; d < UsedCepstra; ++d) {
            const int x = TFeatures::Cepstra + d;
            out.Values.push_back(DeltaWeight * a * (s[d] - n.Mean[x]) * n.InvStd[x]);
        }
        out.Values.push_back(ActivityWeight * a);
        ++out.Count;
    }
}

// The recording's side, computed once.
struct TRecordingAnalysis {
    TSequence Frames;  // every frame, normalised for the warp
    TNormalization Norm;
    TEnergyTrack Track;
    TLevels Levels;
    TLevels HighLevels;
    std::vector<TPause> Pauses;
};

void AnalyseRecording(const int16_t* samples,
                      int64_t count,
                      int threads,
                      const std::atomic<bool>* cancel,
                      TRecordingAnalysis& a) {
    const TFeatures features = ComputeFeatures(samples, count, threads, cancel);
    if (Cancelled(cancel)) return;
    a.Norm = Normalization({&features});
    a.Frames.Values.reserve(size_t(features.Count * Dim));
    AppendNormalized(features, 0, features.Count, a.Norm, a.Frames);
    a.Track = MeasureEnergy(samples, count);
    a.Levels = EstimateLevels(a.Track.Db);
    a.HighLevels = EstimateLevels(a.Track.HighDb);
    a.Pauses = FindPauses(a.Track, a.Levels, a.HighLevels, MinPause);
    // The pauses tell the noise; found again with edges above its flicker.
    FitEdgesToNoise(a.Track, a.Pauses, a.Levels, a.HighLevels);
    a.Pauses = FindPauses(a.Track, a.Levels, a.HighLevels, MinPause);
}

// One line's synthesized speech: its features with the gap behind, and its speech frames.
struct TSpokenLine {
    TFeatures Features;
    int64_t SpeechFrames = 0;
};

// The synthesizer's output for a text also depends on what it spoke before (its pitch flutter
// and filters carry on from call to call). The speech of the last alignment's lines is kept, so
// that aligning the same lines again gives the same segments.
using TSpokenCache = std::unordered_map<std::string, std::shared_ptr<const TSpokenLine>>;
std::mutex SpokenMutex;
TSpokenCache SpokenLines;

std::shared_ptr<const TSpokenLine> PreviousSpeech(const std::string& key) {
    std::lock_guard lock(SpokenMutex);
    const auto it = SpokenLines.find(key);
    return it == SpokenLines.end() ? nullptr : it->second;
}

// Frames kept at most (about 60 MiB, two hours of speech); past that only the last alignment's.
constexpr int64_t KeptFrames = 600'000;

void KeepSpeech(TSpokenCache current) {
    std::lock_guard lock(SpokenMutex);
    int64_t frames = 0;
    for (const auto& entry : current) frames += entry.second->Features.Count;
    // Earlier lines stay as long as there is room.
    for (const auto& [key, line] : SpokenLines) {
        if (current.count(key)) continue;
        frames += line->Features.Count;
        if (frames > KeptFrames) break;
        current.emplace(key, line);
    }
    SpokenLines = std::move(current);
}

// The lines between two fixed segments and the stretch of the recording between them.
struct TChunk {
    int64_t Begin = 0;  // positions
    int64_t End = 0;
    std::vector<int> Lines;  // request lines, in order
};

// The median distance of frame pairs taken evenly over both sequences: what matching unrelated
// frames costs.
float TypicalDistance(const TSequence& a, const TSequence& b) {
    constexpr int64_t Pairs = 4001;
    std::vector<float> d;
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (int64_t k = 0; k < Pairs; ++k) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const int64_t i = int64_t((state >> 33) % uint64_t(a.Count));
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const int64_t j = int64_t((state >> 33) % uint64_t(b.Count));
        float acc = 0.0f;
        for (int x = 0; x < a.Dim; ++x) {
            const float v = a.Frame(i)[x] - b.Frame(j)[x];
            acc += v * v;
        }
        d.push_back(std::sqrt(acc));
    }
    std::nth_element(d.begin(), d.begin() + Pairs / 2, d.end());
    return d[Pairs / 2];
}

void AlignChunk(const TChunk& chunk,
                const std::vector<std::shared_ptr<const TSpokenLine>>& spoken,
                const TNormalization& synthNorm,
                const TRecordingAnalysis& rec,
                int threads,
                const std::atomic<bool>* cancel,
                std::vector<TLineSegment>& out) {
    if (chunk.Lines.empty() || chunk.End - chunk.Begin < TFeatures::Hop * 4) return;
    TSequence query;
    int64_t queryFrames = GapFrames;
    for (int line : chunk.Lines) queryFrames += spoken[size_t(line)]->Features.Count;
    query.Values.reserve(size_t(queryFrames * Dim));
    // Silence in front too, so that the quiet before the first line costs nothing; the lines'
    // own gaps follow them.
    {
        const std::vector<int16_t> quiet(size_t(GapFrames) * TFeatures::Hop, 0);
        const TFeatures lead = ComputeFeatures(quiet.data(), int64_t(quiet.size()));
        AppendNormalized(lead, 0, lead.Count, synthNorm, query);
    }
    std::vector<int64_t> speechFrom, speechTo;
    for (int line : chunk.Lines) {
        const TSpokenLine& s = *spoken[size_t(line)];
        speechFrom.push_back(query.Count);
        speechTo.push_back(query.Count + std::max<int64_t>(1, s.SpeechFrames));
        AppendNormalized(s.Features, 0, s.Features.Count, synthNorm, query);
    }
    const int64_t f0 = chunk.Begin / TFeatures::Hop;
    const int64_t f1 = std::min(rec.Frames.Count, (chunk.End + TFeatures::Hop - 1) / TFeatures::Hop);
    if (f1 - f0 < 4) return;
    TSequence reference;
    reference.Dim = Dim;
    reference.Count = f1 - f0;
    reference.View = rec.Frames.Frame(f0);
    TWarpOptions options;
    options.Threads = threads;
    // Skipping costs less than matching unrelated speech, more than matching the right one.
    options.SkipCost = SkipCostShare * TypicalDistance(query, reference);
    const std::vector<TWarpRow> rows = WarpSubsequence(query, reference, options, cancel);
    if (rows.empty()) return;

    const size_t k = chunk.Lines.size();
    std::vector<TWarpedLine> warped(k);
    for (size_t i = 0; i < k; ++i) {
        const int64_t a = speechFrom[i], b = std::min<int64_t>(speechTo[i], query.Count) - 1;
        warped[i].Start = std::clamp((f0 + rows[size_t(a)].First) * TFeatures::Hop, chunk.Begin, chunk.End);
        warped[i].Finish =
            std::clamp((f0 + rows[size_t(b)].Last + 1) * TFeatures::Hop, chunk.Begin, chunk.End);
        double cost = 0.0;
        for (int64_t r = a; r <= b; ++r) cost += rows[size_t(r)].Cost;
        warped[i].Cost = float(cost / double(b - a + 1));
    }
    const std::vector<TPause> pauses = ChunkPauses(rec.Pauses, chunk.Begin, chunk.End);
    const std::vector<TBoundaryChoice> choice = ChooseBoundaries(warped, pauses);

    auto margin = [](const TPause& p) {
        return std::min<int64_t>(Margin, int64_t(MarginShare * double(p.Length())));
    };
    std::vector<int64_t> starts(k), finishes(k);
    for (size_t b = 0; b <= k; ++b) {
        const TBoundaryChoice& c = choice[b];
        if (c.Pause >= 0) {
            const TPause& p = pauses[size_t(c.Pause)];
            if (b < k) starts[b] = p.SpeechStart - (b == 0 && p.SpeechStart == chunk.Begin ? 0 : margin(p));
            if (b > 0) finishes[b - 1] = p.SpeechEnd + margin(p);
        } else if (b == 0) {
            starts[0] = warped[0].Start - Margin;
        } else if (b == k) {
            finishes[k - 1] = warped[k - 1].Finish + Margin;
        } else {
            const int64_t mid = (warped[b - 1].Finish + warped[b].Start) / 2;
            const int64_t x = QuietestPosition(rec.Track, mid - 1654, mid + 1654);
            finishes[b - 1] = x;
            starts[b] = x;
        }
    }
    for (size_t b = 1; b <= k; ++b) {
        if (choice[b].Pause < 0) continue;
        const TPause& p = pauses[size_t(choice[b].Pause)];
        int64_t limit = std::min<int64_t>(MaxTail, int64_t(TailShare * double(p.Length())));
        if (b < k) limit = std::min(limit, p.Length() - margin(p));
        const int64_t tail = HiddenTail(rec.Track, rec.Levels.Edge, starts[b - 1], p.SpeechEnd, TailDb);
        finishes[b - 1] = std::max(finishes[b - 1], p.SpeechEnd + std::min(tail, limit));
    }
    // Durations against the warp's, to catch a line whose boundaries went astray.
    double recTotal = 0.0, synthTotal = 0.0;
    for (size_t i = 0; i < k; ++i) {
        recTotal += double(std::max<int64_t>(0, finishes[i] - starts[i]));
        synthTotal += double(speechTo[i] - speechFrom[i]);
    }
    std::vector<float> costs;
    for (const TWarpedLine& w : warped) costs.push_back(w.Cost);
    std::nth_element(costs.begin(), costs.begin() + std::ptrdiff_t(costs.size() / 2), costs.end());
    const double medianCost = std::max(1e-3f, costs[costs.size() / 2]);
    int64_t previousFinish = chunk.Begin;
    for (size_t i = 0; i < k; ++i) {
        const int64_t start = std::clamp(starts[i], previousFinish, chunk.End);
        const int64_t finish = std::clamp(finishes[i], start, chunk.End);
        previousFinish = finish;
        TLineSegment& seg = out[size_t(chunk.Lines[i])];
        seg.HasSegment = true;
        seg.Start = int32_t(start);
        seg.Finish = int32_t(finish);
        const double match = std::clamp(2.0 - double(warped[i].Cost) / medianCost, 0.0, 1.0);
        double quality = 0.4 * match + 0.3 * PauseQuality(choice[i]) + 0.3 * PauseQuality(choice[i + 1]);
        if (synthTotal > 0.0 && recTotal > 0.0) {
            const double expected = double(speechTo[i] - speechFrom[i]) / synthTotal * recTotal;
            const double ratio = double(finish - start) / std::max(1.0, expected);
            if (ratio < 0.5 || ratio > 2.0) quality *= 0.5;
        }
        seg.Confidence = float(std::clamp(quality, 0.0, 1.0));
    }
}

std::vector<TChunk> SplitAtFixedLines(const TAlignRequest& request, const std::vector<bool>& speak) {
    std::vector<TChunk> chunks(1);
    chunks[0].Begin = 0;
    int64_t lastFinish = 0;
    for (size_t i = 0; i < request.Lines.size(); ++i) {
        const TAlignLine& line = request.Lines[i];
        if (line.Fixed) {
            // A fixed segment out of order or off the timeline does not split anything.
            if (line.Start >= lastFinish && line.Start <= line.Finish && line.Finish <= request.SampleCount) {
                chunks.back().End = line.Start;
                lastFinish = line.Finish;
                chunks.push_back(TChunk{line.Finish, 0, {}});
            }
            continue;
        }
        if (speak[i]) chunks.back().Lines.push_back(int(i));
    }
    chunks.back().End = request.SampleCount;
    return chunks;
}

}  // namespace

bool IsSpeakable(const QString& text) {
    for (QChar c : text) {
        if (c.isLetterOrNumber()) return true;
    }
    return false;
}

std::string DetectLanguage(const std::vector<TAlignLine>& lines) {
    for (const TAlignLine& line : lines) {
        for (QChar c : line.Text) {
            if (c.script() == QChar::Script_Cyrillic && c.isLetter()) return "ru";
        }
    }
    return "en";
}

TAlignResult AlignLines(const TAlignRequest& request,
                        const TAlignProgress& progress,
                        const std::atomic<bool>* cancel) {
    TAlignResult result;
    result.Lines.resize(request.Lines.size());
    if (!request.Samples || request.SampleCount <= 0) {
        result.Status = TAlignStatus::NoRecording;
        return result;
    }
    std::vector<bool> speak(request.Lines.size());
    bool anyWanted = false;
    for (size_t i = 0; i < request.Lines.size(); ++i) {
        speak[i] = !request.Lines[i].Fixed && IsSpeakable(request.Lines[i].Text);
        anyWanted = anyWanted || (speak[i] && request.Lines[i].Wanted);
    }
    if (!anyWanted) {
        result.Status = TAlignStatus::NoLines;
        return result;
    }
    result.Voice = request.Voice.empty() ? DetectLanguage(request.Lines) : request.Voice;
    TSpeechSynth& synth = TSpeechSynth::Instance();
    if (!synth.HasVoice(result.Voice)) {
        result.Status = TAlignStatus::NoVoice;
        return result;
    }
    auto report = [&](int done) {
        if (progress) progress(done, ProgressTotal);
    };
    report(0);
    const int threads = std::max(1, request.Threads);

    // The recording is analysed on a second thread while the text is spoken on this one.
    TRecordingAnalysis rec;
    std::thread analysis;
    if (threads > 1) {
        analysis =
            std::thread([&] { AnalyseRecording(request.Samples, request.SampleCount, 1, cancel, rec); });
    } else {
        AnalyseRecording(request.Samples, request.SampleCount, 1, cancel, rec);
    }
    struct TJoin {
        std::thread& t;
        ~TJoin() {
            if (t.joinable()) t.join();
        }
    } join{analysis};

    std::vector<TChunk> chunks = SplitAtFixedLines(request, speak);
    std::vector<int> order;
    for (const TChunk& c : chunks) order.insert(order.end(), c.Lines.begin(), c.Lines.end());
    std::vector<std::shared_ptr<const TSpokenLine>> spoken(request.Lines.size());
    TSpokenCache cache;
    std::vector<int16_t> speech;
    for (size_t n = 0; n < order.size(); ++n) {
        if (Cancelled(cancel)) break;
        const size_t i = size_t(order[n]);
        const std::string text = request.Lines[i].Text.toUtf8().toStdString();
        const std::string key = result.Voice + '\n' + text;
        if (auto known = PreviousSpeech(key)) {
            spoken[i] = known;
        } else {
            if (!synth.Speak(result.Voice, SynthRate, text, speech, cancel)) {
                if (Cancelled(cancel)) break;
                speech.clear();
            }
            auto line = std::make_shared<TSpokenLine>();
            line->SpeechFrames = int64_t(speech.size() + TFeatures::Hop - 1) / TFeatures::Hop;
            speech.resize(size_t(line->SpeechFrames + GapFrames) * TFeatures::Hop, 0);
            line->Features = ComputeFeatures(speech.data(), int64_t(speech.size()));
            spoken[i] = line;
        }
        cache[key] = spoken[i];
        report(int(int64_t(SynthShare) * int64_t(n + 1) / int64_t(order.size())));
    }
    if (!Cancelled(cancel)) KeepSpeech(std::move(cache));
    if (analysis.joinable()) analysis.join();
    if (Cancelled(cancel)) {
        result.Status = TAlignStatus::Cancelled;
        return result;
    }
    std::vector<const TFeatures*> parts;
    for (int i : order) parts.push_back(&spoken[size_t(i)]->Features);
    const TNormalization synthNorm = Normalization(parts);

    // Chunks are independent: with several, each thread takes whole chunks; with one, the warp
    // itself uses the threads. Every chunk writes only its own lines.
    std::vector<size_t> work;
    for (size_t c = 0; c < chunks.size(); ++c) {
        if (!chunks[c].Lines.empty()) work.push_back(c);
    }
    std::atomic<size_t> next{0};
    std::atomic<int> finished{0};
    const int warpThreads = work.size() == 1 ? threads : 1;
    auto worker = [&] {
        for (size_t w; (w = next.fetch_add(1)) < work.size();) {
            if (Cancelled(cancel)) return;
            AlignChunk(chunks[work[w]], spoken, synthNorm, rec, warpThreads, cancel, result.Lines);
            ++finished;
        }
    };
    std::vector<std::thread> helpers;
    if (work.size() > 1) {
        for (int t = 1; t < threads; ++t) helpers.emplace_back(worker);
    }
    // This thread works too, and reports between its chunks.
    for (size_t w; (w = next.fetch_add(1)) < work.size();) {
        if (Cancelled(cancel)) break;
        AlignChunk(chunks[work[w]], spoken, synthNorm, rec, warpThreads, cancel, result.Lines);
        ++finished;
        report(SynthShare + int(int64_t(WarpShare) * finished.load() / int64_t(work.size())));
    }
    for (std::thread& t : helpers) t.join();
    if (Cancelled(cancel)) {
        result.Status = TAlignStatus::Cancelled;
        result.Lines.assign(request.Lines.size(), TLineSegment{});
        return result;
    }
    // Only the wanted lines are answered.
    for (size_t i = 0; i < request.Lines.size(); ++i) {
        if (!request.Lines[i].Wanted || !speak[i]) result.Lines[i] = TLineSegment{};
    }
    report(ProgressTotal);
    return result;
}
