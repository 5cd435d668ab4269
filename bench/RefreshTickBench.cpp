// What one keep-synced tick costs on the user-interface thread with the
// rich built-in virtual camera selected: the whole re-read of its format
// list and rows, and the focus hand-off served. Prints milliseconds per
// tick, device calls per tick (reads and changes of the camera's state,
// one for each platform call that reaches the device) and the tick's time
// divided by its device calls, an upper bound for the cost of one call.
// The same tick on a model of a UVC webcam through the V4L2 backend prints
// its driver calls per tick and their ratio to the goal; each of its ticks
// comes, as in the program, after the value snapshot of the one before has
// expired (the backend's clock is moved on rather than waited for).

#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"

#include <QApplication>
#include <QTemporaryDir>
#include <chrono>

#include "app/Forms.h"
#include "camera/platform/PlatformFactory.h"
#include "camera/platform/v4l2/ControlProperties.h"
#include "camera/platform/v4l2/V4l2Platform.h"
#include "camera/platform/v4l2/device/NodeDirectory.h"
#include "camera/platform/virtual/StateFile.h"
#include "camera/platform/virtual/VirtualPlatform.h"
#include "controls/ListBox.h"
#include "controls/Timer.h"
#include "tests/camera/v4l2/FakeUvcCamera.h"
#include "tests/support/TestEnvironment.h"

namespace {

using varnholt::test::Part;

using varnholt::platform::virtualcam::StateFile;
using varnholt::platform::virtualcam::VirtualPlatform;

constexpr char kRichCamera[] = "Varnholt Virtual HD Webcam";
constexpr char kUvcCamera[] = "Fake UVC Webcam";
// Driver calls one tick may cost on the UVC model: a value read per control
// class, nothing for ranges, formats or the camera list.
constexpr double kTickCallGoal = 6;

// The model webcam as the only node.
class OneNode final : public varnholt::platform::v4l2::NodeDirectory {
 public:
  explicit OneNode(std::shared_ptr<varnholt::test::FakeUvcCamera> camera)
      : camera_(std::move(camera)) {}
  std::vector<std::string> VideoNodes() override { return {"/dev/video0"}; }
  std::string ByIdLink(const std::string&) override { return {}; }
  int Open(const std::string&,
           std::unique_ptr<varnholt::platform::v4l2::IoctlDevice>& device) override {
    device = std::make_unique<varnholt::test::ForwardingDevice>(camera_);
    return 0;
  }

 private:
  std::shared_ptr<varnholt::test::FakeUvcCamera> camera_;
};

struct Rig {
  QTemporaryDir home;
  std::unique_ptr<TFormMain> form;
  explicit Rig(std::shared_ptr<varnholt::platform::Platform> platform, const char* camera) {
    qputenv("HOME", home.path().toUtf8());
    varnholt::platform::SetActivePlatform(std::move(platform));
    form = std::make_unique<TFormMain>(QStringList{"varnholt"});
    for (int i = 0; i < Part<varnholt::TListBox>(*form, "ComboBoxCamera")->count(); ++i)
      if (Part<varnholt::TListBox>(*form, "ComboBoxCamera")->item(i)->text() == camera)
        Part<varnholt::TListBox>(*form, "ComboBoxCamera")->SetItemIndex(i);
    if (Part<TFCamera>(*form, "FCamera")->DeviceName() != camera)
      throw std::runtime_error(std::string("the camera is missing: ") + camera);
  }
  ~Rig() {
    form.reset();
    varnholt::platform::SetActivePlatform(nullptr);
  }
  void Tick() {
    form->RefreshTimerTimer(Part<varnholt::TTimer>(*form, "RefreshTimer"));
    // The focus request the tick handed over, and the worker's clean-up.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
};

void BM_RefreshTick(benchmark::State& state) {
  QTemporaryDir cameras;
  Rig rig(VirtualPlatform::FromJson(VirtualPlatform::BuiltinCamerasJson(), cameras.path()),
          kRichCamera);
  rig.Tick();  // warm: the first tick binds what later ticks reuse
  const std::uint64_t before = StateFile::DeviceCalls();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state)
    rig.Tick();
  const std::chrono::duration<double, std::milli> elapsed =
      std::chrono::steady_clock::now() - start;
  const double ticks = static_cast<double>(state.iterations());
  const double calls = static_cast<double>(StateFile::DeviceCalls() - before) / ticks;
  state.counters["device_calls_per_tick"] = calls;
  state.counters["ms_per_tick"] = elapsed.count() / ticks;
  state.counters["us_per_device_call_share"] = 1000.0 * elapsed.count() / ticks / calls;
}
BENCHMARK(BM_RefreshTick)->Unit(benchmark::kMillisecond);

void BM_V4l2RefreshTick(benchmark::State& state) {
  using varnholt::platform::v4l2::ControlProperties;
  auto now = std::chrono::steady_clock::now();
  ControlProperties::SetClockForTesting([&now] { return now; });
  auto fake =
      std::make_shared<varnholt::test::FakeUvcCamera>(varnholt::test::FakeUvcCamera::FullWebcam());
  Rig rig(std::make_shared<varnholt::platform::v4l2::V4l2Platform>(std::make_shared<OneNode>(fake)),
          kUvcCamera);
  rig.Tick();
  const std::uint64_t before = fake->IoctlCount();
  for (auto _ : state) {
    now += ControlProperties::kSnapshotLifetime;
    rig.Tick();
  }
  const double calls =
      static_cast<double>(fake->IoctlCount() - before) / static_cast<double>(state.iterations());
  state.counters["driver_calls_per_tick"] = calls;
  state.counters["ratio_to_goal"] = calls / kTickCallGoal;
  ControlProperties::SetClockForTesting(nullptr);
}
BENCHMARK(BM_V4l2RefreshTick)->Unit(benchmark::kMillisecond);

}  // namespace
