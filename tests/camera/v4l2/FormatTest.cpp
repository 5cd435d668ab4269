// A V4L2 camera's formats as the component reads and writes them: the list
// from the driver's formats, sizes and intervals, the format in force, and
// selecting one.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <cstring>

#include "camera/CameraErrors.h"
#include "camera/platform/graph/GraphErrors.h"
#include "camera/platform/v4l2/V4l2Errors.h"
#include "tests/camera/v4l2/V4l2TestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;

std::string Text(const TFFourCC& code) {
  return std::string(reinterpret_cast<const char*>(code.Bytes), 4);
}

struct ExpectedFormat {
  const char* compression;
  int width, height;
  std::int64_t frameTime;
};

using V4l2FormatTest = V4l2CameraTest;

TEST_F(V4l2FormatTest, FormatsSizesAndIntervalsInTheDriversOrderWithoutUncarriedFormats) {
  const TFCameraFormats formats = camera_->SupportedFormats();
  // NV12 is listed by the driver but neither renderer nor still image takes it.
  const ExpectedFormat expected[] = {{"YUY2", 640, 480, k30Fps},  {"YUY2", 640, 480, k15Fps},
                                     {"YUY2", 320, 240, k30Fps},  {"YUY2", 160, 120, k30Fps},
                                     {"MJPG", 1280, 720, k30Fps}, {"MJPG", 640, 480, k30Fps}};
  ASSERT_EQ(formats.size(), std::size(expected));
  for (std::size_t i = 0; i < formats.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Text(formats[i].Compression), expected[i].compression);
    EXPECT_EQ(formats[i].Width, expected[i].width);
    EXPECT_EQ(formats[i].Height, expected[i].height);
    EXPECT_EQ(formats[i].AvgTimePerFrame, expected[i].frameTime);
    // Different depths, so that either compression can be selected.
    EXPECT_EQ(formats[i].BitsPerPixel, i < 4 ? 16 : 24);
  }
  EXPECT_TRUE(formats[0].FixedSizeSamples);
  EXPECT_EQ(formats[0].SampleSize, 640 * 480 * 2);
  EXPECT_FALSE(formats[4].FixedSizeSamples);  // JPEG frames vary in size
}

TEST_F(V4l2FormatTest, RangesOfSizesAndIntervalsBecomeASmallSetOfCommonOnes) {
  FakeFormat any{V4L2_PIX_FMT_YUYV, "YUYV 4:2:2", {}, true, {}, {}, {}, {}, {}};
  any.minSize = {160, 120, {}};
  any.maxSize = {1280, 960, {}};
  any.stepSize = {16, 8, {}};
  any.fastest = {1, 30};
  any.slowest = {1, 5};
  nodes_->cameras["/dev/video0"] =
      std::make_shared<FakeUvcCamera>(FakeUvcCamera::FullWebcam(), std::vector<FakeFormat>{any});

  const TFCameraFormats formats = camera_->SupportedFormats();
  // Common sizes on the steps (1920x1080 lies outside), then the largest;
  // each at the fastest rate and the common slower ones.
  const std::pair<int, int> sizes[] = {{160, 120}, {320, 240},  {640, 480},
                                       {800, 600}, {1280, 720}, {1280, 960}};
  const std::int64_t times[] = {k30Fps, 400000, k15Fps, 1000000, 2000000};
  ASSERT_EQ(formats.size(), std::size(sizes) * std::size(times));
  for (std::size_t s = 0; s < std::size(sizes); ++s)
    for (std::size_t t = 0; t < std::size(times); ++t) {
      const TFCameraFormat& f = formats[s * std::size(times) + t];
      EXPECT_EQ(std::make_pair(f.Width, f.Height), sizes[s]);
      EXPECT_EQ(f.AvgTimePerFrame, times[t]);
    }
}

TEST_F(V4l2FormatTest, AFormatWithoutSizesIsLeftOutAndTheOthersStay) {
  auto formats = FakeUvcCamera::StandardFormats();
  formats[1].sizes.clear();  // MJPEG lists no size
  nodes_->cameras["/dev/video0"] =
      std::make_shared<FakeUvcCamera>(FakeUvcCamera::FullWebcam(), formats);
  const TFCameraFormats listed = camera_->SupportedFormats();
  ASSERT_EQ(listed.size(), 4u);
  for (const auto& f : listed)
    EXPECT_EQ(Text(f.Compression), "YUY2");
}

