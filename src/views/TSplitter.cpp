#include "TSplitter.h"

#include <QLayout>
#include <QMouseEvent>
#include <algorithm>

TSplitter::TSplitter(QWidget* parent, QWidget* target, TAlign targetAlign)
    : QWidget(parent), target_(target), targetAlign_(targetAlign) {
    setCursor(Qt::SplitHCursor);
    resize(3, height());
}

void TSplitter::mousePressEvent(QMouseEvent* e) {
    pressX_ = int(e->globalPosition().x());
    pressWidth_ = target_->width();
}

void TSplitter::mouseMoveEvent(QMouseEvent* e) {
    if (!(e->buttons() & Qt::LeftButton)) return;
    const int dx = int(e->globalPosition().x()) - pressX_;
    const int wanted = targetAlign_ == TAlign::Left ? pressWidth_ + dx : pressWidth_ - dx;
    // Keep every control usable: never narrower than the splitter's own minimum of 30 pixels.
    target_->resize(std::max(30, wanted), target_->height());
    if (QWidget* p = parentWidget(); p && p->layout()) p->layout()->setGeometry(p->layout()->geometry());
}
