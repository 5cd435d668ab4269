#include "controls/AlignLayout.h"

#include <QEvent>
#include <QWidget>
#include <algorithm>

namespace varnholt {
namespace {

using Align = TAlignLayout::Align;

// Outer alignments first, so that a most-bottom bar spans below a
// most-left column and a top child sits inside the most-top ones.
constexpr Align kPasses[] = {Align::MostTop, Align::MostBottom, Align::MostLeft, Align::MostRight,
                             Align::Top,     Align::Bottom,     Align::Left,     Align::Right,
                             Align::Client,  Align::Contents,   Align::Center,   Align::Fit};

QRect Span(int left, int top, int width, int height) {
  return QRect(left, top, std::max(0, width), std::max(0, height));
}

}  // namespace

TAlignLayout::TAlignLayout(QWidget* parent) : QLayout(parent) {
  setContentsMargins(0, 0, 0, 0);
  setSpacing(0);
}

TAlignLayout::~TAlignLayout() {
  while (QLayoutItem* item = takeAt(0))
    delete item;
}

void TAlignLayout::Add(QWidget* child, Align align, QMargins margins) {
  addChildWidget(child);
  entries_.append({new QWidgetItem(child), align, margins});
  child->installEventFilter(this);
  invalidate();
}

TAlignLayout::Align TAlignLayout::AlignOf(const QWidget* child) const {
  for (const Entry& e : entries_)
    if (e.item->widget() == child)
      return e.align;
  return Align::None;
}

void TAlignLayout::addItem(QLayoutItem* item) {
  entries_.append({item, Align::None, {}});
  invalidate();
}

QLayoutItem* TAlignLayout::itemAt(int index) const {
  return index >= 0 && index < entries_.size() ? entries_.at(index).item : nullptr;
}

QLayoutItem* TAlignLayout::takeAt(int index) {
  if (index < 0 || index >= entries_.size())
    return nullptr;
  QLayoutItem* item = entries_.takeAt(index).item;
  if (QWidget* w = item->widget())
    w->removeEventFilter(this);
  invalidate();
  return item;
}

int TAlignLayout::count() const {
  return static_cast<int>(entries_.size());
}

// Sizes come from the design, never from the children's hints.
QSize TAlignLayout::sizeHint() const {
  return {0, 0};
}

QSize TAlignLayout::minimumSize() const {
  if (!minimumFromContents_)
    return {0, 0};
  int height = 0;
  for (const Entry& e : entries_) {
    if (e.item->isEmpty() || !e.item->widget())
      continue;
    switch (e.align) {
      case Align::MostTop:
      case Align::Top:
      case Align::MostBottom:
      case Align::Bottom:
        height += e.margins.top() + e.item->widget()->height() + e.margins.bottom();
        break;
      default:
        break;
    }
  }
  return {0, std::max(0, height)};
}

void TAlignLayout::SetMinimumFromContents(bool on) {
  minimumFromContents_ = on;
  invalidate();
}

void TAlignLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  const QRect whole = rect.marginsRemoved(contentsMargins());
  QRect rest = whole;
  placing_ = true;
  for (Align pass : kPasses)
    for (const Entry& e : entries_)
      if (e.align == pass && !e.item->isEmpty())
        Place(e, rest, whole);
  placing_ = false;
}

void TAlignLayout::Place(const Entry& e, QRect& rest, const QRect& whole) const {
  QWidget* w = e.item->widget();
  if (!w)
    return;
  const QMargins& m = e.margins;
  // rest is kept as left/top/right/bottom edges (right and bottom exclusive).
  int l = rest.left(), t = rest.top(), r = rest.left() + rest.width(),
      b = rest.top() + rest.height();
  QRect target;
  const QSize own = w->size();
  switch (e.align) {
    case Align::MostTop:
    case Align::Top:
      target = Span(l + m.left(), t + m.top(), r - l - m.left() - m.right(), own.height());
      t += m.top() + own.height() + m.bottom();
      break;
    case Align::MostBottom:
    case Align::Bottom:
      target = Span(l + m.left(), b - m.bottom() - own.height(), r - l - m.left() - m.right(),
                    own.height());
      b -= m.top() + own.height() + m.bottom();
      break;
    case Align::MostLeft:
    case Align::Left:
      target = Span(l + m.left(), t + m.top(), own.width(), b - t - m.top() - m.bottom());
      l += m.left() + own.width() + m.right();
      break;
    case Align::MostRight:
    case Align::Right:
      target =
          Span(r - m.right() - own.width(), t + m.top(), own.width(), b - t - m.top() - m.bottom());
      r -= m.left() + own.width() + m.right();
      break;
    case Align::Client:
      target = Span(l + m.left(), t + m.top(), r - l - m.left() - m.right(),
                    b - t - m.top() - m.bottom());
      break;
    case Align::Contents:
      target = whole.marginsRemoved(m);
      break;
    case Align::Center:
    case Align::Fit: {
      const QRect area = whole.marginsRemoved(m);
      const QSize size = e.align == Align::Fit ? w->sizeHint() : own;
      target = QRect(area.left() + (area.width() - size.width()) / 2,
                     area.top() + (area.height() - size.height()) / 2, size.width(), size.height());
      break;
    }
    case Align::None:
      return;
  }
  rest = QRect(l, t, std::max(0, r - l), std::max(0, b - t));
  w->setGeometry(target);
}

bool TAlignLayout::eventFilter(QObject* watched, QEvent* event) {
  // A child resized by code (not by us) moves its siblings.
  if (!placing_ && event->type() == QEvent::Resize && watched->isWidgetType())
    invalidate();
  return QLayout::eventFilter(watched, event);
}

}  // namespace varnholt
