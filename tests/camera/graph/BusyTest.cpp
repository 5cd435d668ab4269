// A camera that another graph or another program uses: the description's
// fault, a second graph in this process and varnholt-vcam hold.

#include "tests/camera/graph/GraphTestSupport.h"
#include "tests/camera/graph/SpawnedTool.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;

class BusyTest : public GraphTest {
 protected:
  // varnholt-vcam on the same cameras and state folder as this process.
  void StartVcam(SpawnedTool& tool, const std::vector<std::string>& args) {
    const QString cameras = StateDir() + "/cameras.json";
    ASSERT_TRUE(WriteFile(cameras, kGraphCameras));
    ASSERT_TRUE(tool.Start(VARNHOLT_VCAM_PATH, args,
                           {{"VARNHOLT_VIRTUAL_CAMERAS", cameras.toStdString()},
                            {"VARNHOLT_VIRTUAL_STATE", StateDir().toStdString()}}));
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
  SpawnedTool holder;
  StartVcam(holder, {"hold", "Desk"});
  ASSERT_EQ(holder.ReadLine(kFrameWait), "holding desk") << holder.Errors();

  CaptureSession s = Open(kDesk);
  EXPECT_EQ(s.BuildGrabber(*platform_), hr::Busy);

  holder.Kill();
  ASSERT_EQ(holder.Wait(kFrameWait), -1);
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
  SpawnedTool holder;
  StartVcam(holder, {"hold", "desk"});
  EXPECT_EQ(holder.Wait(kFrameWait), 2);
  EXPECT_NE(holder.Errors().find("in use"), std::string::npos);
}

}  // namespace
}  // namespace varnholt::test
