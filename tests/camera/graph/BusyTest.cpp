// A camera that another graph or another program uses: the description's
// fault, a second graph in this process and varnholt-vcam hold.

#include <QProcess>
#include <QProcessEnvironment>

#include "tests/camera/graph/GraphTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;

class BusyTest : public GraphTest {
 protected:
  // varnholt-vcam on the same cameras and state folder as this process.
  void StartVcam(QProcess& process, const QStringList& args) {
    const QString cameras = StateDir() + "/cameras.json";
    ASSERT_TRUE(WriteFile(cameras, kGraphCameras));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VARNHOLT_VIRTUAL_CAMERAS", cameras);
    env.insert("VARNHOLT_VIRTUAL_STATE", StateDir());
    process.setProcessEnvironment(env);
    process.start(VARNHOLT_VCAM_PATH, args);
    ASSERT_TRUE(process.waitForStarted(10000));
  }
};

TEST_F(BusyTest, ADescribedBusyCameraCannotStream) {
  CaptureSession grabbing = Open(kBusy);
  EXPECT_EQ(grabbing.BuildGrabber(*platform_), hr::Busy);
  CaptureSession automatic = Open(kBusy);
  EXPECT_EQ(automatic.BuildAuto(*platform_, nullptr), hr::Busy);
  EXPECT_EQ(ErrorMessage(*platform_, hr::Busy), "The requested resource is in use");
}

TEST_F(BusyTest, ASecondGraphOnTheSameCameraIsBusyUntilTheFirstGoes) {
  CaptureSession first = Open(kDesk);
  ASSERT_TRUE(Succeeded(first.BuildGrabber(*platform_)));
  CaptureSession second = Open(kDesk);
  EXPECT_EQ(second.BuildGrabber(*platform_), hr::Busy);

  first.Release();
  EXPECT_TRUE(Succeeded(second.builder->RenderStream(&guids::PinCategoryPreview,
                                                     &guids::MediaTypeVideo, second.capture,
                                                     second.grabberFilter, second.nullRenderer)));
}

TEST_F(BusyTest, AnotherProgramHoldingTheCameraMakesItBusy) {
  QProcess holder;
  StartVcam(holder, {"hold", "Desk"});
  ASSERT_TRUE(holder.waitForReadyRead(10000)) << holder.readAllStandardError().toStdString();
  EXPECT_EQ(holder.readLine().trimmed(), "holding desk");

  CaptureSession s = Open(kDesk);
  EXPECT_EQ(s.BuildGrabber(*platform_), hr::Busy);

  holder.kill();
  ASSERT_TRUE(holder.waitForFinished(10000));
  const auto counter = std::make_shared<FrameCounter>();
  ASSERT_EQ(s.grabber->SetCallback(counter, 0), hr::Ok);
  ASSERT_TRUE(Succeeded(s.builder->RenderStream(&guids::PinCategoryPreview, &guids::MediaTypeVideo,
                                                s.capture, s.grabberFilter, s.nullRenderer)));
  ASSERT_EQ(s.control->Run(), hr::Ok);
  EXPECT_TRUE(counter->WaitBeyond(0));
}

TEST_F(BusyTest, HoldFailsWhileThisProcessStreams) {
  CaptureSession s = Open(kDesk);
  ASSERT_TRUE(Succeeded(s.BuildGrabber(*platform_)));
  QProcess holder;
  StartVcam(holder, {"hold", "desk"});
  ASSERT_TRUE(holder.waitForFinished(10000));
  EXPECT_EQ(holder.exitCode(), 2);
  EXPECT_TRUE(holder.readAllStandardError().contains("in use"));
}

}  // namespace
}  // namespace varnholt::test
