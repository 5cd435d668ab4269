// Build tool: renders the drawings of app/artwork at the sizes the windows
// show them (app/artwork-sizes.txt) into raw premultiplied ARGB32 pixels,
// one file "<name>@<w>x<h>" each, which Artwork() takes instead of parsing
// the SVG at start. Rendered by the same code as at run time, so the
// pixels are the same.
//
// Usage: varnholt_artwork_raster SIZES_FILE SVG_FOLDER OUT_FOLDER

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QRegularExpression>
#include <QTextStream>
#include <cstdio>

#include "controls/SvgPicture.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s SIZES_FILE SVG_FOLDER OUT_FOLDER\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QFile sizes(QString::fromLocal8Bit(argv[1]));
  if (!sizes.open(QIODevice::ReadOnly | QIODevice::Text)) {
    std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
    return 1;
  }
  const QString svgFolder = QString::fromLocal8Bit(argv[2]);
  const QString outFolder = QString::fromLocal8Bit(argv[3]);
  QDir().mkpath(outFolder);
  const QRegularExpression entry(R"(^(\w+) (\d+)x(\d+)$)");
  QTextStream in(&sizes);
  while (!in.atEnd()) {
    const QString line = in.readLine().trimmed();
    if (line.isEmpty() || line.startsWith('#'))
      continue;
    const QRegularExpressionMatch match = entry.match(line);
    if (!match.hasMatch()) {
      std::fprintf(stderr, "%s: not \"name WxH\": %s\n", argv[0], qPrintable(line));
      return 1;
    }
    const QSize size(match.captured(2).toInt(), match.captured(3).toInt());
    const QString svg = svgFolder + "/" + match.captured(1) + ".svg";
    const QImage image = varnholt::RenderSvg(svg, size, 1.0)
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull() || image.size() != size) {
      std::fprintf(stderr, "%s: cannot render %s at %dx%d\n", argv[0], qPrintable(svg),
                   size.width(), size.height());
      return 1;
    }
    QFile out(QString("%1/%2@%3x%4")
                  .arg(outFolder, match.captured(1))
                  .arg(size.width())
                  .arg(size.height()));
    bool written = out.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (int y = 0; written && y < size.height(); ++y)
      written = out.write(reinterpret_cast<const char*>(image.constScanLine(y)),
                          qint64(size.width()) * 4) == qint64(size.width()) * 4;
    if (!written) {
      std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(out.fileName()));
      return 1;
    }
  }
  return 0;
}
