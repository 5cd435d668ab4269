// Cameras that come and go while the window is open: found without a click,
// a camera plugged back in under its name live again, the status saying
// what happened, a camera test that ends with its camera, and a camera that
// fails while the window starts.

#include <gtest/gtest.h>

#include <QTest>

#include "controls/ButtonImage.h"
#include "tests/app/LiveWindowFixture.h"

namespace varnholt::test {
namespace {

using Hotplug = LiveWindow;

const QByteArray kHotplugRows = R"({"Brightness": {"min": 0, "max": 255, "value": 140}})";
constexpr int kWatchWait = 20000;  // the device watch reports from its own thread

TEST_F(Hotplug, CamerasComeAndGoByThemselvesAndTheStatusSaysWhatHappened) {
  UseCameras("[" + Camera("Lab", kHotplugRows) + "," + Camera("Desk", kHotplugRows) + "]");
  ASSERT_EQ(platform->SetConnected("desk", false), 0);
  form = Start();
  ASSERT_EQ(Part<TListBox>(*form, "ComboBoxCamera")->count(), 1);

  ASSERT_EQ(platform->SetConnected("desk", true), 0);
  ASSERT_TRUE(
      WaitUntil([&] { return Part<TListBox>(*form, "ComboBoxCamera")->count() == 2; }, kWatchWait));
  EXPECT_EQ(CameraOf(*form)->DeviceName(), "Lab");  // the user's choice stays

  ASSERT_EQ(platform->SetConnected("lab", false), 0);
  ASSERT_TRUE(
      WaitUntil([&] { return Part<TListBox>(*form, "ComboBoxCamera")->count() == 1; }, kWatchWait));
  EXPECT_EQ(CameraOf(*form)->DeviceName(), "Desk");
  EXPECT_EQ(Part<QLabel>(*form, "MessageLabel")->text(), "Lab was disconnected");
  EXPECT_EQ(Part<QLabel>(*form, "SupportLabel")->text(), "Camera configurable");
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "140");

  ASSERT_EQ(platform->SetConnected("desk", false), 0);
  ASSERT_TRUE(
      WaitUntil([&] { return Part<TListBox>(*form, "ComboBoxCamera")->count() == 0; }, kWatchWait));
  EXPECT_EQ(Part<QLabel>(*form, "MessageLabel")->text(), "Desk was disconnected");
  EXPECT_EQ(Part<QLabel>(*form, "SupportLabel")->text(), "No camera connected");
  EXPECT_FALSE(Row("Brightness").TrackBar->isEnabled());
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), " ");
  for (QWidget* button : std::initializer_list<QWidget*>{
           Part<TButtonImage>(*form, "ButtonRead"), Part<TButtonImage>(*form, "ButtonWrite"),
           Part<TButtonImage>(*form, "ButtonDefaultValues"),
           Part<TButtonImage>(*form, "ButtonWindows"), Part<TImage>(*form, "ButtonTestCam")})
    EXPECT_FALSE(button->isEnabled()) << button->objectName().toStdString();
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(Hotplug, ACameraBackUnderItsNameIsLiveAgainAfterOneTick) {
  TFormMain& form = StartWith("[" + Camera("Lab", kHotplugRows) + "]", {"varnholt", "trace"});
  // Out and in again before the window looks: its binding is dead.
  ASSERT_EQ(platform->SetConnected("lab", false), 0);
  ASSERT_EQ(platform->SetConnected("lab", true), 0);
  clock.Advance(5000);
  EXPECT_TRUE(Row("Brightness").TrackBar->isEnabled());
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "140");
  Row("Brightness").TrackBar->SetValue(99);
  AwaitWrites();
  EXPECT_TRUE(Written().contains("videoProcAmp.0 99")) << Written().toStdString();

  // Cameras listed and none chosen: the tick counts as failed and chooses.
  Part<TListBox>(form, "ComboBoxCamera")->SetItemIndex(-1);
  Part<QPlainTextEdit>(form, "Memo1")->clear();
  clock.Advance(5000);
  EXPECT_TRUE(
      TraceLines().contains(" Re-read of camera settings NOT successful - now refreshing devices"));
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxCamera")->ItemIndex(), 0);
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "99");
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(Hotplug, ACameraTestEndsWhenItsCameraGoesEvenIfItComesStraightBack) {
  TFormMain& form = StartWith("[" + TestCamera("Lab", Format(640, 480, "YUY2", 333333)) + "]");
  ClickIcon();
  ASSERT_TRUE(livecam->isVisible());
  ASSERT_EQ(platform->SetConnected("lab", false), 0);
  ASSERT_EQ(platform->SetConnected("lab", true), 0);
  // Frame ticks go on until the stream has met the dead device.
  EXPECT_TRUE(WaitUntil([&] {
    clock.Advance(40);
    return livecam->isHidden();
  }));
  EXPECT_FALSE(CameraOf(form)->Active());
  EXPECT_EQ(Part<QLabel>(form, "MessageLabel")->text(), "Lab was disconnected");
  EXPECT_EQ(CameraOf(form)->DeviceName(), "Lab");  // back, and chosen again
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "140");

  // Gone for good while a test runs: the watch ends the test.
  ClickIcon();
  ASSERT_TRUE(livecam->isVisible());
  ASSERT_EQ(platform->SetConnected("lab", false), 0);
  ASSERT_TRUE(WaitUntil([&] { return livecam->isHidden(); }, kWatchWait));
  EXPECT_FALSE(CameraOf(form)->Active());
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxCamera")->count(), 0);
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(Hotplug, ACameraFailingAtStartLeavesTheStartUpWholeAndIsToldOnceByName) {
  WriteState("[Varnholt-Settings]\nTop=30\nLeft=40\nwidth=600\n");
  TFormMain& form = StartWith("[" + Camera("Lab", R"({"Brightness": {"min": 0, "max": 255,
                                                "fail": {"get": "0x80004005"}}})") +
                              "]");
  EXPECT_EQ(form.windowTitle(), "Varnholt V1.6");
  EXPECT_EQ(Outer(form), QRect(40, 30, 600, TFormMain::kWindowHeight));
  EXPECT_TRUE(errors.isEmpty());  // not while the windows are made
  ASSERT_TRUE(WaitUntil([&] { return !errors.isEmpty(); }));
  QCoreApplication::processEvents();  // a second report would be queued by now
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].startsWith("The camera Lab could not be read: "))
      << errors[0].toStdString();
  // The state read at start is what closing keeps.
  Close(form);
  EXPECT_TRUE(ReadFile(StateFile()).contains("width=600"));
}

}  // namespace
}  // namespace varnholt::test
