#pragma once

// TAlignLayout places a widget's children by edge alignment, the way our
// window designs are drawn: a child aligned to an edge stacks against that
// edge and takes the full length of the remaining space along it, "most"
// alignments go outermost, Client takes what is left, Contents covers the
// whole parent, Center keeps its own size in the middle and Fit sits in the
// middle at the size its contents ask for (a label sized to its text). Margins lie
// outside the child. Hidden children take no space.
//
// A child keeps its own size across the aligned direction: a Top child's
// height is whatever the child was resized to, so code may resize it later
// (a list that grows with its entries) and its siblings move along.

#include <QLayout>
#include <QList>
#include <QMargins>

namespace varnholt {

class TAlignLayout : public QLayout {
  Q_OBJECT

 public:
  enum class Align {
    None,  // stays where it was put
    MostTop,
    MostBottom,
    MostLeft,
    MostRight,
    Top,
    Bottom,
    Left,
    Right,
    Client,
    Contents,
    Center,
    Fit,
  };

  // Installs itself on parent; the parent's contents margins are 0.
  explicit TAlignLayout(QWidget* parent);
  ~TAlignLayout() override;

  // Adds child (a child widget of the parent) in sibling order.
  void Add(QWidget* child, Align align, QMargins margins = {});
  Align AlignOf(const QWidget* child) const;
  // Makes the height the edge-stacked children take the parent's minimum,
  // so that a scroll area holding the parent scrolls instead of squeezing.
  void SetMinimumFromContents(bool on);

  // QLayout
  void addItem(QLayoutItem* item) override;
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;
  int count() const override;
  QSize sizeHint() const override;
  QSize minimumSize() const override;
  void setGeometry(const QRect& rect) override;
  Qt::Orientations expandingDirections() const override { return {}; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Entry {
    QLayoutItem* item;
    Align align;
    QMargins margins;
  };
  void Place(const Entry& entry, QRect& rest, const QRect& whole) const;

  QList<Entry> entries_;
  bool placing_ = false;
  bool minimumFromContents_ = false;
};

}  // namespace varnholt
