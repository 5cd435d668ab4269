#pragma once

// TControlStyle draws the property rows' sliders and "Auto" boxes in a
// window's colour scheme: a 6-pixel rounded groove, filled up to the knob in
// the scheme's bright colour, under an 18-pixel round knob; a 16-pixel
// rounded box that fills with the bright colour and a check mark when
// checked. Disabled, they turn grey. Drawn in code rather than by a style
// sheet: a sheet on the window made every one of its controls go through
// the sheet's rules, which cost the window's start about a tenth.
//
// Colours are named as in the style book: "ColorBright" (the fill, the
// knob's ring), "ColorMid" (the box's ring) and "ColorDarkest" (the focused
// knob's ring).

#include <QColor>
#include <QHash>
#include <QPixmap>
#include <QProxyStyle>
#include <QString>

namespace varnholt {

class TControlStyle : public QProxyStyle {
  Q_OBJECT

 public:
  // The check mark's picture, an SVG file (a resource path works).
  explicit TControlStyle(QString checkMark, QObject* parent = nullptr);

  void SetColor(const QString& name, const QColor& color) { colors_.insert(name, color); }
  QColor Color(const QString& name) const { return colors_.value(name, Qt::black); }

  void polish(QWidget* widget) override;
  using QProxyStyle::polish;
  int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr) const override;
  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                       const QWidget* widget = nullptr) const override;
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                          QPainter* painter, const QWidget* widget = nullptr) const override;
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;

 private:
  QPixmap CheckMark(QSize size, qreal ratio) const;

  QHash<QString, QColor> colors_;
  QString checkMarkPath_;
  mutable QPixmap checkMark_;
};

}  // namespace varnholt
