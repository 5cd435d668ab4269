#include "controls/StyleBook.h"

#include <QWidget>

namespace varnholt {

TStyleBook::TStyleBook(QObject* parent) : QObject(parent) {}

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

void TStyleBook::ApplyTo(QWidget* window) const {
  // Setting even the same sheet again restyles every control of the window.
  const QString resolved = Resolved(window_);
  if (window->styleSheet() != resolved)
    window->setStyleSheet(resolved);
}

void TStyleBook::ApplyElement(QWidget* control, const QString& name) const {
  const auto it = elements_.constFind(name);
  if (it == elements_.constEnd())
    return;
  control->setProperty("StyleLookup", name);
  control->setStyleSheet(Resolved(*it));
}

}  // namespace varnholt
