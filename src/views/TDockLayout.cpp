#include "TDockLayout.h"

#include <QWidget>
#include <QWidgetItem>

TDockLayout::TDockLayout(QWidget* parent, int inset) : QLayout(parent) {
    setContentsMargins(inset, inset, inset, inset);
    setSpacing(0);
}

TDockLayout::~TDockLayout() {
    for (const Entry& e : entries_) delete e.item;
}

void TDockLayout::AddDocked(QWidget* w, TAlign align) {
    addChildWidget(w);
    entries_.append({new QWidgetItem(w), align});
    invalidate();
}

void TDockLayout::addItem(QLayoutItem* item) { entries_.append({item, TAlign::Client}); }

QLayoutItem* TDockLayout::itemAt(int index) const {
    return index >= 0 && index < entries_.size() ? entries_[index].item : nullptr;
}

QLayoutItem* TDockLayout::takeAt(int index) {
    if (index < 0 || index >= entries_.size()) return nullptr;
    return entries_.takeAt(index).item;
}

int TDockLayout::count() const { return int(entries_.size()); }

QSize TDockLayout::sizeHint() const { return minimumSize(); }

QSize TDockLayout::minimumSize() const { return QSize(0, 0); }

void TDockLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    QRect free = contentsRect();
    auto visible = [](const Entry& e) {
        QWidget* w = e.item->widget();
        return w && !w->isHidden();
    };
    for (TAlign pass : {TAlign::Top, TAlign::Bottom, TAlign::Left, TAlign::Right, TAlign::Client}) {
        for (const Entry& e : entries_) {
            if (e.align != pass || !visible(e)) continue;
            QWidget* w = e.item->widget();
            switch (pass) {
                case TAlign::Top: {
                    const int h = w->height();
                    w->setGeometry(free.left(), free.top(), free.width(), h);
                    free.setTop(free.top() + h);
                    break;
                }
                case TAlign::Bottom: {
                    const int h = w->height();
                    w->setGeometry(free.left(), free.bottom() + 1 - h, free.width(), h);
                    free.setBottom(free.bottom() - h);
                    break;
                }
                case TAlign::Left: {
                    const int wd = w->width();
                    w->setGeometry(free.left(), free.top(), wd, free.height());
                    free.setLeft(free.left() + wd);
                    break;
                }
                case TAlign::Right: {
                    const int wd = w->width();
                    w->setGeometry(free.right() + 1 - wd, free.top(), wd, free.height());
                    free.setRight(free.right() - wd);
                    break;
                }
                case TAlign::Client:
                    w->setGeometry(free.left(), free.top(), std::max(0, free.width()),
                                   std::max(0, free.height()));
                    break;
            }
        }
    }
}
