// The monochrome, glow and inner-glow effects as they show on a rendered
// control.

#include <gtest/gtest.h>

#include <QImage>

#include "controls/Effects.h"
#include "controls/Shapes.h"

namespace varnholt::test {
namespace {

// A coloured square in the middle of a transparent host, drawn through
// whatever effects it carries.
class Effects : public ::testing::Test {
 protected:
  Effects() {
    host.setAttribute(Qt::WA_TranslucentBackground);
    host.resize(60, 60);
    square = new TRectangle(&host);
    square->setGeometry(20, 20, 20, 20);
    square->SetFill(QColor(220, 40, 40));
    square->SetStroke(Qt::transparent, 0);
  }
  QImage Render() {
    QImage image(host.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    host.render(&image, {}, {}, QWidget::DrawChildren);
    return image;
  }
  static bool Grey(QColor c) { return c.red() == c.green() && c.green() == c.blue(); }

  QWidget host;
  TRectangle* square;
};

TEST_F(Effects, MonochromeGreysTheControlOnlyWhileEnabled) {
  auto* grey = new TMonochromeEffect;
  AttachEffects(square, {grey});
  EXPECT_EQ(grey->parent(), square);
  const QColor inside = Render().pixelColor(30, 30);
  EXPECT_TRUE(Grey(inside)) << inside.name().toStdString();
  EXPECT_EQ(inside.alpha(), 255);
  EXPECT_EQ(Render().pixelColor(5, 5).alpha(), 0);  // transparency kept

  grey->setEnabled(false);
  EXPECT_EQ(Render().pixelColor(30, 30), QColor(220, 40, 40));
}

TEST_F(Effects, GlowSpreadsAroundTheShapeInItsColour) {
  auto* glow = new TGlowEffect;
  glow->SetGlowColor(QColor(0, 0, 255));
  glow->SetSoftness(0.7);
  glow->SetOpacity(0.99);
  AttachEffects(square, {glow});
  const QImage image = Render();
  const QColor near = image.pixelColor(17, 30);  // 3 pixels left of the square
  EXPECT_GT(near.alpha(), 40);
  EXPECT_GT(near.blue(), near.red());
  EXPECT_EQ(image.pixelColor(30, 30), QColor(220, 40, 40));  // the shape itself stays on top
  EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);              // far away: nothing
  glow->setEnabled(false);
  EXPECT_EQ(Render().pixelColor(17, 30).alpha(), 0);
}

TEST_F(Effects, InnerGlowTintsTheEdgesInsideOnly) {
  auto* glow = new TInnerGlowEffect;
  glow->SetGlowColor(QColor(0, 0, 255));
  glow->SetSoftness(0.4);
  glow->SetOpacity(0.8);
  AttachEffects(square, {glow});
  const QImage image = Render();
  const QColor edge = image.pixelColor(20, 30);
  EXPECT_GT(edge.blue(), 40);
  EXPECT_EQ(image.pixelColor(17, 30).alpha(), 0);  // nothing outside
  const QColor centre = image.pixelColor(30, 30);
  EXPECT_LT(centre.blue(), edge.blue());
}

TEST_F(Effects, SeveralEffectsOnOneControlApplyInOrderAndFollowTheirEnabledState) {
  auto* glow = new TGlowEffect;
  glow->SetGlowColor(QColor(0, 0, 255));
  auto* grey = new TMonochromeEffect;
  grey->setEnabled(false);
  AttachEffects(square, {glow, grey});
  ASSERT_NE(qobject_cast<TEffectStack*>(square->graphicsEffect()), nullptr);
  QImage image = Render();
  EXPECT_GT(image.pixelColor(17, 30).alpha(), 0);
  EXPECT_EQ(image.pixelColor(30, 30), QColor(220, 40, 40));

  grey->setEnabled(true);  // now the glow is greyed too
  image = Render();
  EXPECT_TRUE(Grey(image.pixelColor(30, 30)));
  EXPECT_TRUE(Grey(image.pixelColor(17, 30)));

  glow->setEnabled(false);
  image = Render();
  EXPECT_EQ(image.pixelColor(17, 30).alpha(), 0);
  EXPECT_TRUE(Grey(image.pixelColor(30, 30)));
}

// Repaints of an unchanged control under unchanged settings reuse the last
// filtered picture; a change of either is filtered anew and shows.
TEST_F(Effects, AnUnchangedControlIsNotFilteredAgain) {
  struct CountingGlow : TGlowEffect {
    void Filter(QImage& image) const override {
      ++filtered;
      TGlowEffect::Filter(image);
    }
    mutable int filtered = 0;
  };
  auto* glow = new CountingGlow;
  glow->SetGlowColor(QColor(0, 0, 255));
  AttachEffects(square, {glow});
  const QImage first = Render();
  EXPECT_EQ(Render(), first);
  EXPECT_EQ(glow->filtered, 1);

  square->SetFill(QColor(40, 220, 40));
  EXPECT_EQ(Render().pixelColor(30, 30), QColor(40, 220, 40));
  EXPECT_EQ(glow->filtered, 2);

  glow->SetGlowColor(QColor(255, 0, 0));
  const QColor near = Render().pixelColor(17, 30);
  EXPECT_GT(near.red(), near.blue());
  EXPECT_EQ(glow->filtered, 3);
}

}  // namespace
}  // namespace varnholt::test
