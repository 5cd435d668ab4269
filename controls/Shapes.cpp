#include "controls/Shapes.h"

#include <QPainter>

namespace varnholt {

TRectangle::TRectangle(QWidget* parent) : QWidget(parent) {}

void TRectangle::SetFill(const QColor& color) {
  fill_ = color;
  update();
}

void TRectangle::SetStroke(const QColor& color, qreal thickness) {
  stroke_ = color;
  thickness_ = thickness;
  update();
}

void TRectangle::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const bool outline = thickness_ > 0 && stroke_.alpha() > 0;
  // The outline lies inside the rectangle, as the fill does.
  const qreal inset = outline ? thickness_ / 2 : 0;
  painter.setPen(outline ? QPen(stroke_, thickness_) : QPen(Qt::NoPen));
  painter.setBrush(fill_);
  painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
}

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {}

void TPaintBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  emit Paint(this, &painter);
}

}  // namespace varnholt
