#include "controls/ControlStyle.h"

#include <QPainter>
#include <QSlider>
#include <QStyleOptionSlider>
#include <utility>

#include "controls/SvgPicture.h"

namespace varnholt {
namespace {

constexpr int kGroove = 6;  // the groove's height
constexpr int kKnob = 18;   // the knob's diameter, ring included
constexpr int kRing = 2;    // the knob's and the box's ring
constexpr int kBox = 16;    // the box, ring included
constexpr int kBoxRadius = 4;
// 6 clear pixels: the toolkit counts from the box's last pixel column.
constexpr int kLabelSpacing = 7;

const QColor kGrooveColor(0xD8, 0xD8, 0xE6);
const QColor kDisabledFill(0xC4, 0xC4, 0xD2);
const QColor kDisabledFace(0xF4, 0xF4, 0xF8);
const QColor kHoveredKnob(0xEC, 0xEB, 0xFF);

// A rounded plate with a ring of width kRing drawn inside rect.
void DrawRinged(QPainter* painter, QRectF rect, qreal radius, const QColor& face,
                const QColor& ring) {
  painter->setPen(Qt::NoPen);
  painter->setBrush(ring);
  painter->drawRoundedRect(rect, radius, radius);
  const QRectF inner = rect.adjusted(kRing, kRing, -kRing, -kRing);
  painter->setBrush(face);
  painter->drawRoundedRect(inner, radius - kRing, radius - kRing);
}

}  // namespace

TControlStyle::TControlStyle(QString checkMark, QObject* parent)
    : checkMarkPath_(std::move(checkMark)) {
  setParent(parent);
}

void TControlStyle::polish(QWidget* widget) {
  QProxyStyle::polish(widget);
  // The knob lightens under the pointer.
  if (qobject_cast<QSlider*>(widget))
    widget->setAttribute(Qt::WA_Hover);
}

int TControlStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                               const QWidget* widget) const {
  switch (metric) {
    case PM_SliderLength:
    case PM_SliderThickness:
    case PM_SliderControlThickness:
      return kKnob;
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
      return kBox;
    case PM_CheckBoxLabelSpacing:
      return kLabelSpacing;
    default:
      return QProxyStyle::pixelMetric(metric, option, widget);
  }
}

QRect TControlStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                    SubControl part, const QWidget* widget) const {
  const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
  if (control != CC_Slider || !slider || slider->orientation != Qt::Horizontal)
    return QProxyStyle::subControlRect(control, option, part, widget);
  const QRect& area = slider->rect;
  switch (part) {
    case SC_SliderHandle: {
      const int x =
          sliderPositionFromValue(slider->minimum, slider->maximum, slider->sliderPosition,
                                  area.width() - kKnob, slider->upsideDown);
      return {area.x() + x, area.y() + (area.height() - kKnob) / 2, kKnob, kKnob};
    }
    case SC_SliderGroove:
      return {area.x(), area.y() + (area.height() - kGroove) / 2, area.width(), kGroove};
    default:
      return QProxyStyle::subControlRect(control, option, part, widget);
  }
}

void TControlStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                       QPainter* painter, const QWidget* widget) const {
  const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
  if (control != CC_Slider || !slider || slider->orientation != Qt::Horizontal) {
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    return;
  }
  const bool enabled = option->state & State_Enabled;
  const QRect groove = subControlRect(control, option, SC_SliderGroove, widget);
  const QRect knob = subControlRect(control, option, SC_SliderHandle, widget);
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setPen(Qt::NoPen);
  painter->setBrush(kGrooveColor);
  painter->drawRoundedRect(groove, kGroove / 2.0, kGroove / 2.0);
  // Filled from the start up to the knob's middle.
  QRect filled = groove;
  filled.setRight(knob.center().x());
  painter->setBrush(enabled ? Color("ColorBright") : kDisabledFill);
  painter->drawRoundedRect(filled, kGroove / 2.0, kGroove / 2.0);

  QColor face = Qt::white;
  QColor ring = Color("ColorBright");
  if (!enabled) {
    face = kDisabledFace;
    ring = kDisabledFill;
  } else if (option->state & State_HasFocus) {
    face = Color("ColorBright");
    ring = Color("ColorDarkest");
  } else if ((option->state & State_MouseOver) && (option->activeSubControls & SC_SliderHandle)) {
    face = kHoveredKnob;
  }
  DrawRinged(painter, knob, kKnob / 2.0, face, ring);
  painter->restore();
}

void TControlStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                  QPainter* painter, const QWidget* widget) const {
  if (element != PE_IndicatorCheckBox) {
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    return;
  }
  const bool enabled = option->state & State_Enabled;
  const bool checked = option->state & State_On;
  QColor face = Qt::white;
  QColor ring = Color("ColorMid");
  if (checked) {
    face = ring = enabled ? Color("ColorBright") : kDisabledFill;
  } else if (!enabled) {
    face = kDisabledFace;
    ring = kDisabledFill;
  }
  const QRect& box = option->rect;
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  DrawRinged(painter, box, kBoxRadius, face, ring);
  if (checked) {
    const QRect mark = box.adjusted(kRing, kRing, -kRing, -kRing);
    painter->drawPixmap(mark, CheckMark(mark.size(), painter->device()->devicePixelRatioF()));
  }
  painter->restore();
}

QPixmap TControlStyle::CheckMark(QSize size, qreal ratio) const {
  if (checkMark_.isNull() || checkMark_.deviceIndependentSize().toSize() != size ||
      checkMark_.devicePixelRatio() != ratio)
    checkMark_ = RenderSvg(checkMarkPath_, size, ratio);
  return checkMark_;
}

}  // namespace varnholt
