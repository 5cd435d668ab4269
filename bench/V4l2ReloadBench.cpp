// What one reload of the seventeen rows costs on a V4L2 camera, in driver
// calls and time: the support test of every key and, for supported keys,
// value, range and automatic flag, as the window reads them, against a model
// of a UVC webcam. Prints ioctls per reload (and how many of them enumerate
// controls or read values) beside the time, and the same for a single value
// read, each with its ratio to the goal. Every iteration is a reload as the
// window's re-read makes it: the backend's clock moves past the life of the
// value snapshot the reload before took, without waiting for it.

#include <benchmark/benchmark.h>

#include <linux/videodev2.h>

#include <chrono>

#include "bench/BenchSupport.h"

#include "camera/FCamera.h"
#include "camera/PropertyKeys.h"
#include "camera/platform/v4l2/ControlProperties.h"
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

using platform::v4l2::ControlProperties;
using varnholt::bench::ReloadRows;

// Driver calls a reload of the seventeen rows may cost (one value read per
// control class), and a single value read.
constexpr double kReloadGoal = 4;
constexpr double kSingleReadGoal = 1;

// The snapshot's clock, moved on by hand.
class ManualClock {
 public:
  ManualClock() {
    ControlProperties::SetClockForTesting([this] { return now_; });
  }
  ~ManualClock() { ControlProperties::SetClockForTesting(nullptr); }
  void Expire() { now_ += ControlProperties::kSnapshotLifetime; }

 private:
  std::chrono::steady_clock::time_point now_ = std::chrono::steady_clock::now();
};

struct Counts {
  explicit Counts(const Rig& rig)
      : rig_(rig),
        calls_(rig.fake->IoctlCount()),
        queries_(rig.fake->IoctlCount(VIDIOC_QUERY_EXT_CTRL)),
        reads_(rig.fake->IoctlCount(VIDIOC_G_EXT_CTRLS)) {}
  void Report(benchmark::State& state, double goal) const {
    const double n = static_cast<double>(state.iterations());
    const double calls = static_cast<double>(rig_.fake->IoctlCount() - calls_) / n;
    state.counters["ioctls_per_op"] = calls;
    state.counters["ratio_to_goal"] = calls / goal;
    state.counters["enumeration_ioctls_per_op"] =
        static_cast<double>(rig_.fake->IoctlCount(VIDIOC_QUERY_EXT_CTRL) - queries_) / n;
    state.counters["value_read_ioctls_per_op"] =
        static_cast<double>(rig_.fake->IoctlCount(VIDIOC_G_EXT_CTRLS) - reads_) / n;
  }

 private:
  const Rig& rig_;
  std::uint64_t calls_, queries_, reads_;
};

void BM_V4l2SingleValueRead(benchmark::State& state) {
  ManualClock clock;
  Rig rig;
  const Counts counts(rig);
  for (auto _ : state) {
    clock.Expire();
    benchmark::DoNotOptimize(rig.camera.Brightness());
  }
  counts.Report(state, kSingleReadGoal);
}

void BM_V4l2ReloadSeventeenRows(benchmark::State& state) {
  ManualClock clock;
  Rig rig;
  const Counts counts(rig);
  int reads = 0;
  for (auto _ : state) {
    clock.Expire();
    reads = ReloadRows(rig.camera);
  }
  state.counters["reads_per_reload"] = reads;
  counts.Report(state, kReloadGoal);
}

BENCHMARK(BM_V4l2SingleValueRead);
BENCHMARK(BM_V4l2ReloadSeventeenRows);

}  // namespace
