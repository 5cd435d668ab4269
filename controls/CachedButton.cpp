#include "controls/CachedButton.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace varnholt {

TCachedButton::TCachedButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

void TCachedButton::paintEvent(QPaintEvent*) {
  QStyleOptionButton option;
  initStyleOption(&option);
  const TLook look{int(option.state),
                   int(option.features),
                   option.text,
                   option.icon.cacheKey(),
                   size(),
                   font(),
                   palette().cacheKey(),
                   style(),
                   devicePixelRatioF()};
  if (!(look == drawn_) || look_.isNull()) {
    look_ = QPixmap(size() * look.Ratio);
    look_.setDevicePixelRatio(look.Ratio);
    look_.fill(Qt::transparent);
    QStylePainter painter(&look_, this);
    painter.drawControl(QStyle::CE_PushButton, option);
    drawn_ = look;
  }
  QPainter(this).drawPixmap(0, 0, look_);
}

}  // namespace varnholt
