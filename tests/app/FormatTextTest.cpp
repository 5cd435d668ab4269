// The format list's entry texts.

#include <gtest/gtest.h>

#include "app/FormatText.h"

namespace {

TEST(FormatText, WidthHeightRateAndDepth) {
  TFCameraFormat format;
  format.Width = 640;
  format.Height = 480;
  format.BitsPerPixel = 24;
  format.AvgTimePerFrame = 333333;
  EXPECT_EQ(FormatText(format), "640x480 30Hz 24bpp");
  format.AvgTimePerFrame = 333334;  // the rate truncates
  EXPECT_EQ(FormatText(format), "640x480 29Hz 24bpp");
  format.AvgTimePerFrame = 0;  // no frame time: no rate
  EXPECT_EQ(FormatText(format), "640x480 24bpp");
  format.AvgTimePerFrame = 20000001;  // under one frame a second
  EXPECT_EQ(FormatText(format), "640x480 0Hz 24bpp");
}

}  // namespace
