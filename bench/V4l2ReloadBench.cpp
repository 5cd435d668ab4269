// What one reload of the seventeen rows costs on a V4L2 camera, in driver
// calls and time: the support test of every key and, for supported keys,
// value, range and automatic flag, as the window reads them, against a model
// of a UVC webcam. Prints ioctls per reload (and how many of them enumerate
// controls) beside the time, and the same for a single value read.

#include <benchmark/benchmark.h>

#include <linux/videodev2.h>
#include "bench/BenchSupport.h"

#include "camera/FCamera.h"
#include "camera/PropertyKeys.h"
#include "camera/platform/v4l2/V4l2Platform.h"
#include "camera/platform/v4l2/device/NodeDirectory.h"
#include "tests/camera/v4l2/FakeUvcCamera.h"

namespace {

using namespace varnholt;

class OneNode final : public platform::v4l2::NodeDirectory {
 public:
  explicit OneNode(std::shared_ptr<test::FakeUvcCamera> camera) : camera_(std::move(camera)) {}
  std::vector<std::string> VideoNodes() override { return {"/dev/video0"}; }
  std::string ByIdLink(const std::string&) override { return {}; }
  int Open(const std::string&, std::unique_ptr<platform::v4l2::IoctlDevice>& device) override {
    device = std::make_unique<test::ForwardingDevice>(camera_);
    return 0;
  }

 private:
  std::shared_ptr<test::FakeUvcCamera> camera_;
};

struct Rig {
  std::shared_ptr<test::FakeUvcCamera> fake =
      std::make_shared<test::FakeUvcCamera>(test::FakeUvcCamera::FullWebcam());
  TFCamera camera{nullptr,
                  std::make_shared<platform::v4l2::V4l2Platform>(std::make_shared<OneNode>(fake))};
  Rig() {
    camera.SetDeviceName("Fake UVC Webcam");
    camera.Brightness();  // binds the filter and enumerates the controls once
  }
};

using varnholt::bench::ReloadRows;

void Report(benchmark::State& state, const Rig& rig, std::uint64_t calls, std::uint64_t queries) {
  const double n = static_cast<double>(state.iterations());
  state.counters["ioctls_per_op"] = static_cast<double>(rig.fake->IoctlCount() - calls) / n;
  state.counters["enumeration_ioctls_per_op"] =
      static_cast<double>(rig.fake->IoctlCount(VIDIOC_QUERY_EXT_CTRL) - queries) / n;
}

void BM_V4l2SingleValueRead(benchmark::State& state) {
  Rig rig;
  const auto calls = rig.fake->IoctlCount();
  const auto queries = rig.fake->IoctlCount(VIDIOC_QUERY_EXT_CTRL);
  for (auto _ : state)
    benchmark::DoNotOptimize(rig.camera.Brightness());
  Report(state, rig, calls, queries);
}

void BM_V4l2ReloadSeventeenRows(benchmark::State& state) {
  Rig rig;
  const auto calls = rig.fake->IoctlCount();
  const auto queries = rig.fake->IoctlCount(VIDIOC_QUERY_EXT_CTRL);
  int reads = 0;
  for (auto _ : state)
    reads = ReloadRows(rig.camera);
  state.counters["reads_per_reload"] = reads;
  Report(state, rig, calls, queries);
}

BENCHMARK(BM_V4l2SingleValueRead);
BENCHMARK(BM_V4l2ReloadSeventeenRows);

}  // namespace
