#include "app/Look.h"

#include <QPalette>
#include <QWidget>

#include "controls/SvgPicture.h"

static void InitArtwork() {
  Q_INIT_RESOURCE(artwork);
}

namespace varnholt {

QFont CalibriFont(int pixelSize, bool bold) {
  QFont font;
  font.setFamilies({"Calibri", "Carlito", "DejaVu Sans Condensed", "Liberation Sans Narrow"});
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

QFont PlainFont(int pixelSize, bool bold) {
  QFont font;
  font.setFamilies({"Segoe UI", "Liberation Sans", "Nimbus Sans", "DejaVu Sans"});
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

void SetTextColor(QWidget* widget, const QColor& color) {
  QPalette palette = widget->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::WindowText, color);
    palette.setColor(group, QPalette::Text, color);
    palette.setColor(group, QPalette::ButtonText, color);
  }
  widget->setPalette(palette);
}

QPixmap Artwork(const QString& name, QSize size) {
  static const bool ready = (InitArtwork(), true);
  (void)ready;
  return RenderSvg(":/artwork/" + name + ".svg", size);
}

}  // namespace varnholt
