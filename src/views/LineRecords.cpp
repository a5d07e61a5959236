#include "LineRecords.h"

#include <algorithm>
#include <map>

// In static storage beside ItemTable, for the whole run.
std::vector<TItemRec> LateRecords;

namespace {

const QChar LineBreak(QChar::ParagraphSeparator);

int LineBreaks(const QString& text, qsizetype from, qsizetype to) {
    int n = 0;
    for (qsizetype i = from; i < to; ++i) {
        if (text[i] == LineBreak) ++n;
    }
    return n;
}

const TItemRec& RecordOf(const std::vector<TItemRec>& records, qsizetype i) {
    static const TItemRec empty;
    return i >= 0 && i < qsizetype(records.size()) ? records[size_t(i)] : empty;
}

}  // namespace

bool IsEmptyRecord(const TItemRec& rec) { return RecordsEqual(rec, TItemRec()); }

bool RecordsEqual(const TItemRec& a, const TItemRec& b) {
    if (a.Flag != b.Flag || a.Start != b.Start || a.Finish != b.Finish || a.PicCount != b.PicCount)
        return false;
    return std::equal(std::begin(a.Pics), std::end(a.Pics), std::begin(b.Pics));
}

std::vector<TItemRec> AllLineRecords() {
    std::vector<TItemRec> all(std::begin(ItemTable), std::end(ItemTable));
    all.insert(all.end(), LateRecords.begin(), LateRecords.end());
    return all;
}

void SetAllLineRecords(const std::vector<TItemRec>& records) {
    for (int i = 0; i < ItemTableSize; ++i) ItemTable[i] = RecordOf(records, i);
    if (records.size() > size_t(ItemTableSize)) {
        LateRecords.assign(records.begin() + ItemTableSize, records.end());
    } else {
        LateRecords.clear();
    }
    while (!LateRecords.empty() && IsEmptyRecord(LateRecords.back())) LateRecords.pop_back();
}

int LateRecordCount() {
    return int(std::count_if(LateRecords.begin(), LateRecords.end(),
                             [](const TItemRec& rec) { return !IsEmptyRecord(rec); }));
}

TLineEdit LineEditOf(const QString& before, const QString& after, int from, int removed, int added) {
    const qsizetype nb = before.size();
    const qsizetype na = after.size();
    qsizetype start = 0;
    qsizetype endB = nb;
    qsizetype endA = na;
    const bool fits = from >= 0 && removed >= 0 && added >= 0 && from + qsizetype(removed) <= nb &&
                      from + qsizetype(added) <= na && nb - removed == na - added;
    if (fits) {
        start = from;
        endB = from + qsizetype(removed);
        endA = from + qsizetype(added);
    }
    // Inside the range, what the two texts share at either end was not changed. The range's own
    // start is kept as a bound: a text of equal lines ("a", "a") does not say which one went.
    while (start < endB && start < endA && before[start] == after[start]) ++start;
    while (endB > start && endA > start && before[endB - 1] == after[endA - 1]) {
        --endB;
        --endA;
    }
    TLineEdit edit;
    edit.Line = LineBreaks(after, 0, start);
    edit.OldLines = 1 + LineBreaks(before, start, endB);
    edit.NewLines = 1 + LineBreaks(after, start, endA);
    edit.StartsLine = start == 0 || after[start - 1] == LineBreak;
    return edit;
}

std::vector<TItemRec> FollowLineEdit(const std::vector<TItemRec>& records, const TLineEdit& edit) {
    const int a = edit.Line;
    const int k = edit.OldLines;
    const int m = edit.NewLines;
    if (k == m || a < 0 || k < 1 || m < 1) return records;
    const TItemRec empty;
    std::vector<TItemRec> middle;
    middle.reserve(size_t(m));
    if (k == 1) {
        // A split: the record goes with the line's text.
        if (edit.StartsLine) middle.assign(size_t(m - 1), empty);
        middle.push_back(RecordOf(records, a));
        if (!edit.StartsLine) middle.insert(middle.end(), size_t(m - 1), empty);
    } else if (m == 1) {
        // A join: the first line's record, unless none of the first line's text is left.
        middle.push_back(RecordOf(records, edit.StartsLine ? a + k - 1 : a));
    } else {
        middle.push_back(RecordOf(records, a));
        middle.insert(middle.end(), size_t(m - 2), empty);
        middle.push_back(RecordOf(records, a + k - 1));
    }
    std::vector<TItemRec> out;
    out.reserve(records.size() + size_t(m));
    for (int i = 0; i < a; ++i) out.push_back(RecordOf(records, i));
    out.insert(out.end(), middle.begin(), middle.end());
    for (size_t i = size_t(a) + size_t(k); i < records.size(); ++i) out.push_back(records[i]);
    while (out.size() > size_t(ItemTableSize) && IsEmptyRecord(out.back())) out.pop_back();
    return out;
}

