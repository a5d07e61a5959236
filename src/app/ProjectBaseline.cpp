#include "ProjectBaseline.h"

#include <QTextDocument>
#include <array>

#include "EditorState.h"
#include "TAddItemsForm.h"

namespace {

struct TProjectBaseline {
    QString Text;
    QString SecondText;
    std::array<TItemRec, ItemTableSize> Items;
};

// In static storage like the state it mirrors; one window per run.
TProjectBaseline Baseline;

bool SameRecord(const TItemRec& a, const TItemRec& b) {
    if (a.Flag != b.Flag || a.Start != b.Start || a.Finish != b.Finish || a.PicCount != b.PicCount)
        return false;
    for (int k = 0; k < 5; ++k) {
        if (a.Pics[k] != b.Pics[k]) return false;
    }
    return true;
}

}  // namespace

QString MemoText(const QPlainTextEdit& memo) {
    // The raw text keeps every character (the plain text would turn a no-break space into a
    // space); lines are separated by U+2029.
    return MemoTextOfRaw(memo.document()->toRawText());
}

QString MemoTextOfRaw(QString raw) {
    raw.replace(QChar(QChar::ParagraphSeparator), QStringLiteral("\r\n"));
    return raw;
}

void TakeProjectBaseline(const TAddItemsForm& form) {
    Baseline.Text = MemoText(*form.Memo1);
    Baseline.SecondText = MemoText(*form.Memo2);
    std::copy(std::begin(ItemTable), std::end(ItemTable), Baseline.Items.begin());
}

bool ProjectChanged(const TAddItemsForm& form) {
    for (int i = 0; i < ItemTableSize; ++i) {
        if (!SameRecord(ItemTable[i], Baseline.Items[size_t(i)])) return true;
    }
    return MemoText(*form.Memo1) != Baseline.Text || MemoText(*form.Memo2) != Baseline.SecondText;
}
