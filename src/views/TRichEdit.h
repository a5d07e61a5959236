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

  protected:
    void mousePressEvent(QMouseEvent* e) override;
};
