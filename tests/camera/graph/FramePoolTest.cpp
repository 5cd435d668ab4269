// Frame memory used again: a frame's bytes come back for a later frame only
// once its last holder lets go, and the pool keeps no more than it was told.

#include <gtest/gtest.h>

#include "camera/platform/graph/FrameSample.h"

namespace varnholt::platform::graph {
namespace {

std::vector<std::uint8_t> Frame(std::uint8_t value) {
  return std::vector<std::uint8_t>(4096, value);
}

TEST(FramePoolTest, BytesComeBackOnlyOnceTheLastHolderLetsGo) {
  const auto pool = FramePool::Create(2);
  EXPECT_EQ(pool->Take().capacity(), 0u) << "nothing has come back yet";

  auto sample = pool->Sample(Frame(7));
  std::shared_ptr<IMediaSample> held = sample;
  sample.reset();
  EXPECT_EQ(pool->Take().capacity(), 0u) << "a receiver still holds the frame";
  EXPECT_EQ(held->Data()[4095], 7);
  held.reset();
  const std::vector<std::uint8_t> again = pool->Take();
  EXPECT_TRUE(again.empty());
  EXPECT_GE(again.capacity(), 4096u);

  // Three frames let go: two are kept.
  std::vector<std::shared_ptr<FrameSample>> frames;
  for (std::uint8_t i = 0; i < 3; ++i)
    frames.push_back(pool->Sample(Frame(i)));
  frames.clear();
  EXPECT_GE(pool->Take().capacity(), 4096u);
  EXPECT_GE(pool->Take().capacity(), 4096u);
  EXPECT_EQ(pool->Take().capacity(), 0u);

  // A frame may outlive its stream's pool.
  auto orphan = FramePool::Create()->Sample(Frame(9));
  EXPECT_EQ(orphan->Data()[0], 9);
}

}  // namespace
}  // namespace varnholt::platform::graph
