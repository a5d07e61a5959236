// Binding text lines to segments, the second text's context pane, and the pane toggles.
#include <QApplication>
#include <QClipboard>
#include <QTextCursor>
#include <QTextDocumentFragment>

#include "EditorState.h"
#include "ExceptionDialog.h"
#include "KeyboardInput.h"
#include "LineBinding.h"
#include "TAddItemsForm.h"

namespace {

// ListBox1 shows one row per text line of Memo1, from firstLine on: rows as high as Memo1's.
// Each row knows its line, for a double click.
void FillList(QListWidget* list, const QStringList& rows, int firstLine) {
    list->clear();
    qlonglong line = firstLine;
    for (const QString& row : rows) {
        auto* item = new QListWidgetItem(row, list);
        item->setSizeHint(QSize(list->fontMetrics().horizontalAdvance(row) + 4, MemoRowHeight));
        item->setData(Qt::UserRole, line++);
    }
}

}  // namespace

void TAddItemsForm::BitBtn3Click(QObject*) {
    const int caretLine = CaretLine(Memo1);
    if (!HasRecord(caretLine)) {
        ShowException(NoRecordMessage(caretLine));
        return;
    }
    RecordItemsChange(QStringLiteral("SetText, line %1").arg(caretLine), [caretLine] {
        ItemTable[caretLine].Flag = 1;
        ItemTable[caretLine].Start = EditorState.SelStart;
        ItemTable[caretLine].Finish = EditorState.SelEnd;
    });
}

void TAddItemsForm::ShowLineSegment(int line) {
    const TItemRec& rec = ItemTable[line];
    EditorState.SelStart = rec.Start;
    EditorState.SelEnd = rec.Finish;
    EditorState.MarkA = EditorState.SelStart;
    EditorState.MarkB = EditorState.SelEnd;
    EditorState.ViewStart = LeadInViewStart(rec.Start, rec.Finish);
    DrawWave();
    SoundView->repaint();
}

void TAddItemsForm::Memo1MouseUp(QObject*, TMouseButton Button, TShiftState Shift, int, int Y) {
    const int clickedRow = ClickedRow(Y);
    const int rowCount = ListRowCount(Memo1->height());
    // The memo has already placed the caret, extending its selection when Shift is held.
    const int caretLine = CaretLine(Memo1);
    const int firstLine = caretLine - clickedRow;
    if (Button == mbLeft) {
        if (Shift & ssShift) {
            if (HasRecord(caretLine)) ShowLineSegment(caretLine);
        } else if (Shift & ssAlt) {
            if (HasRecord(caretLine)) {
                // The pictures stay with the line; only the segment goes.
                RecordItemsChange(QStringLiteral("Erase, line %1").arg(caretLine), [caretLine] {
                    ItemTable[caretLine].Flag = 0;
                    ItemTable[caretLine].Start = 0;
                    ItemTable[caretLine].Finish = 0;
                });
            } else {
                ShowException(NoRecordMessage(caretLine));
            }
        }
        FillList(ListBox1, ListRows(firstLine, clickedRow, rowCount, *Memo1->document()), firstLine);
    }
    SntImsView->update();
}

void TAddItemsForm::Memo2MouseUp(QObject*, TMouseButton Button, TShiftState, int, int) {
    if (Button != mbLeft) return;
    RichEdit1->clear();
    const int caretLine = CaretLine(Memo2);
    const int lineCount = CountedLines(*Memo2->document());
    QTextCursor cursor(RichEdit1->document());
    bool first = true;
    for (const TContextLine& line : ContextLines(caretLine, lineCount)) {
        QTextCharFormat format;
        format.setForeground(line.Current ? QColor(255, 0, 0) : QColor(0, 0, 0));
        // The block keeps the colour too, so an empty current line is red where one types.
        if (first) {
            cursor.setBlockCharFormat(format);
        } else {
            cursor.insertBlock(QTextBlockFormat(), format);
        }
        cursor.insertText(MemoLine(*Memo1->document(), line.Line), format);
        first = false;
    }
    // Text typed into the pane from here on is black.
    RichEdit1->setTextColor(QColor(0, 0, 0));
}

void TAddItemsForm::RichEdit1MouseDown(QObject*, TMouseButton, TShiftState Shift, int, int) {
    // The editor's own menu on a right press would take the keyboard from the window the keys go to.
    RichEdit1->setContextMenuPolicy(Qt::NoContextMenu);
    if (!(Shift & ssRight)) return;
    const QTextCursor selection = RichEdit1->textCursor();
    if (!selection.hasSelection()) return;
    const QString selected = selection.selection().toPlainText();
    if (selected.isEmpty()) return;
    QApplication::clipboard()->setText(selected, QClipboard::Clipboard);
    SendCopyChord(KeyboardInput());
}

void TAddItemsForm::SpeedButton6Click(QObject*) {
    const bool down = SpeedButton6->isChecked();
    Panel1->setVisible(down);
    Panel3->setVisible(down);
}

void TAddItemsForm::SpeedButton7Click(QObject*) {
    const bool down = SpeedButton7->isChecked();
    Panel8->setVisible(down);
    Memo2->setVisible(down);
    Splitter2->setVisible(down);
}
