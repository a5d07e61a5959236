#pragma once
// The alignment of a project's lines as the editor and sorvelle-cli run it: which lines are
// aligned, which stay fixed, and how the result goes into the item records.

#include <QString>
#include <QStringList>
#include <vector>

#include "Aligner.h"
#include "EditorState.h"

struct TAlignSelection {
    bool Overwrite = false;  // also lines that have a segment already
    int First = 0;           // lines First .. Last only (0-based, inclusive)
    int Last = ItemTableSize - 1;
};

// A line has a segment when its Flag is not 0; a segment with Flag 1 that is not aligned again
// stays fixed. Lines from ItemTableSize on have no record and are left out. Lines without text
// are never aligned.
TAlignRequest MakeProjectRequest(const QStringList& lines,
                                 const TItemRec* records,
                                 const int16_t* samples,
                                 int32_t sampleCount,
                                 const TAlignSelection& selection,
                                 const std::string& voice);

// Lines aligned and, among them, those below LowConfidence; 0-based, ascending.
struct TAlignOutcome {
    std::vector<int> Aligned;
    std::vector<int> LowConfidence;
};

// The one step from records before to records after: Flag 1, Start and Finish for every line
// the result gives a segment; every other field and record stays.
TAlignOutcome ApplyAlignment(const TAlignResult& result, TItemRec* records);

// "Aligned 478 lines. Check lines 17, 203: low confidence."
QString AlignSummary(const TAlignOutcome& outcome);
