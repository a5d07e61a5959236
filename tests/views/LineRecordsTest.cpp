// How records follow their lines through an edit, and the records of lines from 500 on.
#include <gtest/gtest.h>

#include <ostream>

#include "LineRecords.h"
#include "TestSupport.h"

inline void PrintTo(const TLineEdit& e, std::ostream* os) {
    *os << "{line " << e.Line << ", " << e.OldLines << " -> " << e.NewLines
        << (e.StartsLine ? ", at start" : "") << "}";
}

namespace {

// Lines written with "\n", as the editor holds them (U+2029 between lines).
QString T(const char* text) {
    return QString::fromUtf8(text).replace(QLatin1Char('\n'), QChar(QChar::ParagraphSeparator));
}

TItemRec Rec(int flag, int start, int finish, int pics = 0) {
    TItemRec r;
    r.Flag = flag;
    r.Start = start;
    r.Finish = finish;
    r.PicCount = int16_t(pics);
    return r;
}

// Record i holds segment 100 i .. 100 i + 50 (line 0 too: Flag 1 tells them from empty ones).
std::vector<TItemRec> Numbered(int n) {
    std::vector<TItemRec> records(static_cast<size_t>(ItemTableSize));
    for (int i = 0; i < n; ++i) records[size_t(i)] = Rec(1, 100 * i, 100 * i + 50);
    return records;
}

// The Start of each of the first n records, -1 for an empty one.
std::vector<int> Starts(const std::vector<TItemRec>& records, int n) {
    std::vector<int> starts;
    for (int i = 0; i < n; ++i) {
        const TItemRec& r = records[size_t(i)];
        starts.push_back(IsEmptyRecord(r) ? -1 : r.Start);
    }
    return starts;
}

struct TEditCase {
    const char* name;
    const char* before;
    const char* after;
    int from, removed, added;
    TLineEdit expected;
};

}  // namespace

TEST(LineRecords, LineEditOfNamesTheLinesAnEditTouched) {
    const TEditCase cases[] = {
        {"Enter inside a line", "abc\ndef", "ab\nc\ndef", 2, 0, 1, {0, 1, 2, false}},
        {"Enter at a line's start", "abc\ndef", "abc\n\ndef", 4, 0, 1, {1, 1, 2, true}},
        {"Backspace at a line's start", "abc\ndef", "abcdef", 3, 1, 0, {0, 2, 1, false}},
        {"Delete on an empty line", "x\n\nabc", "x\nabc", 2, 1, 0, {1, 2, 1, true}},
        // Equal lines: the reported start says which one went.
        {"first of two equal lines deleted", "a\na", "a", 0, 2, 0, {0, 2, 1, true}},
        {"equal lines joined", "x\ny\ny", "x\ny", 3, 2, 0, {1, 2, 1, false}},
        // A whole line replaced by itself and a break: only the break is new.
        {"paste over a selected line", "x\nz", "x\n\nz", 0, 1, 2, {0, 1, 2, false}},
        {"paste of three lines", "ab\ncd", "ap\nq\nrb\ncd", 1, 0, 5, {0, 1, 3, false}},
        // A range wider than the change (a format change around it) is narrowed.
        {"wide range", "abc\ndef", "ab\nc\ndef", 0, 7, 8, {0, 1, 2, false}},
        // A range that does not fit the texts is worked out from them.
        {"range off", "abc\ndef\nghi", "abc\nghi", 0, 99, 1, {1, 2, 1, true}},
    };
    for (const TEditCase& c : cases) {
        EXPECT_EQ(LineEditOf(T(c.before), T(c.after), c.from, c.removed, c.added), c.expected) << c.name;
    }
}

TEST(LineRecords, RecordsFollowSplitsJoinsInsertionsAndDeletions) {
    const std::vector<TItemRec> r = Numbered(6);
    // Split inside line 1: it keeps its record, the new line 2 has none, the rest move down.
    EXPECT_EQ(Starts(FollowLineEdit(r, {1, 1, 2, false}), 7),
              (std::vector<int>{0, 100, -1, 200, 300, 400, 500}));
    // Split at line 1's start: the text moves down, and its record with it.
    EXPECT_EQ(Starts(FollowLineEdit(r, {1, 1, 2, true}), 7),
              (std::vector<int>{0, -1, 100, 200, 300, 400, 500}));
    // Join of lines 1 and 2: line 1's record stays, line 2's goes.
    EXPECT_EQ(Starts(FollowLineEdit(r, {1, 2, 1, false}), 6), (std::vector<int>{0, 100, 300, 400, 500, -1}));
    // Lines 1 .. 3 deleted whole (the join starts at line 1's start): line 4 keeps its record.
    EXPECT_EQ(Starts(FollowLineEdit(r, {1, 4, 1, true}), 4), (std::vector<int>{0, 400, 500, -1}));
    // Three lines pasted inside line 2: first and last part of line 2 around two new lines.
    EXPECT_EQ(Starts(FollowLineEdit(r, {2, 1, 4, false}), 8),
              (std::vector<int>{0, 100, 200, -1, -1, -1, 300, 400}));
    // Lines 1 .. 3 replaced by two lines: the first and the last keep theirs.
    EXPECT_EQ(Starts(FollowLineEdit(r, {1, 3, 2, false}), 5), (std::vector<int>{0, 100, 300, 400, 500}));
    // As many lines as before: nothing moves.
    EXPECT_EQ(Starts(FollowLineEdit(r, {1, 3, 3, true}), 6), Starts(r, 6));
}

