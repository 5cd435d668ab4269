// The camera test's frame handler runs on the camera's streaming thread and
// must never wait for the window's thread: deactivating the camera there
// waits for a running handler, so a waiting handler would hang both. And
// frames the window has no time for are dropped there, never queued.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QScreen>
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

// Counts the events of one type an object receives.
class EventCount : public QObject {
 public:
  explicit EventCount(QEvent::Type type) : type_(type) {}
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    count += event->type() == type_;
    return false;
  }

 private:
  QEvent::Type type_;
};

// Whether two pictures agree everywhere but in `covered`.
bool SameOutside(const QImage& a, const QImage& b, const QRect& covered) {
  const QImage x = a.convertToFormat(QImage::Format_RGB32);
  const QImage y = b.convertToFormat(QImage::Format_RGB32);
  if (x.size() != y.size())
    return false;
  for (int row = 0; row < x.height(); ++row)
    for (int col = 0; col < x.width(); ++col)
      if (!covered.contains(col, row) && x.pixel(col, row) != y.pixel(col, row))
        return false;
  return true;
}

TEST_F(LivecamStreaming, ABusyWindowDrawsOnlyTheNewestFrameOnceItIsFreeAgain) {
  TFormMain& form = StartWith("[" + TestCamera("Lab", Format(160, 120, "YUY2", 100000)) + "]");
  ClickIcon();
  ASSERT_TRUE(livecam->isVisible());
  ASSERT_TRUE(CameraOf(form)->PreparesPictures());
  EventCount paints(QEvent::Paint);
  PaintBoxOf(form)->installEventFilter(&paints);
  EventCount handedOver(QEvent::MetaCall);  // what the streaming thread queues for us
  form.installEventFilter(&handedOver);
  // A few frames shown: the window holds a picture of its own by now.
  ASSERT_TRUE(WaitUntil([&] { return paints.count >= 3; }));

  // Our thread serves no events while at least twenty frames come (the
  // current picture tells them apart); then the camera pauses.
  QImage previous, newest = CameraOf(form)->CurrentImageToBitmap();
  int frames = 0;
  for (const QDeadlineTimer deadline(20000); frames < 20 && !deadline.hasExpired();) {
    QThread::msleep(2);
    if (QImage picture = CameraOf(form)->CurrentImageToBitmap(); picture != newest) {
      previous = std::exchange(newest, picture);
      ++frames;
    }
  }
  ASSERT_EQ(frames, 20);
  CameraOf(form)->Pause();
  newest = CameraOf(form)->CurrentImageToBitmap();
  const int painted = paints.count;
  handedOver.count = 0;

  // Free again: one repaint shows the newest frame, and nothing else was
  // waiting for us.
  ASSERT_TRUE(WaitUntil([&] { return paints.count > painted; }));
  QCoreApplication::processEvents();
  EXPECT_EQ(paints.count, painted + 1);
  EXPECT_LE(handedOver.count, 1);
  // As the screen has it; the Record button covers part of the picture.
  const QImage screen = livecam->screen()->grabWindow(livecam->winId()).toImage();
  const QRect button = livecam->RecordButton->geometry();
  ASSERT_FALSE(SameOutside(previous, newest, button)) << "frames that differ only under the button";
  EXPECT_TRUE(SameOutside(screen.copy(0, 0, 160, 120), newest, button));
  EXPECT_TRUE(errors.isEmpty());
}

}  // namespace
}  // namespace varnholt::test
