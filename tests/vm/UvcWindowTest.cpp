// The main window over the uvcvideo camera: the rows as a user sees them
// (live sliders, "Auto" boxes for the automatic pairs, greyed rows for what
// the camera lacks), an "Auto" box reaching the camera, and another
// program's change showing at the next keep-synced tick.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <QThread>

#include "controls/ListBox.h"
#include "controls/TrackBar.h"
#include "tests/vm/UvcRig.h"
#include "tests/vm/WindowRig.h"

namespace varnholt::test {
namespace {

class UvcWindow : public V4l2Window {
 protected:
  void PrepareDriver() override {
    node = UvcCaptureNode();
    ASSERT_FALSE(node.empty()) << "no uvcvideo capture node: is the emulated camera running?";
    ASSERT_TRUE(ResetUvcCamera(node));
  }
};

TEST_F(UvcWindow, RowsShowTheCamerasPropertiesWithAutoBoxesAndGreyTheRest) {
  ASSERT_EQ(Part<TListBox>(*form, "ComboBoxCamera")->count(), 1);  // not its metadata node
  EXPECT_EQ(Part<TListBox>(*form, "ComboBoxCamera")->item(0)->text(),
            QString::fromLatin1(kUvcCard));
  EXPECT_GT(Part<TListBox>(*form, "ComboBoxFormat")->count(), 0);

  for (const char* key : {"Brightness", "Contrast", "Hue", "Saturation", "Sharpness", "Gamma",
                          "BacklightCompensation", "Gain", "Zoom", "Pan", "Tilt", "Iris"}) {
    SCOPED_TRACE(key);
    EXPECT_TRUE(Row(key).Label->isEnabled());
    EXPECT_TRUE(Row(key).TrackBar->isEnabled());
    EXPECT_FALSE(Row(key).CheckBox->isEnabled());  // no automatic mode in this camera
  }
  EXPECT_EQ(Row("Gamma").TrackBar->Min(), 72);
  EXPECT_EQ(Row("Gamma").TrackBar->Max(), 500);
  EXPECT_EQ(Row("Gamma").TrackBar->Value(), 100);

  // The automatic pairs start automatic: the box live and ticked, the
  // slider held.
  for (const char* key : {"WhiteBalance", "Focus", "Exposure"}) {
    SCOPED_TRACE(key);
    EXPECT_TRUE(Row(key).CheckBox->isEnabled());
    EXPECT_TRUE(Row(key).CheckBox->isChecked());
    EXPECT_FALSE(Row(key).TrackBar->isEnabled());
  }
  EXPECT_EQ(Row("WhiteBalance").TrackBar->Value(), 4600);

  for (const char* key : {"Roll", "ColorEnable"}) {
    SCOPED_TRACE(key);
    EXPECT_FALSE(Row(key).Label->isEnabled());
    EXPECT_FALSE(Row(key).TrackBar->isEnabled());
    EXPECT_FALSE(Row(key).CheckBox->isEnabled());
  }
  EXPECT_TRUE(Part<TListBox>(*form, "ComboBoxFrequency")->isEnabled());
  EXPECT_EQ(Part<TListBox>(*form, "ComboBoxFrequency")->ItemIndex(),
            0);  // "PAL - 50Hz", the camera's default
  EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_F(UvcWindow, AnAutoBoxAndASliderReachTheCamera) {
  const TPropertyRow row = Row("WhiteBalance");
  std::size_t modes = CameraLogSets("white_balance_temperature_auto").size();
  row.CheckBox->click();
  EXPECT_TRUE(CameraReceived("white_balance_temperature_auto", modes, "0"));
  EXPECT_TRUE(row.TrackBar->isEnabled());
  EXPECT_EQ(RawControl(node, V4L2_CID_AUTO_WHITE_BALANCE), 0);

  const std::size_t values = CameraLogSets("white_balance_temperature").size();
  row.TrackBar->SetValue(5200);
  EXPECT_TRUE(CameraReceived("white_balance_temperature", values, "5200"));

  modes = CameraLogSets("white_balance_temperature_auto").size();
  row.CheckBox->click();
  EXPECT_TRUE(CameraReceived("white_balance_temperature_auto", modes, "1"));
  EXPECT_FALSE(row.TrackBar->isEnabled());
  EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_F(UvcWindow, ATickShowsAnotherProgramsChangeAndWritesNothingBack) {
  Part<QCheckBox>(*form, "KeepSynced")->setChecked(true);
  Tick();
  std::size_t brightness = CameraLogSets("brightness").size();
  std::size_t focusModes = CameraLogSets("focus_auto").size();
  ASSERT_TRUE(RawSetControl(node, V4L2_CID_BRIGHTNESS, -20));
  ASSERT_TRUE(RawSetControl(node, V4L2_CID_FOCUS_AUTO, 0));
  ASSERT_TRUE(CameraReceived("brightness", brightness++, "-20"));
  ASSERT_TRUE(CameraReceived("focus_auto", focusModes++, "0"));
  Tick();
  QThread::msleep(300);  // room for a write the tick should not have sent
  EXPECT_EQ(Row("Brightness").TrackBar->Value(), -20);
  EXPECT_FALSE(Row("Focus").CheckBox->isChecked());
  EXPECT_TRUE(Row("Focus").TrackBar->isEnabled());
  // Nothing went back to the camera: what it logged is only the two raw
  // writes above.
  EXPECT_EQ(CameraLogSets("brightness").size(), brightness);
  EXPECT_EQ(CameraLogSets("focus_auto").size(), focusModes);
  EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

}  // namespace
}  // namespace varnholt::test