TEST(LineRecords, RecordsPushedPastTheTableComeBack) {
    ResetTestWorld();
    std::vector<TItemRec> r = Numbered(ItemTableSize);
    r[499].PicCount = 2;
    SetAllLineRecords(r);
    // Two lines inserted at the top: records 498 and 499 now belong to lines 500 and 501.
    SetAllLineRecords(FollowLineEdit(AllLineRecords(), {0, 1, 3, true}));
    ASSERT_EQ(LateRecords.size(), 2u);
    EXPECT_EQ(LateRecords[1].Start, 49900);
    EXPECT_EQ(LateRecords[1].PicCount, 2);
    EXPECT_EQ(LateRecordCount(), 2);
    EXPECT_EQ(ItemTable[2].Flag, 1);
    EXPECT_EQ(ItemTable[2].Start, 0);
    EXPECT_TRUE(IsEmptyRecord(ItemTable[1]));
    EXPECT_EQ(ItemTable[499].Start, 49700);
    // Deleting the two lines again brings them back into the table.
    SetAllLineRecords(FollowLineEdit(AllLineRecords(), {0, 3, 1, true}));
    EXPECT_TRUE(LateRecords.empty());
    EXPECT_EQ(ItemTable[499].Start, 49900);
    EXPECT_EQ(ItemTable[499].PicCount, 2);
    EXPECT_EQ(ItemTable[0].Start, 0);
    EXPECT_EQ(ItemTable[1].Start, 100);

    // An empty record pushed past the table is not kept, and not counted.
    ItemTable[499] = TItemRec();
    SetAllLineRecords(FollowLineEdit(AllLineRecords(), {0, 1, 2, true}));
    EXPECT_EQ(LateRecords.size(), 0u);
    EXPECT_EQ(LateRecordCount(), 0);
    ResetTestWorld();
}

TEST(LineRecords, ChangesMergeAndApplyBothWays) {
    ResetTestWorld();
    const std::vector<TItemRec> start = AllLineRecords();
    std::vector<TItemRec> middle = start;
    middle[3] = Rec(1, 10, 20);
    middle.push_back(Rec(1, 5, 6));  // line 500
    TRecordChanges changes = DiffRecords(start, middle);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[1].Index, 500);
    std::vector<TItemRec> end = middle;
    end[3] = Rec(1, 30, 40);
    MergeRecordChanges(changes, DiffRecords(middle, end));
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_TRUE(IsEmptyRecord(changes[0].Before));
    EXPECT_EQ(changes[0].After.Start, 30);

    ApplyRecordChanges(changes, true);
    EXPECT_EQ(ItemTable[3].Start, 30);
    ASSERT_EQ(LateRecords.size(), 1u);
    EXPECT_EQ(LateRecords[0].Finish, 6);
    ApplyRecordChanges(changes, false);
    EXPECT_TRUE(IsEmptyRecord(ItemTable[3]));
    EXPECT_TRUE(LateRecords.empty());
}

TEST(LineRecords, LineMapByTextFindsTheAlignedLinesAfterEdits) {
    const QStringList before{"a", "b", "c", "d", "e"};
    // "b" retyped with two lines inserted after it, "e" deleted: which of the three new lines was
    // "b" cannot be told, so it maps nowhere; a retyped line between unchanged ones keeps its place.
    EXPECT_EQ(LineMapByText(before, {"a", "B", "x", "y", "c", "d"}), (std::vector<int>{0, -1, 4, 5, -1}));
    EXPECT_EQ(LineMapByText(before, {"a", "B", "c", "x", "d", "e"}), (std::vector<int>{0, 1, 2, 4, 5}));
    // Duplicated (empty) lines map in order, not all to the first.
    EXPECT_EQ(LineMapByText({"", "a", ""}, {"z", "", "a", ""}), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(LineMapByText(before, {}), (std::vector<int>(5, -1)));
}
