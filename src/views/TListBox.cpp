#include "TListBox.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTextOption>

namespace {

// Draws a row as the style does, and then its text with the list's tab stops.
class TTabStopDelegate : public QStyledItemDelegate {
  public:
    explicit TTabStopDelegate(TListBox* list) : QStyledItemDelegate(list), list_(list) {}

    void paint(QPainter* painter,
               const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        const QString text = item.text;
        item.text.clear();
        QStyle* style = item.widget ? item.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
        const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &item, item.widget);
        QTextOption layout(Qt::AlignLeft | Qt::AlignVCenter);
        layout.setWrapMode(QTextOption::NoWrap);
        layout.setTabStopDistance(list_->TabStopPixels());
        painter->save();
        painter->setFont(item.font);
        const bool selected = (item.state & QStyle::State_Selected) != 0;
        painter->setPen(item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(textRect, text, layout);
        painter->restore();
    }

  private:
    TListBox* list_;
};

}  // namespace

TListBox::TListBox(QWidget* parent) : QListWidget(parent) {}

void TListBox::SetTabWidth(int quarters) {
    tabWidth_ = quarters;
    setItemDelegate(quarters > 0 ? new TTabStopDelegate(this) : new QStyledItemDelegate(this));
    viewport()->update();
}

qreal TListBox::TabStopPixels() const { return QFontMetricsF(font()).averageCharWidth() * tabWidth_ / 4.0; }
