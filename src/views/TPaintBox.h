#pragma once
// A paint box: a plain area that paints through its OnPaint handler, which draws on Canvas(),
// and reports mouse presses and releases. It fills nothing itself: where the handler draws
// nothing, its parent's background shows. Color is the colour of its canvas (text backgrounds).

#include <QPainter>
#include <QWidget>
#include <functional>

#include "MouseTypes.h"

class TPaintBox : public QWidget {
    Q_OBJECT
  public:
    using TMouseHandler = std::function<void(QObject*, TMouseButton, TShiftState, int, int)>;
    // Sender, shift state, the turn across and down (eighths of a degree; a touchpad's pixels
    // when it reports no angle), and the pointer's X and Y.
    using TWheelHandler = std::function<void(QObject*, TShiftState, int, int, int, int)>;

    explicit TPaintBox(QWidget* parent, const QColor& color = QColor());

    // The parent's background colour when none was given.
    QColor Color;

    // Valid only while OnPaint runs.
    QPainter* Canvas() const { return canvas_; }

    std::function<void(QObject*)> OnPaint;
    TMouseHandler OnMouseDown;
    TMouseHandler OnMouseUp;
    TWheelHandler OnMouseWheel;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

  private:
    QPainter* canvas_ = nullptr;
};
