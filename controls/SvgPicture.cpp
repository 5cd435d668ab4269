#include "controls/SvgPicture.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>

namespace varnholt {

QPixmap RenderSvg(const QString& path, QSize size, qreal devicePixelRatio) {
  if (devicePixelRatio <= 0)
    devicePixelRatio = qApp ? qApp->devicePixelRatio() : 1.0;
  QSvgRenderer renderer(path);
  if (!renderer.isValid() || size.isEmpty())
    return {};
  QPixmap pixmap(QSize(static_cast<int>(std::ceil(size.width() * devicePixelRatio)),
                       static_cast<int>(std::ceil(size.height() * devicePixelRatio))));
  pixmap.fill(Qt::transparent);
  {
    QPainter painter(&pixmap);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixmap.size())));
  }
  pixmap.setDevicePixelRatio(devicePixelRatio);
  return pixmap;
}

}  // namespace varnholt
