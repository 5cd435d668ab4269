#include "controls/Image.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>

namespace varnholt {
namespace {
// Disabled pictures are drawn faded, as the other disabled controls are.
constexpr qreal kDisabledOpacity = 0.4;
}  // namespace

TImage::TImage(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TImage::SetBitmap(const QPixmap& bitmap) {
  bitmap_ = bitmap.copy();
  update();
}

void TImage::SetWrap(WrapMode mode) {
  wrap_ = mode;
  update();
}

void TImage::SetHitTest(bool value) {
  hitTest_ = value;
  setAttribute(Qt::WA_TransparentForMouseEvents, !value);
}

QRectF TImage::Target() const {
  const QSizeF own = bitmap_.deviceIndependentSize();
  const QRectF box = rect();
  switch (wrap_) {
    case WrapMode::Stretch:
      return box;
    case WrapMode::Original:
      return QRectF(QPointF(0, 0), own);
    case WrapMode::Center:
      return QRectF(box.center() - QPointF(own.width() / 2, own.height() / 2), own);
    case WrapMode::Fit:
      break;
  }
  if (own.isEmpty())
    return {};
  const QSizeF fitted = own.scaled(box.size(), Qt::KeepAspectRatio);
  return QRectF(box.center() - QPointF(fitted.width() / 2, fitted.height() / 2), fitted);
}

void TImage::paintEvent(QPaintEvent*) {
  if (bitmap_.isNull())
    return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (!isEnabled())
    painter.setOpacity(kDisabledOpacity);
  painter.drawPixmap(Target(), bitmap_, QRectF(bitmap_.rect()));
}

void TImage::MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, QPointF) {}
void TImage::MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, QPointF) {}

void TImage::DoMouseEnter() {
  emit MouseEnter();
}

void TImage::DoMouseLeave() {
  emit MouseLeave();
}

void TImage::Leave() {
  if (!inside_)
    return;
  inside_ = false;
  DoMouseLeave();
}

void TImage::mousePressEvent(QMouseEvent* event) {
  inside_ = true;
  if (event->button() == Qt::LeftButton)
    leftPressed_ = true;
  MouseDown(event->button(), event->modifiers(), event->position());
}

void TImage::mouseMoveEvent(QMouseEvent* event) {
  // While a button is held the pointer is ours; crossing the edge is a
  // leave (or an enter) all the same.
  if (event->buttons() == Qt::NoButton)
    return;
  const bool over = rect().contains(event->position().toPoint());
  if (!over) {
    Leave();
  } else if (!inside_) {
    inside_ = true;
    DoMouseEnter();
  }
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
  MouseUp(event->button(), event->modifiers(), event->position());
  if (event->button() != Qt::LeftButton)
    return;
  const bool click = leftPressed_ && rect().contains(event->position().toPoint());
  leftPressed_ = false;
  if (click)
    emit Click();
}

void TImage::enterEvent(QEnterEvent*) {
  if (inside_)
    return;
  inside_ = true;
  DoMouseEnter();
}

void TImage::leaveEvent(QEvent*) {
  Leave();
}

}  // namespace varnholt
