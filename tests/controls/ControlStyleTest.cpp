// The drawn sliders and check boxes: what a user sees in each state.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QSlider>
#include <QTest>
#include <QWidget>

#include "controls/StyleBook.h"

namespace varnholt::test {
namespace {

const QColor kBright(0x63, 0x60, 0xE3);
const QColor kMid(0x42, 0x42, 0x80);
const QColor kGrey(0xC4, 0xC4, 0xD2);

QColor At(QWidget* control, QPoint point) {
  return control->grab().toImage().pixelColor(point);
}

TEST(ControlStyleTest, SlidersAndBoxesShowTheirStateInTheSchemeColours) {
  QWidget window;
  auto* slider = new QSlider(Qt::Horizontal, &window);
  slider->setGeometry(0, 0, 200, 20);
  slider->setRange(0, 100);
  slider->setValue(50);
  auto* box = new QCheckBox("Auto", &window);
  box->setGeometry(0, 30, 80, 20);
  TStyleBook book;
  book.SetCheckMark(":/no-such-mark.svg");  // the colours are what is checked here
  book.SetColor("ColorBright", kBright);
  book.SetColor("ColorMid", kMid);
  book.ApplyTo(&window);

  const QPoint grooveStart(4, 10), knob(100, 10);
  EXPECT_EQ(At(slider, grooveStart), kBright);
  EXPECT_EQ(At(slider, knob), QColor(Qt::white));
  // Focused, the knob takes the bright colour; else it lightens under the
  // pointer.
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  slider->setFocus();
  QTest::mouseMove(slider, knob);
  EXPECT_TRUE(QTest::qWaitFor([&] { return At(slider, knob) == kBright; }));
  slider->clearFocus();
  EXPECT_EQ(At(slider, knob), QColor(0xEC, 0xEB, 0xFF));
  slider->setEnabled(false);
  EXPECT_EQ(At(slider, grooveStart), kGrey);
  EXPECT_EQ(At(slider, knob), QColor(0xF4, 0xF4, 0xF8));

  const QPoint ring(1, 10), middle(8, 10);
  EXPECT_EQ(At(box, ring), kMid);
  EXPECT_EQ(At(box, middle), QColor(Qt::white));
  box->setChecked(true);
  EXPECT_EQ(At(box, ring), kBright);
  EXPECT_EQ(At(box, middle), kBright);
  box->setEnabled(false);
  EXPECT_EQ(At(box, ring), kGrey);
}

}  // namespace
}  // namespace varnholt::test
