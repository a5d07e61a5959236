#pragma once
// The arithmetic of binding text lines to item records: which row of Memo1 a click hit, how many
// list rows fit, what a list row says, where the waveform view starts for a line's segment, and
// which lines of the text form the context of the second text's caret line. Rows and heights are
// in pixels of Memo1; line numbers are 0-based lines of a memo's text.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "EditorState.h"

class QTextDocument;

// Height of one row of Memo1, the pixel height of its font.
inline constexpr int MemoRowHeight = 12;
// Rows of Memo1's height that the list leaves out.
inline constexpr int ListRowsSubtracted = 2;
// Characters of a line shown behind the numbers of a list row.
inline constexpr int ListExcerptLength = 100;

// The row under a pointer at Y, counted from the top of the memo's visible area: (Y - 1) / 12,
// truncated toward zero, so Y = 0 is row 0 as well.
int ClickedRow(int y);

// Number of list rows for a memo of the given pixel height; zero or less gives no row.
int ListRowCount(int memoHeight);

// True when line is one of the lines that own a record of ItemTable (0 .. 499).
bool HasRecord(int line);

// The message for an action that would write the record of a line that has none.
QString NoRecordMessage(int line);

// Line `line` of a memo's text, or "" when the text has no such line.
QString MemoLine(const QTextDocument& text, int line);

// Lines of a memo as the binding counts them: an empty last line is not counted, so a text that
// ends with a line break has as many lines as line breaks.
int CountedLines(const QTextDocument& text);

// One list row: "*%3i %2i %1i %8i %8i " for the clicked row, " %3i %2i %1i %8i %8i " for the
// others (line, PicCount, Flag, Start, Finish), then at most the first 100 characters of the line's
// text and "...". rec is null for a line without a record: its number columns stay blank.
QString ListRow(int line, const TItemRec* rec, bool clicked, const QString& lineText);

// The rows of the list after a release on row `clickedRow` with `firstLine` the first visible
// line: rowCount rows for lines firstLine, firstLine + 1, ...; only row clickedRow carries the
// star, and no row when it lies outside 0 .. rowCount - 1.
QStringList ListRows(int firstLine, int clickedRow, int rowCount, const QTextDocument& text);

// Where the waveform view starts for a segment: start - (finish - start) / 3 in 32-bit integers,
// never below 0. Records loaded with extreme values wrap around as 32-bit arithmetic does.
float LeadInViewStart(int32_t start, int32_t finish);

// The lines of Memo1 shown around caret line `caret` of a text with `lines` counted lines, in
// the order they are appended; Current marks the caret line itself.
struct TContextLine {
    int Line;
    bool Current;
    bool operator==(const TContextLine&) const = default;
};
std::vector<TContextLine> ContextLines(int caret, int lines);
