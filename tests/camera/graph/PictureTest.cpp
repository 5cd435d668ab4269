// The streamed test picture shows the camera's current video-processing
// values, including changes made by another process.

#include "tests/camera/graph/GraphTestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;

constexpr std::int32_t kBrightness = 0;
constexpr std::int32_t kContrast = 1;
constexpr std::int32_t kColorEnable = 6;

class PictureTest : public GraphTest {
 protected:
  void SetUp() override {
    GraphTest::SetUp();
    session_ = Open(kDesk);
    ASSERT_TRUE(Succeeded(session_.BuildGrabber(*platform_, counter_)));
    ASSERT_EQ(session_.control->Run(), hr::Ok);
    ASSERT_TRUE(counter_->WaitBeyond(0));
  }
  void TearDown() override { session_.Release(); }

  // The video-processing family as another process sees the camera.
  std::shared_ptr<IAMVideoProcAmp> OtherProcess() {
    other_ = VirtualPlatform::FromJson(kGraphCameras, StateDir());
    return Query<IAMVideoProcAmp>(BindCamera(*other_, kDesk));
  }

  const std::shared_ptr<FrameCounter> counter_ = std::make_shared<FrameCounter>();
  CaptureSession session_;
  std::shared_ptr<VirtualPlatform> other_;
};

TEST_F(PictureTest, ThePictureMoves) {
  const auto first = counter_->LastFrame();
  EXPECT_TRUE(WaitForFrame(*counter_, [&](const auto& frame) { return frame != first; }));
}

TEST_F(PictureTest, RaisingBrightnessElsewhereRaisesTheMeanLuma) {
  const double before = MeanLuma(counter_->LastFrame());
  ASSERT_EQ(OtherProcess()->Set(kBrightness, 200, kPropertyFlagsManual), hr::Ok);
  double after = 0;
  EXPECT_TRUE(WaitForFrame(*counter_,
                           [&](const auto& frame) {
                             after = MeanLuma(frame);
                             return after > before + 30;
                           }))
      << "before " << before << ", last " << after;
}

TEST_F(PictureTest, NoContrastLeavesAnEvenGrey) {
  const auto procAmp = Query<IAMVideoProcAmp>(session_.capture);
  ASSERT_EQ(procAmp->Set(kContrast, 0, kPropertyFlagsManual), hr::Ok);
  EXPECT_TRUE(WaitForFrame(*counter_, [](const auto& frame) {
    for (std::size_t i = 0; i < frame.size(); i += 2)
      if (frame[i] != 128)
        return false;
    return true;
  }));
}

TEST_F(PictureTest, ColourOffGivesNeutralChroma) {
  EXPECT_FALSE(ChromaIsNeutral(counter_->LastFrame()));
  const auto procAmp = Query<IAMVideoProcAmp>(session_.capture);
  ASSERT_EQ(procAmp->Set(kColorEnable, 0, kPropertyFlagsManual), hr::Ok);
  EXPECT_TRUE(WaitForFrame(*counter_, ChromaIsNeutral));
}

}  // namespace
}  // namespace varnholt::test
