#pragma once
// A multi-line text editor without word wrap: every row on screen is one line of the text.
// OnMouseUp runs after the editor's own handling of the release, so the caret is already placed.

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
    // The encoding of the file the text was last loaded from or saved to.
    TTextEncoding Encoding = TTextEncoding::Utf8;

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
};

// The 0-based line that holds the end of the memo's selection (the caret when nothing is selected).
int CaretLine(const QPlainTextEdit* memo);
