#pragma once

// Counts the paint events a widget gets, as the user would see them drawn:
// install it with installEventFilter on the widget that shows the picture.

#include <QEvent>
#include <QObject>

namespace varnholt::test {

class PaintCount : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    paints += event->type() == QEvent::Paint;
    return false;
  }
};

}  // namespace varnholt::test
