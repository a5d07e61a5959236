#pragma once
// A list box whose rows expand tab characters to tab stops TabWidth quarters of the average
// character width of its font apart, as a list box measures its tab stops.

#include <QListWidget>

class TListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit TListBox(QWidget* parent);

    // Quarters of the font's average character width between two tab stops; 0 keeps the
    // style's own tab stops.
    void SetTabWidth(int quarters);
    int TabWidth() const { return tabWidth_; }
    // The distance between two tab stops in pixels, for the list's current font.
    qreal TabStopPixels() const;

  private:
    int tabWidth_ = 0;
};
