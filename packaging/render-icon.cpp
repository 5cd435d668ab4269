// Renders the application icon's SVG into the PNG sizes the icon theme wants,
// at build time: render-icon SOURCE.svg OUTPUT_FOLDER SIZE...
// writes OUTPUT_FOLDER/SIZExSIZE/apps/<name of SOURCE>.png.

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: render-icon SOURCE.svg OUTPUT_FOLDER SIZE...\n");
    return 2;
  }
  QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
  if (!svg.isValid()) {
    std::fprintf(stderr, "render-icon: cannot read %s\n", argv[1]);
    return 1;
  }
  const QString name = QFileInfo(QString::fromLocal8Bit(argv[1])).completeBaseName();
  const QDir out(QString::fromLocal8Bit(argv[2]));
  for (int i = 3; i < argc; ++i) {
    const int size = QByteArray(argv[i]).toInt();
    if (size <= 0) {
      std::fprintf(stderr, "render-icon: bad size %s\n", argv[i]);
      return 2;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing);
      svg.render(&painter);
    }
    const QString folder = QStringLiteral("%1x%1/apps").arg(size);
    const QString path = out.filePath(folder + "/" + name + ".png");
    if (!out.mkpath(folder) || !image.save(path, "PNG")) {
      std::fprintf(stderr, "render-icon: cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}
