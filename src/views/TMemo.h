#pragma once
// A multi-line text editor without word wrap: every row on screen is one line of the text.
// OnMouseUp runs after the editor's own handling of the release, so the caret is already placed.
// The editor's menu for the mouse opens after the right button's release and its OnMouseUp, not
// on the press: the release reaches the editor.
//
// Rows are MemoRowHeight (12) pixels high and start 1 pixel below the top of the editor's client
// area, whatever the scroll position: row k covers client Y = 12k + 1 .. 12k + 12, so the row
// under the pointer is (Y - 1) / 12. The handlers get X and Y in client pixels (inside the frame).

#include <QMenu>
#include <QPlainTextEdit>
#include <functional>

#include "MouseTypes.h"
#include "TextEncoding.h"

class TMemo : public QPlainTextEdit {
    Q_OBJECT
  public:
    using TMouseHandler = std::function<void(QObject*, TMouseButton, TShiftState, int, int)>;

    explicit TMemo(QWidget* parent);

    TMouseHandler OnMouseUp;
    // Called with the editor's menu before it opens (mouse or keyboard), to adjust its actions.
    std::function<void(QMenu*)> OnMenu;
    // How the file the text was last loaded from or saved to holds it: its encoding, and the
    // stand-ins the editor shows for characters it would take for line breaks.
    TTextFormat Format;

    // A point of the text area in the client pixels the handlers get, and back.
    QPoint ClientFromViewport(QPoint p) const;
    QPoint ViewportFromClient(QPoint p) const;

    // What a paste hands over. A clipboard without owner (a fresh login, or after the program that
    // copied has quit) offers no data at all, or none as text: nothing is pasted then.
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

  protected:
    void changeEvent(QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

  private:
    void FitRows();
};

// The 0-based line that holds the end of the memo's selection (the caret when nothing is selected).
// The end is the later of anchor and caret, so after a Shift-click above the anchor it is the
// anchor's line.
int CaretLine(const QPlainTextEdit* memo);

// The font closest to `font` below it in size whose text lines are exactly rowHeight pixels high
// on `device`; `font` itself when no size gives that height.
QFont RowFittedFont(const QFont& font, int rowHeight, QPaintDevice* device);

// Height in pixels of one text line of `font` in a plain-text editor on `device`.
int TextLineHeight(const QFont& font, QPaintDevice* device);
