#pragma once

// Pictures drawn from SVG sources, rendered for the screen they go on.

#include <QPixmap>
#include <QSize>
#include <QString>

namespace varnholt {

// Renders the SVG file (a resource path works) at size logical pixels, with
// the device pixel ratio given (0: the application's). An unreadable file
// gives a null pixmap.
QPixmap RenderSvg(const QString& path, QSize size, qreal devicePixelRatio = 0);

}  // namespace varnholt
