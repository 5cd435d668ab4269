// The main window over vivid: the rows as a user sees them, what one
// keep-synced tick costs in driver calls and time, and a change made by
// another program showing at the next tick without being written back.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <QElapsedTimer>
#include <iostream>

#include "controls/ListBox.h"
#include "controls/TrackBar.h"
#include "tests/vm/WindowRig.h"

namespace varnholt::test {
namespace {

class VividWindow : public V4l2Window {
 protected:
  void PrepareDriver() override {
    node = VividCaptureNode();
    ASSERT_FALSE(node.empty()) << "no video capture node: is vivid loaded?";
    ASSERT_TRUE(RawSetControl(node, V4L2_CID_BRIGHTNESS, 128));
    ASSERT_TRUE(RawSetControl(node, V4L2_CID_AUTOGAIN, 1));
  }
};

TEST_F(VividWindow, RowsShowWhatTheDriverHasAndGreyTheRest) {
  ASSERT_EQ(Part<TListBox>(*form, "ComboBoxCamera")->count(), 1);
  EXPECT_EQ(Part<TListBox>(*form, "ComboBoxCamera")->item(0)->text(),
            QString::fromLatin1(kVividCard));
  EXPECT_EQ(Part<TListBox>(*form, "ComboBoxCamera")->ItemIndex(), 0);
  EXPECT_GT(Part<TListBox>(*form, "ComboBoxFormat")->count(), 0);

  for (const char* key : {"Brightness", "Contrast", "Saturation", "Hue"}) {
    SCOPED_TRACE(key);
    EXPECT_TRUE(Row(key).TrackBar->isEnabled());
    EXPECT_FALSE(Row(key).CheckBox->isEnabled());  // vivid has no automatic mode for it
  }
  EXPECT_EQ(Row("Brightness").TrackBar->Value(), 128);
  EXPECT_EQ(Row("Brightness").TrackBar->Max(), 255);

  // Gain under autogain: the box live and ticked, the slider held.
  EXPECT_TRUE(Row("Gain").CheckBox->isEnabled());
  EXPECT_TRUE(Row("Gain").CheckBox->isChecked());
  EXPECT_FALSE(Row("Gain").TrackBar->isEnabled());

  for (const char* key : {"WhiteBalance", "Exposure", "Focus", "Zoom", "Pan", "Tilt", "Iris",
                          "Sharpness", "Gamma", "BacklightCompensation"}) {
    SCOPED_TRACE(key);
    EXPECT_FALSE(Row(key).Label->isEnabled());
    EXPECT_FALSE(Row(key).TrackBar->isEnabled());
    EXPECT_FALSE(Row(key).CheckBox->isEnabled());
  }
  EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_F(VividWindow, ATickShowsAnotherProgramsChangeAndWritesNothingBack) {
  Part<QCheckBox>(*form, "KeepSynced")->setChecked(true);
  Tick();  // the first tick may still open what the start left closed
  ASSERT_TRUE(RawSetControl(node, V4L2_CID_BRIGHTNESS, 201));

  const long before = nodes->Ioctls();
  const long opensBefore = nodes->Opens();
  QElapsedTimer clock;
  clock.start();
  Tick();
  const double ms = clock.nsecsElapsed() / 1e6;
  const long calls = nodes->Ioctls() - before;
  std::cout << "[ FIGURES  ] one keep-synced tick on vivid: " << calls << " ioctls, "
            << nodes->Opens() - opensBefore << " opens, " << ms << " ms (under emulation)\n";

  EXPECT_EQ(Row("Brightness").TrackBar->Value(), 201);
  EXPECT_EQ(RawControl(node, V4L2_CID_BRIGHTNESS).value_or(-1), 201);
  EXPECT_TRUE(Row("Gain").CheckBox->isChecked());
  EXPECT_EQ(RawControl(node, V4L2_CID_AUTOGAIN).value_or(-1), 1);
  EXPECT_GT(calls, 0);
  EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

}  // namespace
}  // namespace varnholt::test
