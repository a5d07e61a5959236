#include "LineBinding.h"

#include <QTextBlock>
#include <QTextDocument>

int ClickedRow(int y) { return (y - 1) / MemoRowHeight; }

int ListRowCount(int memoHeight) { return memoHeight / MemoRowHeight - ListRowsSubtracted; }

bool HasRecord(int line) { return line >= 0 && line < ItemTableSize && line < EditorState.MaxItems; }

QString NoRecordMessage(int line) {
    return QStringLiteral("Line %1 has no record: at most 500 lines carry segments and pictures.")
        .arg(qint64(line) + 1);
}

QString MemoLine(const QTextDocument& text, int line) {
    if (line < 0) return QString();
    const QTextBlock block = text.findBlockByNumber(line);
    return block.isValid() ? block.text() : QString();
}

int CountedLines(const QTextDocument& text) {
    const int blocks = text.blockCount();
    return text.lastBlock().text().isEmpty() ? blocks - 1 : blocks;
}

namespace {

// The first `count` characters of s, a surrogate pair counting as one character and never split.
QString Excerpt(const QString& s, int count) {
    qsizetype i = 0;
    for (int taken = 0; i < s.size() && taken < count; ++taken) {
        i += (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) ? 2 : 1;
    }
    return s.left(i);
}

}  // namespace

QString ListRow(int line, const TItemRec* rec, bool clicked, const QString& lineText) {
    QString row;
    if (rec) {
        row = QString::asprintf(clicked ? "*%3i %2i %1i %8i %8i " : " %3i %2i %1i %8i %8i ", line,
                                int(rec->PicCount), int(rec->Flag), int(rec->Start), int(rec->Finish));
    } else {
        // The width of the formatted numbers when each fits its column.
        row = QString(clicked ? QStringLiteral("*") : QStringLiteral(" ")) + QString(27, QLatin1Char(' '));
    }
    return row + Excerpt(lineText, ListExcerptLength) + QStringLiteral("...");
}

QStringList ListRows(int firstLine, int clickedRow, int rowCount, const QTextDocument& text) {
    QStringList rows;
    for (int k = 0; k < rowCount; ++k) {
        const int64_t wide = int64_t(firstLine) + k;
        // A line number beyond int has neither text nor record.
        const int line = wide > INT32_MAX ? -1 : int(wide);
        const TItemRec* rec = wide <= INT32_MAX && HasRecord(line) ? &ItemTable[line] : nullptr;
        rows.append(ListRow(line, rec, k == clickedRow, MemoLine(text, line)));
    }
    return rows;
}

float LeadInViewStart(int32_t start, int32_t finish) {
    // Unsigned arithmetic wraps without undefined behaviour; the conversions back are modular.
    const auto length = static_cast<int32_t>(static_cast<uint32_t>(finish) - static_cast<uint32_t>(start));
    const int32_t lead = length / 3;
    const auto viewStart = static_cast<int32_t>(static_cast<uint32_t>(start) - static_cast<uint32_t>(lead));
    return viewStart >= 0 ? float(viewStart) : 0.0f;
}

std::vector<TContextLine> ContextLines(int caret, int lines) {
    std::vector<TContextLine> out;
    if (caret > 2) out.push_back({caret - 2, false});
    if (caret > 1) out.push_back({caret - 1, false});
    out.push_back({caret, true});
    if (caret < lines - 2) out.push_back({caret + 1, false});
    if (caret < lines - 3) out.push_back({caret + 2, false});
    return out;
}
