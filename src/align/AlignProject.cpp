#include "AlignProject.h"

TAlignRequest MakeProjectRequest(const QStringList& lines,
                                 const TItemRec* records,
                                 const int16_t* samples,
                                 int32_t sampleCount,
                                 const TAlignSelection& selection,
                                 const std::string& voice) {
    TAlignRequest request;
    request.Samples = samples;
    request.SampleCount = sampleCount;
    request.Voice = voice;
    const int count = std::min<int>(int(lines.size()), ItemTableSize);
    for (int i = 0; i < count; ++i) {
        const TItemRec& rec = records[i];
        TAlignLine line;
        line.Text = lines[i];
        const bool chosen = i >= selection.First && i <= selection.Last;
        const bool hasSegment = rec.Flag != 0;
        line.Wanted = chosen && (selection.Overwrite || !hasSegment);
        // A stored segment that is not aligned again splits the alignment; one with an unknown
        // Flag is kept too, but trusted for nothing.
        line.Fixed = !line.Wanted && rec.Flag == 1;
        line.Start = rec.Start;
        line.Finish = rec.Finish;
        request.Lines.push_back(line);
    }
    return request;
}

TAlignOutcome ApplyAlignment(const TAlignResult& result, TItemRec* records) {
    TAlignOutcome outcome;
    if (result.Status != TAlignStatus::Ok) return outcome;
    const int count = std::min<int>(int(result.Lines.size()), ItemTableSize);
    for (int i = 0; i < count; ++i) {
        const TLineSegment& seg = result.Lines[size_t(i)];
        if (!seg.HasSegment) continue;
        records[i].Flag = 1;
        records[i].Start = seg.Start;
        records[i].Finish = seg.Finish;
        outcome.Aligned.push_back(i);
        if (seg.Confidence < LowConfidence) outcome.LowConfidence.push_back(i);
    }
    return outcome;
}

QString AlignSummary(const TAlignOutcome& outcome) {
    const qsizetype n = qsizetype(outcome.Aligned.size());
    QString text = n == 1 ? QStringLiteral("Aligned 1 line.") : QStringLiteral("Aligned %1 lines.").arg(n);
    if (!outcome.LowConfidence.empty()) {
        QStringList numbers;
        for (int line : outcome.LowConfidence) numbers << QString::number(line);
        text += outcome.LowConfidence.size() == 1 ? QStringLiteral(" Check line %1: low confidence.")
                                                  : QStringLiteral(" Check lines %1: low confidence.");
        text = text.arg(numbers.join(QStringLiteral(", ")));
    }
    return text;
}
