#pragma once
// Shows the player's decoding progress in a progress bar; repaints at once, because decoding
// holds the GUI thread until it ends.

#include <QProgressBar>

#include "TMyPlayer0802.h"

class TProgressBarSink : public TProgressSink {
  public:
    explicit TProgressBarSink(QProgressBar* bar) : bar_(bar) {}
    void SetMax(int max) override { bar_->setMaximum(max); }
    void SetPosition(int position) override {
        bar_->setValue(position);
        bar_->repaint();
    }
    void SetVisible(bool visible) override {
        bar_->setVisible(visible);
        if (visible) bar_->repaint();
    }

  private:
    QProgressBar* bar_;
};