TEST_F(V4l2FormatTest, ADriverWithoutIntervalsOffersEachSizeOnce) {
  fake_->frameIntervals = false;
  const TFCameraFormats formats = camera_->SupportedFormats();
  ASSERT_EQ(formats.size(), 5u);  // 3 YUY2 sizes, 2 MJPG sizes
  for (const auto& f : formats)
    EXPECT_EQ(f.AvgTimePerFrame, k30Fps);
  // Its format reads with the same frame time, so the list finds it.
  EXPECT_EQ(camera_->Format().AvgTimePerFrame, k30Fps);
  camera_->SetFormat(formats[2]);
  EXPECT_EQ(fake_->Format().width, 160u);
}

TEST_F(V4l2FormatTest, TheFormatInForceIsTheDriversAndSelectingOneSetsSizeAndRate) {
  TFCameraFormat current = camera_->Format();
  EXPECT_EQ(Text(current.Compression), "YUY2");
  EXPECT_EQ(current.Width, 640);
  EXPECT_EQ(current.AvgTimePerFrame, k30Fps);

  const TFCameraFormats formats = camera_->SupportedFormats();
  camera_->SetFormat(*FindFormat(formats, "YUY2", 640, 480, k15Fps));
  EXPECT_EQ(fake_->Format().interval.denominator, 15u);
  EXPECT_EQ(camera_->Format().AvgTimePerFrame, k15Fps);

  camera_->SetFormat(*FindFormat(formats, "MJPG", 1280, 720, k30Fps));
  EXPECT_EQ(fake_->Format().pixelFormat, static_cast<std::uint32_t>(V4L2_PIX_FMT_MJPEG));
  camera_->SetFormat(*FindFormat(formats, "MJPG", 640, 480, k30Fps));  // YUY2 has this size too
  EXPECT_EQ(fake_->Format().pixelFormat, static_cast<std::uint32_t>(V4L2_PIX_FMT_MJPEG));
  camera_->SetFormat(*FindFormat(formats, "MJPG", 1280, 720, k30Fps));
  current = camera_->Format();
  EXPECT_EQ(Text(current.Compression), "MJPG");
  EXPECT_EQ(current.Height, 720);

  TFCameraFormat absent = current;
  absent.Width = 1000;
  try {
    camera_->SetFormat(absent);
    FAIL() << "an absent format was accepted";
  } catch (const EFCameraError& e) {
    EXPECT_EQ(e.Message(), "Format not found");
  }
}

TEST_F(V4l2FormatTest, AFormatAnotherProgramLeftThatWeCannotCarryReadsAsTheFirstOffered) {
  fake_->SetCurrent(V4L2_PIX_FMT_NV12, 640, 480);
  const TFCameraFormat current = camera_->Format();
  EXPECT_EQ(Text(current.Compression), "YUY2");
  EXPECT_EQ(current.Width, 640);
  EXPECT_EQ(current.AvgTimePerFrame, k30Fps);
}

TEST_F(V4l2FormatTest, SelectingAFormatWhileAnotherProgramHoldsTheCameraSaysSo) {
  const TFCameraFormats formats = camera_->SupportedFormats();
  fake_->heldElsewhere = true;
  try {
    camera_->SetFormat(formats[2]);
    FAIL() << "the driver's refusal was not reported";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), hr::Busy);
    EXPECT_NE(e.Message().find("in use by another program"), std::string::npos) << e.Message();
  }
  EXPECT_EQ(fake_->Format().width, 640u);
}

TEST_F(V4l2FormatTest, AFormatDeliveredOnlyAsFieldsIsRefusedWithAClearText) {
  fake_->interlacedOnly = {V4L2_PIX_FMT_MJPEG};
  const TFCameraFormats formats = camera_->SupportedFormats();
  try {
    camera_->SetFormat(*FindFormat(formats, "MJPG", 1280, 720, k30Fps));
    FAIL() << "an interlaced format was accepted";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), v4l2::hr_v4l2::InterlacedFormat);
    EXPECT_NE(e.Message().find("interlaced"), std::string::npos) << e.Message();
  }
  camera_->SetFormat(*FindFormat(formats, "YUY2", 320, 240, k30Fps));
  EXPECT_EQ(fake_->requestedField, static_cast<std::uint32_t>(V4L2_FIELD_NONE));
  EXPECT_EQ(camera_->Format().Width, 320);
}

TEST_F(V4l2FormatTest, AnUnpluggedCameraReportsItWhenItsFormatIsRead) {
  camera_->SupportedFormats();  // binds the filter
  fake_->Unplug();
  try {
    camera_->Format();
    FAIL() << "a lost camera read a format";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), hr::DeviceNotConnected);
  }
}

}  // namespace
}  // namespace varnholt::test
