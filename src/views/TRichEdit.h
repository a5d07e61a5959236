#pragma once
// A rich-text editor that reports mouse presses before its own handling of them.

#include <QTextEdit>
#include <functional>

#include "MouseTypes.h"

class TRichEdit : public QTextEdit {
    Q_OBJECT
  public:
    using TMouseHandler = std::function<void(QObject*, TMouseButton, TShiftState, int, int)>;

    explicit TRichEdit(QWidget* parent);

    TMouseHandler OnMouseDown;

    // What a paste hands over. A clipboard without owner (a fresh login, or after the program that
    // copied has quit) offers no data at all, or none as text: nothing is pasted then.
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    // A quick second press arrives as a double click; it is a press all the same.
    void mouseDoubleClickEvent(QMouseEvent* e) override;

  private:
    void ReportPress(QMouseEvent* e);
};
