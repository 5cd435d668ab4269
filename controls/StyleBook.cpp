#include "controls/StyleBook.h"

#include <QApplication>
#include <QCheckBox>
#include <QSlider>
#include <QWidget>

#include "controls/ControlStyle.h"

namespace varnholt {

TStyleBook::TStyleBook(QObject* parent) : QObject(parent) {}

TStyleBook::~TStyleBook() {
  // The window's controls may outlive their book by a moment while the
  // window goes: the style they draw with goes once they are gone.
  if (controls_)
    controls_->deleteLater();
}

void TStyleBook::SetCheckMark(const QString& path) {
  if (!controls_)
    controls_ = new TControlStyle(path, qApp);
}

void TStyleBook::SetElement(const QString& name, const QString& styleSheet) {
  elements_.insert(name, styleSheet);
}

void TStyleBook::SetColor(const QString& name, const QColor& color) {
  colors_.insert(name, color);
}

QString TStyleBook::Resolved(QString styleSheet) const {
  for (auto it = colors_.constBegin(); it != colors_.constEnd(); ++it) {
    const QColor& c = it.value();
    styleSheet.replace(
        '@' + it.key() + '@',
        QString("rgba(%1, %2, %3, %4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha()));
  }
  return styleSheet;
}

void TStyleBook::ApplyTo(QWidget* window) {
  if (!controls_)
    return;
  for (auto it = colors_.constBegin(); it != colors_.constEnd(); ++it)
    controls_->SetColor(it.key(), it.value());
  // A control given a style of its own keeps it.
  const auto apply = [this](QWidget* control) {
    if (!control->testAttribute(Qt::WA_SetStyle))
      control->setStyle(controls_);
    control->update();
  };
  for (QSlider* slider : window->findChildren<QSlider*>())
    apply(slider);
  for (QCheckBox* box : window->findChildren<QCheckBox*>())
    apply(box);
}

void TStyleBook::ApplyElement(QWidget* control, const QString& name) const {
  const auto it = elements_.constFind(name);
  if (it == elements_.constEnd())
    return;
  control->setProperty("StyleLookup", name);
  control->setStyleSheet(Resolved(*it));
}

}  // namespace varnholt
