#pragma once
// The records of all text lines of Memo1, as one sequence: line i < 500 owns record i of ItemTable,
// the file's table; a line from 500 on owns an entry of LateRecords, which lives in memory only, so
// that records pushed past line 499 by inserted lines come back when lines are deleted again.
//
// How records follow their lines when line breaks are inserted or removed: an edit replaces old
// lines a .. a + k - 1 by new lines a .. a + m - 1 (k, m >= 1), and every line after it keeps its
// record. Inside the edit, a record stays with the text it belongs to: a line that is split keeps
// its record on its first part, unless the split lies at the very start of the line (the text
// moves down, so the record does too); joined lines keep the first line's record, unless the
// first line's whole text went with the join (its record goes, the last line's stays).

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "EditorState.h"

// Records of lines 500 and beyond, in line order from line 500 on; trailing empty records are
// not kept. Not saved: the segment table holds 500 records.
extern std::vector<TItemRec> LateRecords;

bool IsEmptyRecord(const TItemRec& rec);
bool RecordsEqual(const TItemRec& a, const TItemRec& b);

// ItemTable followed by LateRecords: every record a line owns.
std::vector<TItemRec> AllLineRecords();
// Puts records back: the first 500 into ItemTable, the rest into LateRecords. Fewer than 500
// leaves the table's later records empty.
void SetAllLineRecords(const std::vector<TItemRec>& records);

// Lines from 500 on whose record is not empty: what a save cannot keep.
int LateRecordCount();

// What an edit did to the lines of a text (see the head of this file).
struct TLineEdit {
    int Line = 0;             // a: the first line the edit touched
    int OldLines = 1;         // k: lines a .. a + k - 1 of the old text
    int NewLines = 1;         // m: lines a .. a + m - 1 of the new text
    bool StartsLine = false;  // the edit begins at the start of line a (nothing of it before)
    bool operator==(const TLineEdit&) const = default;
};

// The lines an edit touched, from the text before and after it (lines separated by U+2029) and
// the changed range the editor reported: `from`, then `removed` characters of the old text
// replaced by `added` of the new. The range is narrowed to what really differs inside it; a range
// that does not fit the two texts is worked out from the texts alone.
TLineEdit LineEditOf(const QString& before, const QString& after, int from, int removed, int added);

// The records after the edit, from those before it.
std::vector<TItemRec> FollowLineEdit(const std::vector<TItemRec>& records, const TLineEdit& edit);

// Records before and after a change, for the ones that differ; index in AllLineRecords order.
struct TRecordChange {
    int Index = 0;
    TItemRec Before;
    TItemRec After;
};
using TRecordChanges = std::vector<TRecordChange>;

TRecordChanges DiffRecords(const std::vector<TItemRec>& before, const std::vector<TItemRec>& after);
// Folds a later change into an earlier one: the earliest Before, the latest After of each record.
void MergeRecordChanges(TRecordChanges& into, const TRecordChanges& later);
// Writes the After (or Before) side of each change into ItemTable and LateRecords.
void ApplyRecordChanges(const TRecordChanges& changes, bool after);

// Where each line of `before` stands in `after`, or -1 where it is gone: lines whose text is
// unchanged keep their place relative to each other (the longest common run of lines), and a run
// of changed lines between two such lines maps one to one when the run kept its length. Work that
// was done on a text as it was (an alignment) reaches the lines it was done for, after edits.
std::vector<int> LineMapByText(const QStringList& before, const QStringList& after);
