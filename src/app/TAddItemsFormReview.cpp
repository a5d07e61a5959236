// Reviewing and correcting segments quickly: keys, the wheel over the waveform, the segment
// overlay with the playback cursor, the list's double click, the caret line's highlight, and
// the one undo history of the window.
#include <QKeyEvent>
#include <QShortcut>
#include <QTextBlock>
#include <algorithm>
#include <cstdint>

#include "EditorState.h"
#include "ExceptionDialog.h"
#include "LateRecordsDialog.h"
#include "LineBinding.h"
#include "LineRecords.h"
#include "SoundMain.h"
#include "SoundOutput.h"
#include "TAddItemsForm.h"
#include "TEditHistory.h"
#include "WaveRenderer.h"

namespace {

// The caret line's background in Memo1, the same green as its band on the waveform.
const QColor CaretLineColour(204, 255, 204);
// At least 25 moves a second.
constexpr int PlayCursorIntervalMs = 30;

bool IsRedoChord(const QKeyEvent* key) {
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    return (key->key() == Qt::Key_Y && mods == Qt::ControlModifier) ||
           (key->key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier));
}

}  // namespace

void TAddItemsForm::WireReview() {
    history_ = new TEditHistory(this);
    history_->Watch(Memo1, true);
    history_->Watch(Memo2, false);
    history_->OnRecordsChanged = [this] { RecordsChangedOutsideHandlers(); };

    // Window-wide, wherever the focus is; a key reaches its command through the same guard as a
    // click. The memos take their own undo keys first: those are caught in eventFilter.
    auto key = [this](const QKeySequence& sequence, std::function<void()> command) {
        auto* shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [command] { RunHandler(command); });
    };
    key(QKeySequence(Qt::Key_F5), [this] { BitBtn1Click(BitBtn1); });
    key(QKeySequence(Qt::Key_F6), [this] { PlayCaretLineSegment(); });
    key(QKeySequence(Qt::Key_F8), [this] { StoreSelectionAndGoToNextLine(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_O), [this] { OpenBtnClick(OpenBtn); });
    key(QKeySequence(Qt::CTRL | Qt::Key_S), [this] { SaveBtnClick(SaveBtn); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { UndoStep(); });
    key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] { RedoStep(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Y), [this] { RedoStep(); });
    Memo1->installEventFilter(this);
    Memo2->installEventFilter(this);
    for (TMemo* memo : {Memo1, Memo2}) {
        memo->OnMenu = [this](QMenu* menu) {
            for (QAction* action : menu->actions()) {
                const bool undo = action->objectName() == QLatin1String("edit-undo");
                const bool redo = action->objectName() == QLatin1String("edit-redo");
                if (!undo && !redo) continue;
                disconnect(action, &QAction::triggered, nullptr, nullptr);
                action->setEnabled(undo ? history_->CanUndo() : history_->CanRedo());
                connect(action, &QAction::triggered, this,
                        [this, undo] { RunHandler([this, undo] { undo ? UndoStep() : RedoStep(); }); });
            }
        };
    }

    OpenBtn->setToolTip(QStringLiteral("Open a project (Ctrl+O)"));
    SaveBtn->setToolTip(QStringLiteral("Save the texts and the segments (Ctrl+S)"));
    BitBtn1->setToolTip(
        QStringLiteral("Play the selection (F5); F6 shows and plays the caret line's segment"));
    BitBtn3->setToolTip(
        QStringLiteral("Store the selection for the caret line (F8 also goes on to the next line)"));
    SpeedButton8->setToolTip(QStringLiteral("Show the stored segments and the playback cursor"));

    SoundView->OnMouseWheel = [this](QObject* s, TShiftState sh, int dx, int dy, int x, int y) {
        RunHandler([&] { SoundViewMouseWheel(s, sh, dx, dy, x, y); });
    };
    connect(ListBox1, &QListWidget::itemDoubleClicked, this,
            [this] { RunHandler([this] { ListBox1DblClick(ListBox1); }); });
    connect(Memo1, &QPlainTextEdit::cursorPositionChanged, this,
            [this] { ShowExceptionsOf([this] { CaretMoved(); }); });
    CaretMoved();

    playCursorTimer_.setInterval(PlayCursorIntervalMs);
    playCursorTimer_.setTimerType(Qt::PreciseTimer);
    connect(&playCursorTimer_, &QTimer::timeout, this,
            [this] { ShowExceptionsOf([this] { PlayCursorTick(); }); });
}

bool TAddItemsForm::MemoUndoKey(QObject* watched, QEvent* event) {
    if ((watched != Memo1 && watched != Memo2) || event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Undo)) {
        RunHandler([this] { UndoStep(); });
        return true;
    }
    if (key->matches(QKeySequence::Redo) || IsRedoChord(key)) {
        RunHandler([this] { RedoStep(); });
        return true;
    }
    return false;
}

bool TAddItemsForm::OverlayShown() const { return SpeedButton8->isChecked(); }

void TAddItemsForm::SpeedButton8Click(QObject*) {
    DrawWave();
    SoundView->repaint();
    PlayCursorTick();
}

