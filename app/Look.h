#pragma once

// The look shared by our windows: fonts and text colours, and the pictures
// drawn for them (app/artwork).

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QSize>
#include <QString>

class QWidget;

namespace varnholt {

// Texts designed in Calibri: Calibri where it is installed, its metric twin
// Carlito, else a condensed face that every Debian desktop has, so that
// the captions keep about their designed width.
QFont CalibriFont(int pixelSize, bool bold = false);
// Every other text: the window's family at a designed size.
QFont PlainFont(int pixelSize, bool bold = false);

// Sets the text colour for every state, so that a disabled text keeps the
// colour the design gives it.
void SetTextColor(QWidget* widget, const QColor& color);

// The drawing app/artwork/<name>.svg rendered at size logical pixels.
QPixmap Artwork(const QString& name, QSize size);
// How many pictures Artwork has drawn from SVG at run time rather than
// taken as the build rendered them.
int ArtworkRenderedFromSvg();

}  // namespace varnholt
