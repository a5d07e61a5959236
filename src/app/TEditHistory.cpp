#include "TEditHistory.h"

#include <QTextDocument>
#include <utility>

// One edit of a memo, as the memo's own undo holds it, and the records it moved.
class TEditHistory::TTextStep : public QUndoCommand {
  public:
    TTextStep(TEditHistory& history, TMemo* memo)
        : QUndoCommand(QStringLiteral("Typing")), history_(history), memo_(memo) {}

    TMemo* Memo() const { return memo_; }
    void AddRecordChanges(const TRecordChanges& changes) { MergeRecordChanges(records_, changes); }

    void undo() override { Replay(false); }
    void redo() override {
        // Pushed after the memo made the edit: the first redo has nothing left to do.
        if (done_) return;
        Replay(true);
    }

  private:
    void Replay(bool forward) {
        QTextDocument* doc = memo_->document();
        const int stepsBefore = doc->availableUndoSteps();
        history_.replaying_ = true;
        struct TEnd {
            bool& flag;
            ~TEnd() { flag = false; }
        } end{history_.replaying_};
        // Through the editor, so that its caret goes to the edit.
        if (forward) {
            memo_->redo();
        } else {
            memo_->undo();
        }
        done_ = forward;
        history_.BreakMerging(nullptr);
        // Records move only with the text they belong to.
        if (doc->availableUndoSteps() == stepsBefore || records_.empty()) return;
        ApplyRecordChanges(records_, forward);
        history_.RecordsChanged();
    }

    TEditHistory& history_;
    TMemo* memo_;
    TRecordChanges records_;
    bool done_ = true;
};

// A change of records made by one command (SetText, an erase, a picture, an alignment).
class TEditHistory::TRecordsStep : public QUndoCommand {
  public:
    TRecordsStep(TEditHistory& history, const QString& text, TRecordChanges changes)
        : QUndoCommand(text), history_(history), changes_(std::move(changes)) {}

    void undo() override { Apply(false); }
    void redo() override {
        if (done_) return;
        Apply(true);
    }

  private:
    void Apply(bool forward) {
        ApplyRecordChanges(changes_, forward);
        done_ = forward;
        history_.RecordsChanged();
    }

    TEditHistory& history_;
    TRecordChanges changes_;
    bool done_ = true;
};

TEditHistory::TEditHistory(QObject* parent) : QObject(parent) {}

void TEditHistory::Watch(TMemo* memo, bool recordsFollowLines) {
    QTextDocument* doc = memo->document();
    watched_.push_back(
        std::make_unique<TWatched>(TWatched{memo, recordsFollowLines, doc->toRawText(), doc->blockCount()}));
    TWatched& watched = *watched_.back();
    connect(doc, &QTextDocument::undoCommandAdded, this, [this, &watched] { TextStepAdded(watched); });
    connect(doc, &QTextDocument::contentsChange, this, [this, &watched](int from, int removed, int added) {
        TextChanged(watched, from, removed, added);
    });
}

void TEditHistory::BreakMerging(const TMemo* except) {
    // A memo merges typing into its last step while its document counts as modified; unmarked,
    // its next edit makes a step of its own, in its place in the history.
    for (const auto& w : watched_) {
        if (w->Memo != except) w->Memo->document()->setModified(false);
    }
}

void TEditHistory::Push(QUndoCommand* step) {
    // Only the memo's edit that has just become a step may take on records; a push may also
    // delete steps that were undone.
    pendingStep_ = nullptr;
    // A new step ends every redo, also the memos' own.
    for (const auto& w : watched_) {
        QTextDocument* doc = w->Memo->document();
        if (doc->isRedoAvailable()) doc->clearUndoRedoStacks(QTextDocument::RedoStack);
    }
    const auto* text = dynamic_cast<const TTextStep*>(step);
    BreakMerging(text ? text->Memo() : nullptr);
    stack_.push(step);
}

void TEditHistory::TextStepAdded(TWatched& watched) {
    if (replaying_) return;
    auto* step = new TTextStep(*this, watched.Memo);
    Push(step);
    // The memo reports the change itself right after the step.
    pendingStep_ = step;
}

void TEditHistory::TextChanged(TWatched& watched, int from, int removed, int added) {
    TTextStep* step = std::exchange(pendingStep_, nullptr);
    // Only a memo whose lines own records needs its text as it was before each change.
    if (!watched.RecordsFollowLines) return;
    QTextDocument* doc = watched.Memo->document();
    const QString before = std::exchange(watched.Text, doc->toRawText());
    const int blocksBefore = std::exchange(watched.Blocks, doc->blockCount());
    if (replaying_ || !doc->isUndoRedoEnabled()) return;
    // As many lines as before: every line keeps its record.
    if (watched.Blocks == blocksBefore) return;

    const std::vector<TItemRec> old = AllLineRecords();
    const std::vector<TItemRec> now =
        FollowLineEdit(old, LineEditOf(before, watched.Text, from, removed, added));
    TRecordChanges changes = DiffRecords(old, now);
    if (changes.empty()) return;
    SetAllLineRecords(now);
    if (step && step->Memo() == watched.Memo) step->AddRecordChanges(changes);
    RecordsChanged();
}

void TEditHistory::RecordItemsChange(const QString& text, const std::function<void()>& apply) {
    const std::vector<TItemRec> before = AllLineRecords();
    const auto keep = [&] {
        TRecordChanges changes = DiffRecords(before, AllLineRecords());
        if (!changes.empty()) Push(new TRecordsStep(*this, text, std::move(changes)));
    };
    try {
        apply();
    } catch (...) {
        // A change cut short stays undoable.
        keep();
        throw;
    }
    keep();
}

void TEditHistory::Undo() {
    pendingStep_ = nullptr;
    if (stack_.canUndo()) stack_.undo();
}

void TEditHistory::Redo() {
    pendingStep_ = nullptr;
    if (stack_.canRedo()) stack_.redo();
}

void TEditHistory::Clear() {
    stack_.clear();
    pendingStep_ = nullptr;
    for (const auto& w : watched_) w->Memo->document()->clearUndoRedoStacks();
}

void TEditHistory::RecordsChanged() const {
    if (OnRecordsChanged) OnRecordsChanged();
}
