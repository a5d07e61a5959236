#pragma once
// An image control: shows its Picture (transparent where the picture is) and reports mouse
// down, move and up. While a button is held after a press on it, it keeps receiving the moves
// and the release, with coordinates relative to itself, also outside its area.

#include <QImage>
#include <QWidget>
#include <functional>

#include "MouseTypes.h"

class TImage : public QWidget {
    Q_OBJECT
  public:
    using TMouseHandler = std::function<void(QObject*, TMouseButton, TShiftState, int, int)>;
    using TMoveHandler = std::function<void(QObject*, TShiftState, int, int)>;

    explicit TImage(QWidget* parent);

    QImage Picture;

    TMouseHandler OnMouseDown;
    TMoveHandler OnMouseMove;
    TMouseHandler OnMouseUp;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
};
