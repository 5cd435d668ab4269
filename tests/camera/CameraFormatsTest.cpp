// The capture pin's formats: which media types count, the one in force, and
// selecting one.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/camera/CameraTestSupport.h"

namespace varnholt::test {
namespace {

using ::testing::ElementsAre;

std::string FourCC(const TFFourCC& code) {
  return std::string(reinterpret_cast<const char*>(code.Bytes), 4);
}

class CameraFormats : public ::testing::Test, public FakeCameraRig {
 protected:
  void SetUp() override {
    device = platform->AddCamera("Cam", "/c");
    camera->SetDeviceName("Cam");
  }
  std::shared_ptr<FakeDevice> device;
};

TEST_F(CameraFormats, OnlyFullVideoInfoTypesAreListedInThePinsOrder) {
  device->mediaTypes = {
      VideoType(640, 480, 333333, 16, kFourCCYUY2),
      VideoType(1920, 1080, 333333, 24, kFourCCMJPG, guids::FormatVideoInfo2, 112),
      VideoType(320, 240, 0, 16, kFourCCYUY2, guids::FormatVideoInfo, 87),  // too short
      VideoType(640, 480, 333333, 16, kFourCCMJPG),
      VideoType(1280, 720, 666666, 24, kFourCCMJPG, guids::FormatVideoInfo, 120),
  };
  const TFCameraFormats formats = camera->SupportedFormats();
  ASSERT_EQ(formats.size(), 3u);
  EXPECT_EQ(FourCC(formats[0].Compression), "YUY2");
  EXPECT_EQ(FourCC(formats[1].Compression), "MJPG");
  EXPECT_EQ(formats[2].Width, 1280);
  EXPECT_EQ(formats[2].AvgTimePerFrame, 666666);

  const TFCameraFormat& f = formats[0];
  EXPECT_EQ(f.Width, 640);
  EXPECT_EQ(f.Height, 480);
  EXPECT_EQ(f.AvgTimePerFrame, 333333);
  EXPECT_EQ(f.BitsPerPixel, 16);
  EXPECT_TRUE(f.FixedSizeSamples);
  EXPECT_FALSE(f.TemporalCompression);
  EXPECT_EQ(f.SampleSize, 640 * 480 * 2);
  EXPECT_EQ(f.Source, (TFRect{0, 0, 640, 480}));
  EXPECT_EQ(f.Target, (TFRect{0, 0, 640, 480}));
  EXPECT_EQ(f.BitRate, 640 * 480 * 16 * 30);
}

TEST_F(CameraFormats, ANegativeHeightKeepsItsSign) {
  device->mediaTypes = {VideoType(320, -240, 0, 32, 0)};
  EXPECT_EQ(camera->SupportedFormats().at(0).Height, -240);
}

TEST_F(CameraFormats, APinWithOnlyVideoInfo2TypesHasNoFormats) {
  device->mediaTypes = {VideoType(640, 480, 333333, 16, kFourCCYUY2, guids::FormatVideoInfo2, 112)};
  EXPECT_TRUE(camera->SupportedFormats().empty());
  TFCameraFormat wanted;
  wanted.Width = 640;
  wanted.Height = 480;
  wanted.AvgTimePerFrame = 333333;
  wanted.BitsPerPixel = 16;
  EXPECT_EQ(CameraErrorOf([&] { camera->SetFormat(wanted); }), "Format not found");
}

TEST_F(CameraFormats, SelectingTakesTheFirstTypeWithTheSameSizeTimeAndDepth) {
  device->mediaTypes = {VideoType(1280, 720, 333333, 16, kFourCCYUY2),
                        VideoType(640, 480, 333333, 16, kFourCCYUY2),
                        VideoType(640, 480, 333333, 16, kFourCCMJPG)};
  TFCameraFormat mjpg = camera->SupportedFormats().at(2);
  camera->SetFormat(mjpg);  // differs from the YUY2 one only in compression
  EXPECT_THAT(platform->LogOf("setformat"), ElementsAre("setformat 640x480 333333 16 YUY2"));
  EXPECT_EQ(FourCC(camera->Format().Compression), "YUY2");

  mjpg.AvgTimePerFrame = 333334;
  EXPECT_EQ(CameraErrorOf([&] { camera->SetFormat(mjpg); }), "Format not found");
}

TEST_F(CameraFormats, TheFormatInForceMustBeAFullVideoInfoType) {
  device->currentFormat = VideoType(1280, 720, 400000, 24, kFourCCMJPG);
  EXPECT_EQ(camera->Format().Height, 720);
  device->currentFormat = VideoType(640, 480, 0, 16, 0, guids::FormatVideoInfo2, 112);
  EXPECT_EQ(CameraErrorOf([&] { camera->Format(); }), "Incorrect format type");
  device->currentFormat = VideoType(640, 480, 0, 16, 0, guids::FormatVideoInfo, 60);
  EXPECT_EQ(CameraErrorOf([&] { camera->Format(); }), "Incorrect format size");
  device->formatResult = hr::Fail;
  EXPECT_EQ(OleErrorOf([&] { camera->Format(); }).code, hr::Fail);
}

TEST_F(CameraFormats, MissingPinsAndEnumeratorsAreNamed) {
  device->pins = {FakePin{guids::PinCategoryStill}};
  EXPECT_EQ(CameraErrorOf([&] { camera->SupportedFormats(); }),
            "Cannot retrieve 'Capture IPin' interface");
  EXPECT_EQ(CameraErrorOf([&] { camera->Format(); }),
            "Cannot retrieve 'IAMStreamConfig' interface");
  EXPECT_EQ(CameraErrorOf([&] { camera->SetFormat({}); }),
            "Cannot retrieve 'Capture IPin' interface");

  device->pins = {FakePin{guids::PinCategoryCapture}};
  camera->SetDeviceName("");
  camera->SetDeviceName("Cam");
  device->enumWithoutEnumerator = true;
  EXPECT_EQ(CameraErrorOf([&] { camera->SupportedFormats(); }),
            "Cannot retrieve 'IEnumMediaTypes' interface");
  device->enumResult = hr::OutOfMemory;
  EXPECT_EQ(OleErrorOf([&] { camera->SupportedFormats(); }).code, hr::OutOfMemory);

  camera->SetDeviceName("");
  EXPECT_EQ(CameraErrorOf([&] { camera->SupportedFormats(); }), "Camera device not selected");
  EXPECT_EQ(CameraErrorOf([&] { camera->Format(); }), "Camera device not selected");
}

}  // namespace
}  // namespace varnholt::test
