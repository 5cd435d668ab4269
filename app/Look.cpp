#include "app/Look.h"

#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QResource>
#include <QWidget>
#include <cstring>

#include "app/StartupTrace.h"
#include "controls/SvgPicture.h"

static void InitArtwork() {
  Q_INIT_RESOURCE(artwork);
}

namespace varnholt {

namespace {
int g_artworkFromSvg = 0;

// The drawing as the build rendered it (ArtworkRaster.cpp, at the sizes of
// app/artwork-sizes.txt): the same pixels, without parsing SVG at start.
// Null where the build has none at this size.
QPixmap PrerenderedArtwork(const QString& name, QSize size) {
  const QResource raster(
      QString(":/artwork-raster/%1@%2x%3").arg(name).arg(size.width()).arg(size.height()));
  if (!raster.isValid())
    return {};
  const QByteArray data = raster.uncompressedData();
  if (data.size() != qsizetype(size.width()) * size.height() * 4)
    return {};
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < size.height(); ++y)
    std::memcpy(image.scanLine(y), data.constData() + qsizetype(y) * size.width() * 4,
                size_t(size.width()) * 4);
  return QPixmap::fromImage(std::move(image));
}

}  // namespace

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
  // Prerendered for screens without scaling only; others get the drawing
  // at their own pixel ratio.
  if (qGuiApp && qGuiApp->devicePixelRatio() == 1.0) {
    QPixmap prerendered = PrerenderedArtwork(name, size);
    if (!prerendered.isNull())
      return prerendered;
  }
  ++g_artworkFromSvg;
  StartupMark(QString("artwork %1 %2x%3").arg(name).arg(size.width()).arg(size.height()).toUtf8());
  return RenderSvg(":/artwork/" + name + ".svg", size);
}

int ArtworkRenderedFromSvg() {
  return g_artworkFromSvg;
}

}  // namespace varnholt
