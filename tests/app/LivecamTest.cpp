// The camera test: starting it from the icon and the format list, the test
// window and its repaint clock, the glows, stopping, and the cameras that
// cannot take part (held elsewhere, grabbing, too fast a frame time).

#include <gtest/gtest.h>

#include "tests/app/LiveWindowFixture.h"

namespace varnholt::test {
namespace {

using Livecam = LiveWindow;

const QByteArray kInUse = " used in another app. Change settings here, observe results there!";

// The test window and icon at rest: no test running.
void ExpectIdle(const TFormMain& form) {
  EXPECT_FALSE(CameraOf(form)->Active());
  EXPECT_FALSE(Part<TTimer>(form, "CameraTimer")->Running());
  EXPECT_EQ(Part<TTimer>(form, "CameraGlowTimer")->Interval(), 0);
  EXPECT_FALSE(Part<TGlowEffect>(form, "CameraIconGlow")->isEnabled());
  EXPECT_FALSE(Part<TInnerGlowEffect>(form, "CameraIconInnerGlow")->isEnabled());
  EXPECT_FALSE(Part<TImage>(form, "CameraOff")->isHidden());
}

TEST_F(Livecam, AVgaFormatAtThirtyFramesShowsItsPictureUnscaledAndRepaintsEvery33Ms) {
  TFormMain& form = StartWith("[" + TestCamera("Lab", Format(640, 480, "YUY2", 333333)) + "]",
                              {"varnholt", "trace"});
  ClickIcon();
  ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
  EXPECT_TRUE(livecam->isVisible());
  EXPECT_EQ(livecam->Tag, 1);
  EXPECT_EQ(livecam->geometry().size(), QSize(640, 480));
  EXPECT_EQ(PaintBoxOf(form)->parentWidget(), livecam->CameraPanel);
  EXPECT_EQ(PaintBoxOf(form)->size(), QSize(640, 480));
  EXPECT_EQ(livecam->windowTitle(), "Lab @ 640x480 30Hz 16bpp");
  EXPECT_EQ(Part<TTimer>(form, "CameraTimer")->Interval(), 33);
  EXPECT_TRUE(Part<TTimer>(form, "CameraTimer")->Running());
  EXPECT_TRUE(Part<TImage>(form, "CameraOff")->isHidden());
  EXPECT_EQ(CameraOf(form)->CaptureType(), ctVmr9);
  EXPECT_TRUE(TraceLines().contains("FCamera.Active := True"));
  EXPECT_TRUE(TraceLines().contains("FCamera.Run"));

  // Each repaint tick draws the camera's current picture at its own size.
  QImage picture;
  const auto framed = [&] {
    try {
      picture = CameraOf(form)->CurrentImageToBitmap();
    } catch (const std::exception&) {
      // no frame yet
    }
    return !picture.isNull();
  };
  ASSERT_TRUE(WaitUntil([&] { return framed(); }, 20000));
  const int before = TraceLines().size();
  clock.Advance(33);
  const QImage shown = PaintBoxOf(form)->grab().toImage();
  EXPECT_EQ(TraceSince(before), QStringList{"CameraTimerTimer"});  // and no paint error
  ASSERT_EQ(shown.size(), QSize(640, 480));
  // The colour bars at the top stand still while the frames go on.
  for (const QPoint at : {QPoint(10, 10), QPoint(330, 10), QPoint(630, 10)})
    EXPECT_EQ(shown.pixel(at), picture.pixel(at)) << at.x();

  // The two running glows take turns every 500 ms.
  EXPECT_EQ(Part<TTimer>(form, "CameraGlowTimer")->Interval(), 500);
  clock.Advance(500 - 33);
  EXPECT_TRUE(Part<TGlowEffect>(form, "CameraIconGlow")->isEnabled());
  EXPECT_FALSE(Part<TInnerGlowEffect>(form, "CameraIconInnerGlow")->isEnabled());
  clock.Advance(500);
  EXPECT_FALSE(Part<TGlowEffect>(form, "CameraIconGlow")->isEnabled());
  EXPECT_TRUE(Part<TInnerGlowEffect>(form, "CameraIconInnerGlow")->isEnabled());
}

TEST_F(Livecam, TheIconOrItsPictureHidesARunningTestAndTheNextFrameTickStopsTheCamera) {
  TFormMain& form = StartWith("[" + TestCamera("Lab", Format(640, 480, "YUY2", 400000)) + "]",
                              {"varnholt", "trace"});
  for (const auto& [click, trace] :
       {std::pair<varnholt::TImage*, QString>{Part<TImage>(form, "ButtonTestCam"), "Hide 3"},
        {Part<TImage>(form, "Image1"), "Hide 2"}}) {
    ClickIcon();
    ASSERT_TRUE(livecam->isVisible());
    clock.Advance(500);
    ASSERT_TRUE(Part<TGlowEffect>(form, "CameraIconGlow")->isEnabled() ||
                Part<TInnerGlowEffect>(form, "CameraIconInnerGlow")->isEnabled());

    emit click->Click();
    EXPECT_TRUE(livecam->isHidden());
    EXPECT_EQ(livecam->Tag, 0);
    EXPECT_EQ(TraceLines().last(), trace);
    EXPECT_TRUE(CameraOf(form)->Active());  // not at once: at the next tick
    clock.Advance(40);
    EXPECT_EQ(TraceLines().mid(TraceLines().size() - 2),
              QStringList({"CameraTimerTimer", "StopDevice"}));
    ExpectIdle(form);
  }
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Livecam, ClosingTheTestWindowHidesItAndStopsTheCameraAtTheNextTick) {
  TFormMain& form = StartWith("[" + TestCamera("Lab", Format(640, 480, "YUY2", 333333)) + "]");
  ClickIcon();
  ASSERT_EQ(livecam->Tag, 1);
  EXPECT_TRUE(livecam->QWidget::close());  // as the user closes it
  EXPECT_EQ(livecam->Tag, 0);
  clock.Advance(33);
  ExpectIdle(form);
  // Hidden, not gone: the next test shows it again.
  ClickIcon();
  EXPECT_TRUE(livecam->isVisible());
  EXPECT_EQ(livecam->Tag, 1);
}

TEST_F(Livecam, ADoubleClickOnTheFormatsStartsATestButDoesNothingWhileOneShows) {
  TFormMain& form = StartWith("[" +
                                  TestCamera("Lab", Format(640, 480, "YUY2", 333333) + "," +
                                                        Format(320, 240, "YUY2", 666666)) +
                                  "]",
                              {"varnholt", "trace"});
  Part<TListBox>(form, "ComboBoxFormat")->SetItemIndex(1);
  emit Part<TListBox>(form, "ComboBoxFormat")->DblClick();
  ASSERT_TRUE(livecam->isVisible());
  EXPECT_EQ(livecam->geometry().size(), QSize(320, 240));
  EXPECT_EQ(Part<TTimer>(form, "CameraTimer")->Interval(), 66);

  const int before = TraceLines().size();
  emit Part<TListBox>(form, "ComboBoxFormat")->DblClick();
  EXPECT_TRUE(livecam->isVisible());
  EXPECT_TRUE(CameraOf(form)->Active());
  EXPECT_EQ(CameraOf(form)->Format().Width, 320);
  EXPECT_EQ(TraceSince(before), QStringList());
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Livecam, WithoutASelectedFormatTheIconDoesNothing) {
  TFormMain& form = StartWith("[" + TestCamera("Lab", Format(640, 480, "YUY2", 333333)) + "]");
  AnswerNotices();
  Part<TListBox>(form, "ComboBoxFormat")->SetItemIndex(-1);
  ClickIcon();
  QCoreApplication::processEvents();  // whatever the click handed over
  EXPECT_TRUE(livecam->isHidden());
  EXPECT_TRUE(notices.isEmpty());
  EXPECT_TRUE(errors.isEmpty());
  EXPECT_NE(PaintBoxOf(form)->parentWidget(), livecam->CameraPanel);
  ExpectIdle(form);
}

TEST_F(Livecam, ACameraHeldByAnotherProgramGivesItsNoticeAndStaysOff) {
  TFormMain& form = StartWith("[" + TestCamera("Lab", Format(640, 480, "YUY2", 333333)) + "]");
  AnswerNotices();
  // Another graph on the same camera holds its stream, as a program would.
  TFCamera holder(nullptr, platform);
  holder.SetDeviceName("Lab");
  holder.SetCaptureType(ctGrabber);
  holder.SetActive(true);

  ClickIcon();
  EXPECT_EQ(notices, QStringList{"Lab" + kInUse});
  EXPECT_TRUE(livecam->isHidden());
  EXPECT_EQ(livecam->Tag, 0);
  ExpectIdle(form);
  EXPECT_TRUE(errors.isEmpty());

  // Free again, the camera starts.
  holder.SetActive(false);
  ClickIcon();
  EXPECT_TRUE(livecam->isVisible());
  EXPECT_EQ(notices.size(), 1);
}

TEST_F(Livecam, ACameraThatOnlyGrabsRunsWithoutWindowOrNoticeAndHandsItsFramesOver) {
  TFormMain& form = StartWith("[" +
                                  TestCamera("Lab", Format(320, 240, "YUY2", 333333),
                                             R"(, "fail": {"renderPreview": true})") +
                                  "]",
                              {"varnholt", "trace"});
  AnswerNotices();
  ClickIcon();
  EXPECT_EQ(CameraOf(form)->CaptureType(), ctGrabber);
  EXPECT_EQ(CameraOf(form)->State(), csRunning);
  EXPECT_TRUE(livecam->isHidden());
  EXPECT_FALSE(Part<TTimer>(form, "CameraTimer")->Running());
  EXPECT_FALSE(Part<TImage>(form, "CameraOff")->isHidden());
  EXPECT_EQ(Part<TTimer>(form, "CameraGlowTimer")->Interval(), 0);
  // Frames reach the window through its own thread: the trace line and the
  // window sized by the format each frame asks for.
  livecam->resize(100, 100);
  ASSERT_TRUE(WaitUntil([&] { return TraceLines().contains("FCameraImageAvailable"); }, 20000));
  ASSERT_TRUE(WaitUntil([&] { return livecam->frameGeometry().size() == QSize(320, 240); }, 20000));
  EXPECT_TRUE(notices.isEmpty());
  EXPECT_TRUE(errors.isEmpty());
  // The next camera selection ends it.
  form.ComboBoxCameraChange(Part<TListBox>(form, "ComboBoxCamera"));
  EXPECT_FALSE(CameraOf(form)->Active());
}

TEST_F(Livecam, AFrameTimeBelowAMillisecondShowsTheWindowButNeverRepaintsOrStops) {
  TFormMain& form = StartWith("[" + TestCamera("Lab", Format(160, 120, "YUY2", 9999)) + "]");
  ClickIcon();
  EXPECT_TRUE(livecam->isVisible());
  EXPECT_EQ(Part<TTimer>(form, "CameraTimer")->Interval(), 0);
  EXPECT_FALSE(Part<TTimer>(form, "CameraTimer")->Running());
  livecam->hide();
  clock.Advance(4000);                    // short of the refresh, which would end it
  EXPECT_TRUE(CameraOf(form)->Active());  // no tick comes to stop it
  // The next start makes it inactive first.
  ClickIcon();
  EXPECT_TRUE(livecam->isVisible());
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(Livecam, ACameraGoneBeforeTheStartReachesTheErrorHandlerAndNothingStarts) {
  TFormMain& form = StartWith("[" + TestCamera("Lab", Format(640, 480, "YUY2", 333333)) + "]");
  AnswerNotices();
  ASSERT_EQ(platform->SetConnected("lab", false), 0);
  ClickIcon();
  EXPECT_EQ(errors.size(), 1);
  EXPECT_TRUE(notices.isEmpty());
  EXPECT_TRUE(livecam->isHidden());
  EXPECT_EQ(PaintBoxOf(form)->parentWidget(), livecam->CameraPanel);
  ExpectIdle(form);
}

TEST_F(Livecam, ACameraGoneDuringATestEndsItWhenTheListLosesItWithoutAnErrorBox) {
  TFormMain& form = StartWith("[" + TestCamera("Lab", Format(640, 480, "YUY2", 333333)) + "]",
                              {"varnholt", "trace"});
  ClickIcon();
  ASSERT_TRUE(livecam->isVisible());
  ASSERT_EQ(platform->SetConnected("lab", false), 0);
  emit Part<TImage>(form, "Varnholtlogo")->Click();  // the list loses the camera
  ASSERT_EQ(CameraOf(form)->DeviceName(), "");
  EXPECT_TRUE(livecam->isHidden());
  EXPECT_EQ(Part<QLabel>(form, "MessageLabel")->text(), "Lab was disconnected");
  clock.Advance(100);
  ExpectIdle(form);
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(Livecam, TheMouseOverTheIconSwitchesItsHoverGlow) {
  TFormMain& form = StartWith("[" + TestCamera("Lab", Format(640, 480, "YUY2", 333333)) + "]");
  ASSERT_TRUE(Part<TGlowEffect>(form, "CameraCouldStartGlow")->isEnabled());
  emit Part<TImage>(form, "ButtonTestCam")->MouseLeave();
  EXPECT_FALSE(Part<TGlowEffect>(form, "CameraCouldStartGlow")->isEnabled());
  emit Part<TImage>(form, "ButtonTestCam")->MouseEnter();
  EXPECT_TRUE(Part<TGlowEffect>(form, "CameraCouldStartGlow")->isEnabled());
}

}  // namespace
}  // namespace varnholt::test
