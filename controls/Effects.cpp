#include "controls/Effects.h"

#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <vector>

namespace varnholt {
namespace {

// One pass of a running-average blur along rows (or columns) of an 8-bit
// plane; three passes come close to a Gaussian.
void BoxBlur(std::vector<int>& plane, int width, int height, int radius, bool alongRows) {
  if (radius <= 0)
    return;
  const int lines = alongRows ? height : width;
  const int length = alongRows ? width : height;
  const int stride = alongRows ? 1 : width;
  const int window = 2 * radius + 1;
  std::vector<int> line(length);
  for (int l = 0; l < lines; ++l) {
    int* base = plane.data() + (alongRows ? l * width : l);
    for (int i = 0; i < length; ++i)
      line[i] = base[i * stride];
    int sum = 0;
    for (int i = -radius; i <= radius; ++i)
      sum += (i >= 0 && i < length) ? line[i] : 0;
    for (int i = 0; i < length; ++i) {
      base[i * stride] = sum / window;
      const int leaving = i - radius;
      const int entering = i + radius + 1;
      if (leaving >= 0)
        sum -= line[leaving];
      if (entering < length)
        sum += line[entering];
    }
  }
}

void Blur(std::vector<int>& plane, int width, int height, int radius) {
  const int pass = std::max(1, radius / 2);
  for (int i = 0; i < 3; ++i) {
    BoxBlur(plane, width, height, pass, true);
    BoxBlur(plane, width, height, pass, false);
  }
}

std::vector<int> Alpha(const QImage& image) {
  std::vector<int> plane(static_cast<size_t>(image.width()) * image.height());
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      plane[static_cast<size_t>(y) * image.width() + x] = qAlpha(row[x]);
  }
  return plane;
}

// Premultiplied colour of coverage (0 to 255) scaled by opacity.
QRgb Tint(const QColor& color, int coverage, qreal opacity) {
  const int a = std::clamp(static_cast<int>(coverage * opacity * color.alphaF() + 0.5), 0, 255);
  return qRgba(color.red() * a / 255, color.green() * a / 255, color.blue() * a / 255, a);
}

// top drawn over bottom, both premultiplied.
QRgb Over(QRgb top, QRgb bottom) {
  const int keep = 255 - qAlpha(top);
  return qRgba(qRed(top) + qRed(bottom) * keep / 255, qGreen(top) + qGreen(bottom) * keep / 255,
               qBlue(top) + qBlue(bottom) * keep / 255, qAlpha(top) + qAlpha(bottom) * keep / 255);
}

}  // namespace

// ---- TEffect ------------------------------------------------------------------------------

TEffect::TEffect(QObject* parent) : QGraphicsEffect(parent) {
  connect(this, &QGraphicsEffect::enabledChanged, this, &TEffect::Changed);
  connect(this, &TEffect::Changed, this, [this] { ++settings_; });
}

void TEffect::Touch() {
  updateBoundingRect();
  update();
  emit Changed();
}

QRectF TEffect::boundingRectFor(const QRectF& rect) const {
  const int reach = Reach();
  return rect.adjusted(-reach, -reach, reach, reach);
}

void TEffect::draw(QPainter* painter) {
  QPoint offset;
  const QPixmap source = sourcePixmap(Qt::DeviceCoordinates, &offset, PadToEffectiveBoundingRect);
  if (source.isNull())
    return;
  const QImage& picture =
      last_.For(source.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), settings_,
                [this](QImage& image) { Filter(image); });
  painter->save();
  painter->setWorldTransform(QTransform());
  painter->drawImage(offset, picture);
  painter->restore();
}

// ---- TMonochromeEffect ------------------------------------------------------------------

TMonochromeEffect::TMonochromeEffect(QObject* parent) : TEffect(parent) {}

void TMonochromeEffect::Filter(QImage& image) const {
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      // Premultiplied channels scale alike, so their grey stays premultiplied.
      const int grey = qGray(row[x]);
      row[x] = qRgba(grey, grey, grey, qAlpha(row[x]));
    }
  }
}

// ---- TGlowEffect ----------------------------------------------------------------------

TGlowEffect::TGlowEffect(QObject* parent) : TEffect(parent) {}

void TGlowEffect::SetGlowColor(const QColor& color) {
  color_ = color;
  Touch();
}