void TAddItemsForm::SoundViewMouseWheel(QObject*, TShiftState Shift, int DeltaX, int DeltaY, int X, int) {
    if (Shift & ssCtrl) {
        const int notches = zoomNotches_.Add(DeltaY);
        if (notches == 0) return;
        ZoomByWheel(EditorState.ViewStart, EditorState.ViewSpan, EditorState.ZoomFactor, notches, X,
                    SoundView->width());
    } else {
        // A horizontal wheel pans as the vertical one: to the left (positive) towards the start.
        const int notches = panNotches_.Add(DeltaX + DeltaY);
        if (notches == 0) return;
        PanByWheel(EditorState.ViewStart, EditorState.ViewSpan, notches);
    }
    ViewChanged();
}

void TAddItemsForm::ListBox1DblClick(QObject*) {
    const QListWidgetItem* item = ListBox1->currentItem();
    if (item == nullptr) return;
    bool ok = false;
    const qlonglong line = item->data(Qt::UserRole).toLongLong(&ok);
    // A row below the end of the text names no line to go to.
    if (!ok || line < 0 || line >= Memo1->document()->blockCount()) return;
    Memo1->setTextCursor(QTextCursor(Memo1->document()->findBlockByNumber(int(line))));
    Memo1->ensureCursorVisible();
    PlayCaretLineSegment();
}

void TAddItemsForm::PlayCaretLineSegment() {
    const int line = CaretLine(Memo1);
    if (!HasRecord(line)) return;
    ShowLineSegment(line);
    // A line without a stored segment has nothing to hear.
    if (ItemTable[line].Flag != 0) BitBtn1Click(BitBtn1);
}

void TAddItemsForm::StoreSelectionAndGoToNextLine() {
    const int line = CaretLine(Memo1);
    BitBtn3Click(BitBtn3);
    // Refused, with its message: nothing moves.
    if (!HasRecord(line)) return;
    const QTextBlock next = Memo1->document()->findBlockByNumber(line + 1);
    if (next.isValid()) {
        Memo1->setTextCursor(QTextCursor(next));
        Memo1->ensureCursorVisible();
    }
    // The next click in the waveform selects from the end of this segment.
    EditorState.MarkA = ItemTable[line].Finish;
    EditorState.MarkB = ItemTable[line].Finish;
}

void TAddItemsForm::UndoStep() { history_->Undo(); }

void TAddItemsForm::RedoStep() { history_->Redo(); }

void TAddItemsForm::RecordItemsChange(const QString& text, const std::function<void()>& apply) {
    history_->RecordItemsChange(text, apply);
    // With the overlay the changed bands show at once; the plain view repaints nothing for it.
    if (OverlayShown()) {
        DrawWave();
        SoundView->repaint();
    }
}

void TAddItemsForm::RecordsChangedOutsideHandlers() {
    SntImsView->update();
    if (OverlayShown()) {
        DrawWave();
        SoundView->update();
    }
}

void TAddItemsForm::ForgetEditHistory() {
    history_->Clear();
    LateRecords.clear();
}

bool TAddItemsForm::MaySaveWithoutLateRecords() {
    const int lines = LateRecordCount();
    return lines == 0 || AskSaveWithoutLateRecords(this, lines);
}

void TAddItemsForm::CaretMoved() {
    QTextEdit::ExtraSelection highlight;
    highlight.format.setBackground(CaretLineColour);
    highlight.format.setProperty(QTextFormat::FullWidthSelection, true);
    // The line that "SetText" binds: the one that holds the end of the selection.
    highlight.cursor = QTextCursor(Memo1->document());
    highlight.cursor.setPosition(Memo1->textCursor().selectionEnd());
    Memo1->setExtraSelections({highlight});
    const int line = CaretLine(Memo1);
    if (line == caretLine_) return;
    caretLine_ = line;
    if (OverlayShown()) {
        DrawWave();
        SoundView->update();
    }
}

void TAddItemsForm::PlayCursorTick() {
    int x = -1;
    const int64_t played = SoundPlayedUSecs();
    if (played < 0) {
        playCursorTimer_.stop();
    } else if (OverlayShown()) {
        // Seconds from the segment's first frame on, as positions of the timeline.
        const double start = double(float(Player.PlayFrom) * Player.FrameDuration) * double(TimelineRate);
        const double at = start + double(played) * 1e-6 * double(TimelineRate);
        const double clamped = std::clamp(at, double(INT32_MIN), double(INT32_MAX));
        const int W = SoundView->width();
        const int64_t column =
            ColumnAt(int32_t(clamped), FirstSample(EditorState.ViewStart), W, EditorState.ViewSpan);
        if (column >= 0 && column < W) x = int(column);
    }
    if (x == playCursorX_) return;
    // Only the two columns change: the rest of the view stays as painted.
    const int H = SoundView->height();
    if (playCursorX_ >= 0) SoundView->update(QRect(playCursorX_, 0, 1, H));
    playCursorX_ = x;
    if (x >= 0) SoundView->update(QRect(x, 0, 1, H));
}
