#pragma once

// TListBox is the single-selection list of our windows, with a picture per
// entry. Its notifications:
// - Change: the selection changed, by the user or by the program, except
//   during a bulk update (BeginUpdate ... EndUpdate, nestable) and except
//   when Clear removes all entries; nothing is raised afterwards for what
//   changed meanwhile;
// - Click: a mouse click on the list, also on the entry already selected;
// - DblClick: a double click.

#include <QColor>
#include <QListWidget>

namespace varnholt {

class TListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit TListBox(QWidget* parent = nullptr);

  void BeginUpdate();
  void EndUpdate();
  bool Updating() const { return updates_ > 0; }

  // Removes all entries; the selection goes without a notification.
  void Clear();

  // The selected entry's index, -1 when none; an index that names no entry
  // clears the selection.
  int ItemIndex() const;
  void SetItemIndex(int index);

  // Adds an entry with a picture, a font size and an item height (pixels).
  QListWidgetItem* AddItem(const QString& text, const QPixmap& picture, int fontSize,
                           int itemHeight, QColor textColor = Qt::white);

 signals:
  void Change();
  void Click();
  void DblClick();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void SelectionMoved();

  int updates_ = 0;
  bool clearing_ = false;
  bool pressed_ = false;
  int reported_ = -1;
};

}  // namespace varnholt
