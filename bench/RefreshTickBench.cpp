// What one keep-synced tick costs on the user-interface thread with the
// rich built-in virtual camera selected: the whole re-read of its format
// list and rows, and the focus hand-off served. Prints milliseconds per
// tick, device calls per tick (reads and changes of the camera's state,
// one for each platform call that reaches the device) and the tick's time
// divided by its device calls, an upper bound for the cost of one call.

#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"

#include <QApplication>
#include <QTemporaryDir>
#include <chrono>

#include "app/Forms.h"
#include "camera/platform/PlatformFactory.h"
#include "camera/platform/virtual/StateFile.h"
#include "camera/platform/virtual/VirtualPlatform.h"
#include "controls/ListBox.h"
#include "controls/Timer.h"
#include "tests/support/TestEnvironment.h"

namespace {

using varnholt::test::Part;

using varnholt::platform::virtualcam::StateFile;
using varnholt::platform::virtualcam::VirtualPlatform;

constexpr char kRichCamera[] = "Varnholt Virtual HD Webcam";

struct Rig {
  QTemporaryDir home;
  QTemporaryDir state;
  std::unique_ptr<TFormMain> form;
  Rig() {
    qputenv("HOME", home.path().toUtf8());
    varnholt::platform::SetActivePlatform(
        VirtualPlatform::FromJson(VirtualPlatform::BuiltinCamerasJson(), state.path()));
    form = std::make_unique<TFormMain>(QStringList{"varnholt"});
    for (int i = 0; i < Part<varnholt::TListBox>(*form, "ComboBoxCamera")->count(); ++i)
      if (Part<varnholt::TListBox>(*form, "ComboBoxCamera")->item(i)->text() == kRichCamera)
        Part<varnholt::TListBox>(*form, "ComboBoxCamera")->SetItemIndex(i);
    if (Part<TFCamera>(*form, "FCamera")->DeviceName() != kRichCamera)
      throw std::runtime_error("the rich virtual camera is missing");
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
  Rig rig;
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

}  // namespace
