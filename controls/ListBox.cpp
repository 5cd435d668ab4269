#include "controls/ListBox.h"

#include <QMouseEvent>

namespace varnholt {

TListBox::TListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setFocusPolicy(Qt::NoFocus);
  setUniformItemSizes(false);
  connect(this, &QListWidget::itemSelectionChanged, this, &TListBox::SelectionMoved);
}

void TListBox::BeginUpdate() {
  ++updates_;
}

void TListBox::EndUpdate() {
  if (updates_ > 0)
    --updates_;
}

void TListBox::Clear() {
  clearing_ = true;
  clear();
  clearing_ = false;
  reported_ = -1;
}

int TListBox::ItemIndex() const {
  const QList<QListWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? -1 : row(selected.first());
}

void TListBox::SetItemIndex(int index) {
  if (index < 0 || index >= count()) {
    setCurrentRow(-1);
    clearSelection();
    return;
  }
  setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
}

QListWidgetItem* TListBox::AddItem(const QString& text, const QPixmap& picture, int fontSize,
                                   int itemHeight, QColor textColor) {
  auto* item = new QListWidgetItem(QIcon(picture), text);
  QFont font = this->font();
  font.setPixelSize(fontSize);
  item->setFont(font);
  item->setForeground(textColor);
  item->setSizeHint(QSize(0, itemHeight));
  addItem(item);
  return item;
}

void TListBox::SelectionMoved() {
  const int index = ItemIndex();
  if (index == reported_)
    return;
  reported_ = index;
  if (updates_ == 0 && !clearing_)
    emit Change();
}

void TListBox::mousePressEvent(QMouseEvent* event) {
  pressed_ = true;
  QListWidget::mousePressEvent(event);
}

void TListBox::mouseReleaseEvent(QMouseEvent* event) {
  QListWidget::mouseReleaseEvent(event);
  const bool click = pressed_ && viewport()->rect().contains(event->position().toPoint());
  pressed_ = false;
  if (click)
    emit Click();
}

void TListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  QListWidget::mouseDoubleClickEvent(event);
  emit DblClick();
}

}  // namespace varnholt