void TGlowEffect::SetSoftness(qreal value) {
  softness_ = std::clamp(value, 0.0, 1.0);
  Touch();
}

void TGlowEffect::SetOpacity(qreal value) {
  opacity_ = std::clamp(value, 0.0, 1.0);
  Touch();
}

int TGlowEffect::Spread() const {
  return 2 + static_cast<int>(std::lround(softness_ * 14));
}

int TGlowEffect::Reach() const {
  return Spread();
}

int TGlowEffect::Radius(const QImage& image) const {
  return static_cast<int>(std::lround(Spread() * image.devicePixelRatio()));
}

void TGlowEffect::Filter(QImage& image) const {
  std::vector<int> spread = Alpha(image);
  Blur(spread, image.width(), image.height(), Radius(image));
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    const int* glow = spread.data() + static_cast<size_t>(y) * image.width();
    // The glow is stronger than the blurred shape itself, so that it shows
    // at a distance; the control is drawn over it.
    for (int x = 0; x < image.width(); ++x)
      row[x] = Over(row[x], Tint(color_, std::min(255, glow[x] * 2), opacity_));
  }
}

// ---- TInnerGlowEffect -------------------------------------------------------------------

TInnerGlowEffect::TInnerGlowEffect(QObject* parent) : TGlowEffect(parent) {}

void TInnerGlowEffect::Filter(QImage& image) const {
  // What lies beyond the image is outside the control too, so the plane is
  // padded with "outside" before the blur reaches across the edges.
  const int radius = Radius(image);
  const int w = image.width() + 2 * radius;
  const int h = image.height() + 2 * radius;
  std::vector<int> outside(static_cast<size_t>(w) * h, 255);
  const std::vector<int> alpha = Alpha(image);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      outside[static_cast<size_t>(y + radius) * w + x + radius] =
          255 - alpha[static_cast<size_t>(y) * image.width() + x];
  Blur(outside, w, h, radius);
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    const int* glow = outside.data() + static_cast<size_t>(y + radius) * w + radius;
    for (int x = 0; x < image.width(); ++x) {
      // Only where the control is: the glow takes the control's own coverage.
      const int coverage = std::min(255, glow[x] * 2) * qAlpha(row[x]) / 255;
      row[x] = Over(Tint(color_, coverage, opacity_), row[x]);
    }
  }
}

// ---- TEffectStack -----------------------------------------------------------------------

TEffectStack::TEffectStack(QObject* parent) : QGraphicsEffect(parent) {}

void TEffectStack::Add(TEffect* effect) {
  effects_.append(effect);
  connect(effect, &TEffect::Changed, this, [this] {
    ++settings_;
    updateBoundingRect();
    update();
  });
  // An effect that goes (with its control, as a rule) leaves the stack's
  // picture to be made again at its next paint.
  connect(effect, &QObject::destroyed, this, [this] { ++settings_; });
  ++settings_;
  updateBoundingRect();
  update();
}

QRectF TEffectStack::boundingRectFor(const QRectF& rect) const {
  int reach = 0;
  for (const auto& e : effects_)
    if (e && e->isEnabled())
      reach = std::max(reach, e->Reach());
  return rect.adjusted(-reach, -reach, reach, reach);
}

void TEffectStack::draw(QPainter* painter) {
  QPoint offset;
  const QPixmap source = sourcePixmap(Qt::DeviceCoordinates, &offset, PadToEffectiveBoundingRect);
  if (source.isNull())
    return;
  const QImage& picture =
      last_.For(source.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), settings_,
                [this](QImage& image) {
                  for (const auto& e : effects_)
                    if (e && e->isEnabled())
                      e->Filter(image);
                });
  painter->save();
  painter->setWorldTransform(QTransform());
  painter->drawImage(offset, picture);
  painter->restore();
}

void AttachEffects(QWidget* widget, const QList<TEffect*>& effects) {
  for (TEffect* e : effects)
    e->setParent(widget);
  if (effects.size() == 1) {
    widget->setGraphicsEffect(effects.first());
    return;
  }
  auto* stack = new TEffectStack(widget);
  for (TEffect* e : effects)
    stack->Add(e);
  widget->setGraphicsEffect(stack);
}

}  // namespace varnholt
