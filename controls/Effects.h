#pragma once

// The effects our windows put on controls: monochrome (grey tones), glow
// around a control's shape and glow inside its edges. Each is an image
// filter over the control as drawn; a disabled effect draws the control
// unchanged.
//
// Qt gives a widget one graphics effect. A control that carries several
// (the camera-test icon) gets a TEffectStack that applies its effects in
// the order they were added; the effects keep their own names and enabled
// states.

#include <QColor>
#include <QGraphicsEffect>
#include <QImage>
#include <QList>
#include <QPointer>

namespace varnholt {

// The last picture an effect drew and what it was made from: a repaint of
// the same control under the same settings (a sibling repainted over it, the
// window exposed again) draws it again without filtering anew.
class TFilteredPicture {
 public:
  template <class Filter>
  const QImage& For(const QImage& source, quint64 settings, Filter&& filter) {
    if (source_.isNull() || settings != settings_ || source != source_ ||
        source.devicePixelRatio() != source_.devicePixelRatio()) {
      source_ = source;
      picture_ = source;
      filter(picture_);
      settings_ = settings;
    }
    return picture_;
  }

 private:
  QImage source_, picture_;
  quint64 settings_ = 0;
};

class TEffect : public QGraphicsEffect {
  Q_OBJECT

 public:
  explicit TEffect(QObject* parent = nullptr);

  // Filters image (premultiplied ARGB, device pixels) in place; the image
  // already has room for Reach() logical pixels around the control.
  virtual void Filter(QImage& image) const = 0;
  virtual int Reach() const { return 0; }

 signals:
  // Enabled state or a parameter changed.
  void Changed();

 protected:
  QRectF boundingRectFor(const QRectF& rect) const override;
  void draw(QPainter* painter) override;
  void Touch();

 private:
  quint64 settings_ = 0;  // counts the changes
  TFilteredPicture last_;
};

// Shows the control in grey tones, keeping its transparency.
class TMonochromeEffect : public TEffect {
  Q_OBJECT

 public:
  explicit TMonochromeEffect(QObject* parent = nullptr);
  void Filter(QImage& image) const override;
};

// Softness (0 to 1) sets how far the glow spreads, Opacity (0 to 1) its
// strength.
class TGlowEffect : public TEffect {
  Q_OBJECT

 public:
  explicit TGlowEffect(QObject* parent = nullptr);

  QColor GlowColor() const { return color_; }
  void SetGlowColor(const QColor& color);
  qreal Softness() const { return softness_; }
  void SetSoftness(qreal value);
  qreal Opacity() const { return opacity_; }
  void SetOpacity(qreal value);

  void Filter(QImage& image) const override;
  int Reach() const override;

 protected:
  // How far the glow spreads, logical pixels; in device pixels for image.
  int Spread() const;
  int Radius(const QImage& image) const;

  QColor color_{0xFF, 0xD7, 0x00};
  qreal softness_ = 0.4;
  qreal opacity_ = 0.9;
};

// The same glow, drawn inside the control's edges instead of around them.
class TInnerGlowEffect : public TGlowEffect {
  Q_OBJECT

 public:
  explicit TInnerGlowEffect(QObject* parent = nullptr);
  void Filter(QImage& image) const override;
  int Reach() const override { return 0; }
};

class TEffectStack : public QGraphicsEffect {
  Q_OBJECT

 public:
  explicit TEffectStack(QObject* parent = nullptr);
  // Applied after those added before; the stack does not own effect.
  void Add(TEffect* effect);

 protected:
  QRectF boundingRectFor(const QRectF& rect) const override;
  void draw(QPainter* painter) override;

 private:
  QList<QPointer<TEffect>> effects_;
  quint64 settings_ = 0;  // counts the changes of the effects
  TFilteredPicture last_;
};

// Puts effects on widget: the one effect itself, or a stack for several.
// The effects are children of widget (so they go with it).
void AttachEffects(QWidget* widget, const QList<TEffect*>& effects);

}  // namespace varnholt
