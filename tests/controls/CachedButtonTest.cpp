// The button that draws a kept picture of its look: it must look as a
// plain button does in each state it passes through.

#include <gtest/gtest.h>

#include <QImage>
#include <QPushButton>

#include "controls/CachedButton.h"

namespace varnholt::test {
namespace {

TEST(CachedButtonTest, LooksAsAPlainButtonDoesInEachState) {
  QWidget window;
  TCachedButton cached("Record", &window);
  QPushButton plain("Record", &window);
  for (QPushButton* button : {static_cast<QPushButton*>(&cached), &plain}) {
    button->setCheckable(true);
    button->resize(80, 33);
  }
  const auto same = [&] { return cached.grab().toImage() == plain.grab().toImage(); };
  const QImage first = cached.grab().toImage();
  EXPECT_TRUE(same());

  const auto both = [&](auto change) {
    change(cached);
    change(plain);
  };
  both([](QPushButton& b) { b.setChecked(true); });
  EXPECT_NE(cached.grab().toImage(), first);
  EXPECT_TRUE(same());
  both([](QPushButton& b) { b.setText("Stop"); });
  EXPECT_TRUE(same());
  both([](QPushButton& b) { b.resize(100, 40); });
  EXPECT_TRUE(same());
  both([](QPushButton& b) { b.setEnabled(false); });
  EXPECT_TRUE(same());
}

}  // namespace
}  // namespace varnholt::test
