#pragma once
// One undo history for the window: the text edits of the memos (each memo's own undo steps,
// brought in as they are made) and every change of the item records, undone and redone in the
// order they were made. When line breaks are inserted into or removed from a memo whose lines own
// records, the records of the lines after the edit move with their lines (LineRecords.h), within
// the same step as the edit, so that undoing the edit puts every record back where it was.
//
// A change made while a memo's own undo is off (loading a text into it) is not an edit: it
// moves no record and makes no step.

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <functional>
#include <memory>
#include <vector>

#include "LineRecords.h"
#include "TMemo.h"

class TEditHistory : public QObject {
  public:
    explicit TEditHistory(QObject* parent);

    // Brings the memo's edits into the history; with recordsFollowLines its lines own the records.
    void Watch(TMemo* memo, bool recordsFollowLines);

    // Runs apply, which changes any number of records of ItemTable (and LateRecords), and keeps
    // what it changed as one step called `text`. A change of nothing makes no step. If apply
    // throws, what it changed until then is still one step, and the exception goes on.
    void RecordItemsChange(const QString& text, const std::function<void()>& apply);

    void Undo();
    void Redo();
    bool CanUndo() const { return stack_.canUndo(); }
    bool CanRedo() const { return stack_.canRedo(); }
    // Forgets every step, also the memos' own: the texts and records as they are now are where
    // undo stops.
    void Clear();
    const QUndoStack& Stack() const { return stack_; }

    // Called after an undo, a redo or a text edit has changed records.
    std::function<void()> OnRecordsChanged;

  private:
    class TTextStep;
    class TRecordsStep;
    struct TWatched {
        TMemo* Memo = nullptr;
        bool RecordsFollowLines = false;
        QString Text;    // the memo's raw text as of the last change seen
        int Blocks = 1;  // and its lines
    };

    // Every step after `step` is undone first: a memo must not add later typing to a step made
    // before another one (or before an undo). The memo whose step it is may go on merging.
    void BreakMerging(const TMemo* except);
    void Push(QUndoCommand* step);
    void TextStepAdded(TWatched& watched);
    void TextChanged(TWatched& watched, int from, int removed, int added);
    void RecordsChanged() const;

    QUndoStack stack_;
    std::vector<std::unique_ptr<TWatched>> watched_;  // not moved: the connections refer to them
    // True while a step is undone or redone: the memos' changes then are the step's own.
    bool replaying_ = false;
    // The step a memo's edit has just become, until the memo reports the change itself.
    TTextStep* pendingStep_ = nullptr;
};
