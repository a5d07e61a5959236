#pragma once
// Shows the player's decoding progress in a progress bar. Decoding holds the GUI thread until it
// ends, so the bar is painted at once: setValue repaints it itself whenever its look changes (a
// hundred times, not once per chunk, which on an hour-long recording is fourteen thousand).

#include <QProgressBar>

#include "TMyPlayer0802.h"

class TProgressBarSink : public TProgressSink {
  public:
    explicit TProgressBarSink(QProgressBar* bar) : bar_(bar) {}
    void SetMax(int max) override { bar_->setMaximum(max); }
    void SetPosition(int position) override { bar_->setValue(position); }
    void SetVisible(bool visible) override {
        bar_->setVisible(visible);
        if (visible) bar_->repaint();
    }

  private:
    QProgressBar* bar_;
};
