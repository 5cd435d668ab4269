#pragma once

// A main window over virtual cameras together with the camera test window,
// on a test clock: the window's timers (refresh, repaint, glow) move only
// when the test advances the clock. Frames still stream in real time.

#include <QTest>
#include <memory>

#include "app/Forms.h"
#include "controls/Effects.h"
#include "controls/Image.h"
#include "controls/Shapes.h"
#include "controls/Timer.h"
#include "tests/app/CameraWindowFixture.h"
#include "tests/support/ManualClock.h"

namespace varnholt::test {

class LiveWindow : public CameraWindow {
 protected:
  LiveWindow() : livecam(std::make_unique<TLivecamForm>()) { LivecamForm = livecam.get(); }
  ~LiveWindow() override {
    // Focus requests a refresh handed over are served, so that their
    // worker threads end with the test.
    QTest::qWait(20);
    // The window first: its timers stop on the clock, its camera before
    // the test window that holds the paint box goes.
    form.reset();
    LivecamForm = nullptr;
  }

  // The first format of a camera for the camera test.
  static QByteArray Format(int width, int height, const QByteArray& compression,
                           long long frameTime) {
    return R"({"width": )" + QByteArray::number(width) + R"(, "height": )" +
           QByteArray::number(height) + R"(, "compression": ")" + compression +
           R"(", "frameTime": )" + QByteArray::number(frameTime) + "}";
  }
  // A camera with the given formats and fault members (",\"fail\": {...}").
  static QByteArray TestCamera(const QByteArray& name, const QByteArray& formats,
                               const QByteArray& more = "") {
    QByteArray camera = Camera(name, R"({"Brightness": {"min": 0, "max": 255, "value": 140}})",
                               "[" + formats + "]");
    camera.chop(1);
    return camera + more + "}";
  }

  void ClickIcon() { emit Part<TImage>(*form, "ButtonTestCam")->Click(); }
  QStringList TraceSince(int line) const { return TraceLines().mid(line); }

  ManualClock clock;
  std::unique_ptr<TLivecamForm> livecam;
};

}  // namespace varnholt::test
