// The camera test's frame handler runs on the camera's streaming thread and
// must never wait for the window's thread: deactivating the camera there
// waits for a running handler, so a waiting handler would hang both.

#include <gtest/gtest.h>

#include <QThread>

#include "tests/app/LiveWindowFixture.h"

namespace varnholt::test {
namespace {

using LivecamStreaming = LiveWindow;

TEST_F(LivecamStreaming, DeactivatingWhileFramesArriveNeverWaitsForTheHandler) {
  // Small frames at 200 a second through the sample grabber, traced, so
  // that the handler is as busy as it gets.
  TFormMain& form = StartWith(
      "[" +
          TestCamera("Lab", Format(64, 48, "YUY2", 50000), R"(, "fail": {"renderPreview": true})") +
          "]",
      {"varnholt", "trace"});
  for (int round = 0; round < 5; ++round) {
    emit Part<TImage>(form, "ButtonTestCam")->Click();
    ASSERT_EQ(CameraOf(form)->CaptureType(), ctGrabber) << round;
    ASSERT_TRUE(WaitUntil(
        [&] {
          return Part<QPlainTextEdit>(form, "Memo1")
              ->toPlainText()
              .contains("FCameraImageAvailable");
        },
        20000));
    Part<QPlainTextEdit>(form, "Memo1")->clear();
    // Our thread is busy meanwhile: handlers keep coming and must return
    // without it. Then the deactivation waits for the one running, if any.
    QThread::msleep(100);
    CameraOf(form)->SetActive(false);
    EXPECT_FALSE(CameraOf(form)->Active());
  }
  // The repaints handed over meanwhile (all queued: the deactivation waited
  // for the last handler) find the camera inactive: no error.
  QCoreApplication::processEvents();
  EXPECT_TRUE(errors.isEmpty());
}

TEST_F(LivecamStreaming, TheWindowGoingWhileFramesArriveStopsTheHandlerFirst) {
  StartWith(
      "[" +
          TestCamera("Lab", Format(64, 48, "YUY2", 50000), R"(, "fail": {"renderPreview": true})") +
          "]",
      {"varnholt", "trace"});
  emit Part<TImage>(*form, "ButtonTestCam")->Click();
  ASSERT_TRUE(WaitUntil(
      [&] {
        return Part<QPlainTextEdit>(*form, "Memo1")
            ->toPlainText()
            .contains("FCameraImageAvailable");
      },
      20000));
  form.reset();  // with the camera streaming into it
  QCoreApplication::processEvents();
  EXPECT_TRUE(errors.isEmpty());
}

}  // namespace
}  // namespace varnholt::test