TRecordChanges DiffRecords(const std::vector<TItemRec>& before, const std::vector<TItemRec>& after) {
    TRecordChanges changes;
    const size_t n = std::max(before.size(), after.size());
    for (size_t i = 0; i < n; ++i) {
        const TItemRec& b = RecordOf(before, qsizetype(i));
        const TItemRec& a = RecordOf(after, qsizetype(i));
        if (!RecordsEqual(a, b)) changes.push_back({int(i), b, a});
    }
    return changes;
}

void MergeRecordChanges(TRecordChanges& into, const TRecordChanges& later) {
    std::map<int, size_t> at;
    for (size_t i = 0; i < into.size(); ++i) at[into[i].Index] = i;
    for (const TRecordChange& change : later) {
        const auto found = at.find(change.Index);
        if (found == at.end()) {
            at[change.Index] = into.size();
            into.push_back(change);
        } else {
            into[found->second].After = change.After;
        }
    }
}

void ApplyRecordChanges(const TRecordChanges& changes, bool after) {
    if (changes.empty()) return;
    std::vector<TItemRec> all = AllLineRecords();
    for (const TRecordChange& change : changes) {
        if (change.Index < 0) continue;
        if (size_t(change.Index) >= all.size()) all.resize(size_t(change.Index) + 1);
        all[size_t(change.Index)] = after ? change.After : change.Before;
    }
    SetAllLineRecords(all);
}

std::vector<int> LineMapByText(const QStringList& before, const QStringList& after) {
    const int oldCount = int(before.size());
    const int newCount = int(after.size());
    std::vector<int> map(size_t(oldCount), -1);
    int head = 0;
    while (head < oldCount && head < newCount && before[head] == after[head]) {
        map[size_t(head)] = head;
        ++head;
    }
    int tail = 0;
    while (tail < oldCount - head && tail < newCount - head &&
           before[oldCount - 1 - tail] == after[newCount - 1 - tail]) {
        map[size_t(oldCount - 1 - tail)] = newCount - 1 - tail;
        ++tail;
    }
    // The changed middle: a longest common subsequence of its lines, where that stays small (an
    // edit made while an alignment runs touches a few lines); a huge middle maps positionally only
    // when its length is unchanged.
    const int oldMiddle = oldCount - head - tail;
    const int newMiddle = newCount - head - tail;
    if (oldMiddle == newMiddle) {
        for (int i = 0; i < oldMiddle; ++i) map[size_t(head + i)] = head + i;
        return map;
    }
    constexpr int64_t MaxCells = 4 * 1024 * 1024;
    if (oldMiddle == 0 || newMiddle == 0 || int64_t(oldMiddle + 1) * (newMiddle + 1) > MaxCells) return map;
    const int columns = newMiddle + 1;
    std::vector<int> common(size_t(oldMiddle + 1) * size_t(columns), 0);
    const auto at = [&](int i, int j) -> int& { return common[size_t(i) * size_t(columns) + size_t(j)]; };
    for (int i = oldMiddle - 1; i >= 0; --i) {
        for (int j = newMiddle - 1; j >= 0; --j) {
            at(i, j) = before[head + i] == after[head + j] ? at(i + 1, j + 1) + 1
                                                           : std::max(at(i + 1, j), at(i, j + 1));
        }
    }
    // Walk the common lines; between two of them, a run of changed lines of equal length on both
    // sides maps one to one.
    int i = 0;
    int j = 0;
    int runOld = 0;
    int runNew = 0;
    const auto closeRun = [&] {
        if (i - runOld == j - runNew) {
            for (int k = 0; k < i - runOld; ++k) map[size_t(head + runOld + k)] = head + runNew + k;
        }
    };
    while (i < oldMiddle && j < newMiddle) {
        if (before[head + i] == after[head + j] && at(i, j) == at(i + 1, j + 1) + 1) {
            closeRun();
            map[size_t(head + i)] = head + j;
            runOld = ++i;
            runNew = ++j;
        } else if (at(i + 1, j) >= at(i, j + 1)) {
            ++i;
        } else {
            ++j;
        }
    }
    i = oldMiddle;
    j = newMiddle;
    closeRun();
    return map;
}
