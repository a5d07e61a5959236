#include <gtest/gtest.h>

#include <QTextDocument>

#include "LineBinding.h"
#include "TestSupport.h"

namespace {

class LineBindingTest : public FreshStateTest {};

TEST_F(LineBindingTest, ClickedRowCountsTwelvePixelRowsFromOne) {
    EXPECT_EQ(ClickedRow(0), 0);
    EXPECT_EQ(ClickedRow(1), 0);
    EXPECT_EQ(ClickedRow(12), 0);
    EXPECT_EQ(ClickedRow(13), 1);
    EXPECT_EQ(ClickedRow(24), 1);
    EXPECT_EQ(ClickedRow(25), 2);
    EXPECT_EQ(ClickedRow(97), 8);
    // Truncation toward zero: a release just above the memo still counts as row 0.
    EXPECT_EQ(ClickedRow(-5), 0);
    EXPECT_EQ(ClickedRow(-12), -1);
}

TEST_F(LineBindingTest, ListRowCountLeavesTwoRowsOut) {
    EXPECT_EQ(ListRowCount(126), 8);
    EXPECT_EQ(ListRowCount(150), 10);
    EXPECT_EQ(ListRowCount(591), 47);
    EXPECT_EQ(ListRowCount(36), 1);
    EXPECT_EQ(ListRowCount(35), 0);
    EXPECT_LT(ListRowCount(11), 0);
}

TEST_F(LineBindingTest, RowFormatsFiveColumnsThenExcerpt) {
    TItemRec rec;
    rec.Flag = 1;
    rec.Start = 3000;
    rec.Finish = 6000;
    rec.PicCount = 2;
    EXPECT_EQ(ListRow(7, &rec, false, QStringLiteral("hello")),
              QStringLiteral("   7  2 1     3000     6000 hello..."));
    EXPECT_EQ(ListRow(7, &rec, true, QStringLiteral("hello")),
              QStringLiteral("*  7  2 1     3000     6000 hello..."));
    const QString plain = ListRow(7, &rec, false, QString());
    EXPECT_EQ(plain.size(), 28 + 3);
    EXPECT_EQ(plain, QStringLiteral("   7  2 1     3000     6000 ..."));
}

TEST_F(LineBindingTest, WideValueWidensItsColumn) {
    TItemRec rec;
    rec.Flag = -1;
    rec.Start = -123456789;
    rec.Finish = 2147483647;
    rec.PicCount = -300;
    EXPECT_EQ(ListRow(1234, &rec, false, QStringLiteral("x")),
              QStringLiteral(" 1234 -300 -1 -123456789 2147483647 x..."));
}

TEST_F(LineBindingTest, LineWithoutRecordHasBlankColumns) {
    EXPECT_EQ(ListRow(500, nullptr, false, QStringLiteral("late")),
              QString(28, QLatin1Char(' ')) + QStringLiteral("late..."));
    EXPECT_EQ(ListRow(-2, nullptr, true, QString()),
              QStringLiteral("*") + QString(27, QLatin1Char(' ')) + QStringLiteral("..."));
}

TEST_F(LineBindingTest, ExcerptStopsAfterHundredCharacters) {
    TItemRec rec;
    rec.Flag = rec.Start = rec.Finish = 0;
    const QString hundred = QString(99, QLatin1Char('a')) + QLatin1Char('z');
    EXPECT_EQ(ListRow(0, &rec, false, hundred).mid(28), hundred + QStringLiteral("..."));
    EXPECT_EQ(ListRow(0, &rec, false, hundred + QStringLiteral("TAIL")).mid(28),
              hundred + QStringLiteral("..."));
    // A character outside the basic plane counts once and is not cut in half.
    const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E");
    QString wide;
    for (int i = 0; i < 101; ++i) wide += clef;
    const QString cut = ListRow(0, &rec, false, wide).mid(28);
    EXPECT_EQ(cut, wide.left(200) + QStringLiteral("..."));
}

TEST_F(LineBindingTest, ListRowsStayInsideItemTable) {
    QTextDocument text;
    text.setPlainText(QStringLiteral("zero\none\ntwo"));
    ItemTable[0].Flag = 1;
    ItemTable[0].Start = 10;
    ItemTable[0].Finish = 20;
    ItemTable[499].Start = 499;
    const QStringList rows = ListRows(-2, 3, 6, text);
    ASSERT_EQ(rows.size(), 6);
    const QString blank(27, QLatin1Char(' '));
    EXPECT_EQ(rows[0], QStringLiteral(" ") + blank + QStringLiteral("..."));
    EXPECT_EQ(rows[1], QStringLiteral(" ") + blank + QStringLiteral("..."));
    EXPECT_EQ(rows[2], QStringLiteral("   0  0 1       10       20 zero..."));
    EXPECT_EQ(rows[3], QStringLiteral("*  1  0 0        0        0 one..."));
    EXPECT_EQ(rows[5], QStringLiteral("   3  0 0        0        0 ..."));

    const QStringList high = ListRows(498, -1, 4, text);
    EXPECT_EQ(high[1], QStringLiteral(" 499  0 0      499        0 ..."));
    EXPECT_EQ(high[2], QStringLiteral(" ") + blank + QStringLiteral("..."));
    for (const QString& row : high) EXPECT_FALSE(row.startsWith(QLatin1Char('*')));
    EXPECT_TRUE(ListRows(0, 0, 0, text).isEmpty());
    EXPECT_TRUE(ListRows(0, 0, -3, text).isEmpty());
}

TEST_F(LineBindingTest, LeadInIsOneThirdBeforeStartNeverNegative) {
    EXPECT_EQ(LeadInViewStart(3000, 6000), 2000.0f);
    EXPECT_EQ(LeadInViewStart(100, 1000), 0.0f);
    EXPECT_EQ(LeadInViewStart(0, 0), 0.0f);
    // Truncation toward zero of a length that is not a multiple of three, and a reversed segment.
    EXPECT_EQ(LeadInViewStart(1000, 1005), 999.0f);
    EXPECT_EQ(LeadInViewStart(1000, 700), 1100.0f);
    // 32-bit arithmetic: the difference and the lead-in wrap around as the integers do.
    EXPECT_EQ(LeadInViewStart(INT32_MIN, INT32_MAX), 0.0f);
    EXPECT_EQ(LeadInViewStart(INT32_MAX, INT32_MIN), float(INT32_MAX));
    // -2147483640 - 10 wraps to 2147483646, which 64 bits would have clamped to 0.
    EXPECT_EQ(LeadInViewStart(-2147483640, -2147483640 + 30), 2147483646.0f);
}

TEST_F(LineBindingTest, NoRecordMessageCountsLinesFromOne) {
    EXPECT_EQ(NoRecordMessage(500),
              QStringLiteral("Line 501 has no record: at most 500 lines carry segments and pictures."));
    EXPECT_TRUE(HasRecord(0));
    EXPECT_TRUE(HasRecord(499));
    EXPECT_FALSE(HasRecord(500));
    EXPECT_FALSE(HasRecord(-1));
}

TEST_F(LineBindingTest, CountedLinesIgnoreAnEmptyLastLine) {
    QTextDocument text;
    text.setPlainText(QString());
    EXPECT_EQ(CountedLines(text), 0);
    text.setPlainText(QStringLiteral("a"));
    EXPECT_EQ(CountedLines(text), 1);
    text.setPlainText(QStringLiteral("a\n"));
    EXPECT_EQ(CountedLines(text), 1);
    text.setPlainText(QStringLiteral("a\n\n"));
    EXPECT_EQ(CountedLines(text), 2);
    text.setPlainText(QStringLiteral("a\nb"));
    EXPECT_EQ(CountedLines(text), 2);
    EXPECT_EQ(MemoLine(text, 1), QStringLiteral("b"));
    EXPECT_EQ(MemoLine(text, 2), QString());
    EXPECT_EQ(MemoLine(text, -1), QString());
}

std::vector<int> Lines(int caret, int count, int* current) {
    std::vector<int> out;
    for (const TContextLine& l : ContextLines(caret, count)) {
        if (l.Current) *current = l.Line;
        out.push_back(l.Line);
    }
    return out;
}

TEST_F(LineBindingTest, ContextOfTenLines) {
    int current = -1;
    EXPECT_EQ(Lines(0, 10, &current), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(current, 0);
    EXPECT_EQ(Lines(1, 10, &current), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(Lines(2, 10, &current), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(current, 2);
    EXPECT_EQ(Lines(3, 10, &current), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(Lines(7, 10, &current), (std::vector<int>{5, 6, 7, 8}));
    EXPECT_EQ(Lines(8, 10, &current), (std::vector<int>{6, 7, 8}));
    EXPECT_EQ(current, 8);
    EXPECT_EQ(Lines(9, 10, &current), (std::vector<int>{7, 8, 9}));
    EXPECT_EQ(current, 9);
    // An empty second text still shows its caret line.
    EXPECT_EQ(Lines(0, 0, &current), (std::vector<int>{0}));
}

}  // namespace
