// The moving test picture through the camera's settings: every pixel, the
// moving box and the frame number included, follows brightness and the
// colour switch, and a change of settings reaches the very next frame.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "camera/platform/virtual/TestPicture.h"

namespace varnholt::platform::virtualcam {
namespace {

TEST(TestPictureTest, EveryPixelFollowsTheSettingsFromTheNextFrameOn) {
  // 7x5 has an odd pixel count: its last pixel has no partner for its chroma,
  // and on frame 2 the box covers it.
  for (const auto& [width, height] : {std::pair{160, 120}, std::pair{7, 5}}) {
    SCOPED_TRACE(testing::Message() << width << "x" << height);
    TestPicture picture(width, height);
    std::vector<std::uint8_t> neutral, brighter, grey, again;
    picture.Render(2, {}, true, neutral);
    picture.Render(2, {.brightness = 40}, true, brighter);
    picture.Render(2, {.colour = false}, true, grey);
    picture.Render(2, {}, true, again);
    ASSERT_EQ(neutral.size(), std::size_t(width) * height * 2);
    ASSERT_EQ(brighter.size(), neutral.size());
    ASSERT_EQ(grey.size(), neutral.size());
    int mismatches = 0;
    for (std::size_t i = 0; i < neutral.size(); ++i) {
      const bool luma = i % 2 == 0;
      mismatches += brighter[i] != (luma ? std::min(neutral[i] + 40, 255) : neutral[i]);
      mismatches += grey[i] != (luma ? neutral[i] : 128);
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(again, neutral) << "the neutral settings again";
  }
  // The moving parts were among the pixels checked: they move.
  TestPicture picture(160, 120);
  std::vector<std::uint8_t> first, later;
  picture.Render(2, {.brightness = 40}, false, first);
  picture.Render(3, {.brightness = 40}, false, later);
  EXPECT_NE(later, first);
}

}  // namespace
}  // namespace varnholt::platform::virtualcam
