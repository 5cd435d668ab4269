// The drawings as the build renders them: the same pixels as drawing the
// SVG at run time, and every one the main window shows is among them.

#include <QFile>
#include <QImage>
#include <QRegularExpression>

#include "app/Look.h"
#include "controls/SvgPicture.h"
#include "tests/app/MainWindowFixture.h"

namespace varnholt::test {
namespace {

QImage Pixels(const QPixmap& pixmap) {
  return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

TEST(Look, PrerenderedArtworkHasTheDrawingsOwnPixels) {
  QFile sizes(VARNHOLT_ARTWORK_SIZES);
  ASSERT_TRUE(sizes.open(QIODevice::ReadOnly | QIODevice::Text));
  const QRegularExpression entry(R"(^(\w+) (\d+)x(\d+)$)");
  int checked = 0;
  const int fromSvg = ArtworkRenderedFromSvg();
  for (const QByteArray& line : sizes.readAll().split('\n')) {
    const QRegularExpressionMatch match = entry.match(QString::fromLatin1(line.trimmed()));
    if (!match.hasMatch())
      continue;
    const QString name = match.captured(1);
    const QSize size(match.captured(2).toInt(), match.captured(3).toInt());
    const QImage prerendered = Pixels(Artwork(name, size));
    ASSERT_EQ(prerendered.size(), size) << name.toStdString();
    EXPECT_EQ(prerendered, Pixels(RenderSvg(":/artwork/" + name + ".svg", size, 1.0)))
        << name.toStdString();
    ++checked;
  }
  EXPECT_GT(checked, 30);
  EXPECT_EQ(ArtworkRenderedFromSvg(), fromSvg);
  // A size the build did not render is drawn now.
  EXPECT_EQ(Pixels(Artwork("logo", {100, 32})),
            Pixels(RenderSvg(":/artwork/logo.svg", {100, 32}, 1.0)));
  EXPECT_EQ(ArtworkRenderedFromSvg(), fromSvg + 1);
}

using LookWindow = MainWindow;

TEST_F(LookWindow, TheMainWindowDrawsNoSvgAtStart) {
  const int fromSvg = ArtworkRenderedFromSvg();
  auto form = Start();
  EXPECT_EQ(ArtworkRenderedFromSvg(), fromSvg);
}

}  // namespace
}  // namespace varnholt::test
