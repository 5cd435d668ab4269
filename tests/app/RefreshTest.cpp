// Keep-synced refresh: the five-second re-read of the selected camera, the
// rebuild of the camera list when the camera has gone, the focus given back
// afterwards, and the pause while a camera test shows.

#include <gtest/gtest.h>

#include <QApplication>

#include "camera/platform/virtual/VirtualCameraSet.h"
#include "tests/app/LiveWindowFixture.h"

namespace varnholt::test {
namespace {

using Refresh = LiveWindow;

const QByteArray kRows = R"({"Brightness": {"min": 0, "max": 255, "value": 140},
                             "Contrast": {"min": 0, "max": 100, "value": 50}})";

TEST_F(Refresh, ATickReReadsTheCameraAndTracesEachStep) {
  TFormMain& form =
      StartWith("[" + Camera("Lab", kRows, Formats({480, 240})) + "]", {"varnholt", "trace"});
  Part<TListBox>(form, "ComboBoxFormat")->SetItemIndex(1);
  Part<QPlainTextEdit>(form, "Memo1")->clear();
  clock.Advance(5000);
  const QStringList trace = TraceLines();
  ASSERT_GE(trace.size(), 12);
  EXPECT_EQ(
      trace.mid(0, 6),
      QStringList({" ", "RefreshTimer routine entered", " Determining LastFocussedControl",
                   " Determine LastFocussedControl successful", " Determining LastResolutionIndex",
                   "Timer event, ComboBoxFormat.ItemIndex=1"}));
  EXPECT_EQ(trace.mid(6, 3),
            QStringList({" Determine successful", " Attempting re-read of camera settings",
                         "ComboBoxCameraChange started"}));
  EXPECT_EQ(trace.mid(trace.size() - 3),
            QStringList({"ComboBoxCameraChange done", " Re-read of camera settings successful",
                         "RefreshTimer routine successful"}));
  // The format chosen before the tick is chosen again after it.
  EXPECT_EQ(form.LastResolutionIndex(), 1);
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxFormat")->ItemIndex(), 1);
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Refresh, ABrightnessChangedByAnotherProgramShowsAtTheNextTickAndIsNotWrittenBack) {
  StartWith("[" + Camera("Lab", kRows) + "]");
  // Another program with its own view of the same cameras.
  const QByteArray cameras = R"({"cameras": [)" + Camera("Lab", kRows) + "]}";
  TFCamera other(nullptr, platform::virtualcam::VirtualPlatform::FromJson(
                              cameras, platform->Cameras()->StateDir()));
  other.SetDeviceName("Lab");
  other.SetBrightness(200);
  const QString written = Written();

  clock.Advance(4999);
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "140");
  clock.Advance(1);
  EXPECT_EQ(Row("Brightness").TrackBar->Value(), 200);
  EXPECT_EQ(Row("Brightness").ValueLabel->text(), "200");
  EXPECT_EQ(Written(), written);
  EXPECT_EQ(other.Brightness(), 200);
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Refresh, AnUnpluggedCameraLeavesTheListAtTheNextTick) {
  TFormMain& form = StartWith("[" + Camera("Lab", kRows) + "," + Camera("Other", kRows) + "]",
                              {"varnholt", "trace"});
  SelectCamera(0);
  ASSERT_EQ(platform->SetConnected("lab", false), 0);
  Part<QPlainTextEdit>(form, "Memo1")->clear();
  clock.Advance(5000);
  const QStringList trace = TraceLines();
  const qsizetype failed =
      trace.indexOf(" Re-read of camera settings NOT successful - now refreshing devices");
  ASSERT_GE(failed, 0) << trace.join('\n').toStdString();
  EXPECT_EQ(trace.at(failed + 1), "  Attempting to refresh devices");
  EXPECT_TRUE(trace.contains("  Refresh devices successful"));
  EXPECT_FALSE(trace.contains(" Re-read of camera settings successful"));
  EXPECT_EQ(trace.last(), "RefreshTimer routine successful");
  ASSERT_EQ(Part<TListBox>(form, "ComboBoxCamera")->count(), 1);
  EXPECT_EQ(Part<TListBox>(form, "ComboBoxCamera")->item(0)->text(), "Other");
  EXPECT_EQ(CameraOf(form)->DeviceName(), "Other");
  EXPECT_TRUE(errors.isEmpty());  // nothing is shown
}

TEST_F(Refresh, WhileTheCameraTestShowsATickOnlyTracesItsEntry) {
  TFormMain& form = StartWith("[" + Camera("Lab", kRows) + "]", {"varnholt", "trace"});
  emit Part<TImage>(form, "ButtonTestCam")->Click();
  ASSERT_EQ(livecam->Tag, 1);
  Part<QPlainTextEdit>(form, "Memo1")->clear();
  emit Part<TTimer>(form, "RefreshTimer")->Timer();
  EXPECT_EQ(TraceLines(), QStringList({" ", "RefreshTimer routine entered"}));
  EXPECT_TRUE(CameraOf(form)->Active());

  // Hidden through the icon, the next tick does the whole re-read again.
  emit Part<TImage>(form, "ButtonTestCam")->Click();
  Part<QPlainTextEdit>(form, "Memo1")->clear();
  emit Part<TTimer>(form, "RefreshTimer")->Timer();
  EXPECT_EQ(TraceLines().last(), "RefreshTimer routine successful");
  EXPECT_TRUE(TraceLines().contains(" Re-read of camera settings successful"));
  EXPECT_FALSE(CameraOf(form)->Active());  // the re-read makes it inactive
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Refresh, TheFocusGoesBackToTheSliderTheUserWasOn) {
  TFormMain& form = StartWith("[" + Camera("Lab", kRows) + "]", {"varnholt", "trace"});
  form.show();
  QApplication::setActiveWindow(&form);
  varnholt::TTrackBar* brightness = Row("Brightness").TrackBar;
  brightness->setFocus();
  ASSERT_EQ(form.focusWidget(), brightness);

  emit Part<TTimer>(form, "RefreshTimer")->Timer();
  EXPECT_EQ(form.LastFocussedControl(), brightness);
  EXPECT_TRUE(TraceLines().contains("Aktives Control: TTrackBar und auch TrackBarBrightness"));
  // Wherever the rebuild or anything after it leaves the focus, it comes
  // back once the window's thread serves the request.
  Row("Contrast").TrackBar->setFocus();
  ASSERT_TRUE(WaitUntil([&] { return form.focusWidget() == brightness; }, 20000));
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Refresh, WithoutAnyFocusNoControlIsFocusedAfterATick) {
  TFormMain& form = StartWith("[" + Camera("Lab", kRows) + "]", {"varnholt", "trace"});
  ASSERT_EQ(form.focusWidget(), nullptr);
  emit Part<TTimer>(form, "RefreshTimer")->Timer();
  QTest::qWait(100);
  EXPECT_EQ(form.LastFocussedControl(), nullptr);
  EXPECT_EQ(form.focusWidget(), nullptr);
  EXPECT_FALSE(TraceLines().join('\n').contains("Aktives Control"));
}

}  // namespace
}  // namespace varnholt::test
