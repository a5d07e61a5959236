#pragma once
// A vertical divider between docked controls: dragging it widens or narrows its target control,
// which is docked left or right of it.

#include <QWidget>

#include "TDockLayout.h"

class TSplitter : public QWidget {
    Q_OBJECT
  public:
    TSplitter(QWidget* parent, QWidget* target, TAlign targetAlign);

  protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

  private:
    QWidget* target_;
    TAlign targetAlign_;
    int pressX_ = 0;
    int pressWidth_ = 0;
};
