// The driver's property dialogs for the capture filter and its stream.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QWidget>

#include "tests/camera/CameraTestSupport.h"

namespace varnholt::test {
namespace {

using ::testing::ElementsAre;

class CameraDialogs : public ::testing::Test, public FakeCameraRig {
 protected:
  void SetUp() override {
    device = platform->AddCamera("HD Cam", "/c");
    camera->SetDeviceName("HD Cam");
  }
  std::shared_ptr<FakeDevice> device;
};

TEST_F(CameraDialogs, TheFiltersPagesOpenInAFrameCaptionedWithItsName) {
  device->pages = {guids::PageDeviceControls, guids::PageStreamFormat};
  camera->ShowPropertyDialog();
  EXPECT_THAT(platform->LogOf("frame"), ElementsAre("frame 0 0 0 'HD Cam' pages 2 filter 0"));
  EXPECT_FALSE(camera->Active());
}

TEST_F(CameraDialogs, AComponentOwnedByAWindowOpensTheFrameOverIt) {
  device->pages = {guids::PageDeviceControls, guids::PageStreamFormat};
  QWidget window;
  TFCamera owned(&window, platform);
  owned.SetDeviceName("HD Cam");
  owned.ShowPropertyDialog();
  const std::string owner = std::to_string(static_cast<platform::WindowHandle>(window.winId()));
  EXPECT_THAT(platform->LogOf("frame"),
              ElementsAre("frame " + owner + " 40 40 'HD Cam' pages 2 filter 0"));
}

TEST_F(CameraDialogs, TheStreamDialogShowsTheCaptureStreamsConfiguration) {
  camera->ShowStreamPropertyDialog();
  EXPECT_THAT(platform->LogOf("findinterface"), ElementsAre("findinterface capture video HD Cam"));
  EXPECT_THAT(platform->LogOf("frame"), ElementsAre("frame 0 0 0 'HD Cam' pages 1 streamconfig 0"));
  EXPECT_FALSE(camera->Active());  // the builder's graph does not make the component active
}

TEST_F(CameraDialogs, AnObjectWithoutPagesFailsAtTheQuery) {
  device->hasPages = false;
  const OleError error = OleErrorOf([&] { camera->ShowPropertyDialog(); });
  EXPECT_EQ(error.code, hr::NoInterface);
  EXPECT_EQ(error.message, "No such interface supported");
  EXPECT_TRUE(platform->LogOf("frame").empty());
}

TEST_F(CameraDialogs, FailuresOfTheFrameAndMissingPartsAreReported) {
  platform->frameResult = hr::NotImpl;
  EXPECT_EQ(OleErrorOf([&] { camera->ShowPropertyDialog(); }).code, hr::NotImpl);
  platform->hasGraph = false;
  EXPECT_EQ(CameraErrorOf([&] { camera->ShowStreamPropertyDialog(); }),
            "Cannot retrieve 'ICaptureGraphBuilder2' interface");
  camera->SetDeviceName("");
  EXPECT_EQ(CameraErrorOf([&] { camera->ShowPropertyDialog(); }), "Camera device not selected");
  EXPECT_EQ(CameraErrorOf([&] { camera->ShowStreamPropertyDialog(); }),
            "Camera device not selected");
}

}  // namespace
}  // namespace varnholt::test
