// Formats and streaming: the capture pin's stream configuration lists video
// caps and takes one of them, and a graph of camera, sample grabber and null
// renderer runs, delivers frames of the size set and stops.

#include "tests/contract/ContractSupport.h"

namespace varnholt::contract {
namespace {

using namespace platform;

const Guid kYuy2 = FourCCSubtype(kFourCCYUY2);

// Sets the rig's other YUY2 size on the camera's capture pin.
void SelectOtherSize(IBaseFilter& filter, const KnownCamera& camera) {
  const auto config = Query<IAMStreamConfig>(CapturePin(filter));
  ASSERT_NE(config, nullptr);
  const auto caps = FindCaps(*config, kYuy2, {camera.otherWidth, camera.otherHeight});
  ASSERT_NE(caps, nullptr) << "no YUY2 " << camera.otherWidth << "x" << camera.otherHeight;
  ASSERT_EQ(config->SetFormat(*caps), hr::Ok);
}

TEST_F(Contract, StreamConfigListsVideoCapsAndTakesAFormat) {
  const auto filter = BindKnownCamera(Platform(), Camera());
  ASSERT_NE(filter, nullptr);
  const auto config = Query<IAMStreamConfig>(CapturePin(*filter));
  ASSERT_NE(config, nullptr);
  std::int32_t count = 0;
  ASSERT_EQ(config->GetNumberOfCapabilities(count), hr::Ok);
  ASSERT_GT(count, 0);
  for (std::int32_t i = 0; i < count; ++i) {
    std::unique_ptr<AmMediaType> type;
    ASSERT_EQ(config->GetStreamCaps(i, type), hr::Ok) << i;
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->majortype, guids::MediaTypeVideo) << i;
    const auto size = SizeOf(*type);
    ASSERT_TRUE(size) << "caps " << i << " without a video header";
    EXPECT_GT(size->width, 0);
    EXPECT_GT(size->height, 0);
  }
  std::unique_ptr<AmMediaType> beyond;
  EXPECT_NE(config->GetStreamCaps(count, beyond), hr::Ok);

  std::unique_ptr<AmMediaType> current;
  ASSERT_EQ(config->GetFormat(current), hr::Ok);
  const FrameSize other{Camera().otherWidth, Camera().otherHeight};
  ASSERT_NE(SizeOf(*current), other) << "the rig's other size is the one it starts with";
  const auto caps = FindCaps(*config, kYuy2, other);
  ASSERT_NE(caps, nullptr) << "no YUY2 " << other.width << "x" << other.height;
  ASSERT_EQ(config->SetFormat(*caps), hr::Ok);
  ASSERT_EQ(config->GetFormat(current), hr::Ok);
  EXPECT_EQ(current->subtype, kYuy2);
  EXPECT_EQ(SizeOf(*current), other);
}

TEST_F(Contract, GrabbingGraphDeliversFramesOfTheSetSizeAndStops) {
  const auto camera = BindKnownCamera(Platform(), Camera());
  ASSERT_NE(camera, nullptr);
  ASSERT_NO_FATAL_FAILURE(SelectOtherSize(*camera, Camera()));
  CaptureGraph capture;
  ASSERT_TRUE(Succeeded(capture.Build(Platform(), camera)));
  AmMediaType connected;
  ASSERT_EQ(capture.grabber->GetConnectedMediaType(connected), hr::Ok);
  EXPECT_EQ(connected.subtype, kYuy2);
  const FrameSize other{Camera().otherWidth, Camera().otherHeight};
  EXPECT_EQ(SizeOf(connected), other);
  EXPECT_EQ(capture.counter->Frames(), 0) << "frames before Run";

  ASSERT_TRUE(Succeeded(capture.control->Run()));
  std::int32_t state = kStateStopped;
  EXPECT_EQ(capture.control->GetState(5000, state), hr::Ok);
  EXPECT_EQ(state, kStateRunning);
  ASSERT_TRUE(capture.counter->WaitFor(3)) << capture.counter->Frames() << " frames";
  EXPECT_EQ(capture.counter->LastBytes(),
            static_cast<std::size_t>(other.width) * static_cast<std::size_t>(other.height) * 2);

  ASSERT_EQ(capture.control->Stop(), hr::Ok);
  EXPECT_EQ(capture.control->GetState(5000, state), hr::Ok);
  EXPECT_EQ(state, kStateStopped);
  // Stopped means the streaming thread has let go of the grabber.
  const int atStop = capture.counter->Frames();
  EXPECT_FALSE(capture.counter->WaitFor(atStop + 1, std::chrono::milliseconds(300)))
      << "a frame after Stop";
}

}  // namespace
}  // namespace varnholt::contract
