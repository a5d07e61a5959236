#pragma once
// Docks a container's children to its edges: top-aligned children stack down from the top in the
// order added, bottom-aligned ones up from the bottom, then left, then right; the client child
// fills what is left. Hidden children take no room. Children not added keep their own geometry.

#include <QLayout>
#include <QList>

enum class TAlign { Top, Bottom, Left, Right, Client };

class TDockLayout : public QLayout {
  public:
    explicit TDockLayout(QWidget* parent, int inset);
    ~TDockLayout() override;

    // Docks w with its current width (left/right) or height (top/bottom).
    void AddDocked(QWidget* w, TAlign align);

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

  private:
    struct Entry {
        QLayoutItem* item;
        TAlign align;
    };
    QList<Entry> entries_;
};
