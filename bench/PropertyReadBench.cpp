// What one reload of the seventeen rows costs on the rich virtual camera:
// the support test of every key and, for supported keys, value, range and
// automatic flag, as the window reads them. Prints the time per reload, per
// read, and the ratio of a full reload to a single value read.

#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"

#include <QTemporaryDir>

#include "camera/FCamera.h"
#include "camera/PropertyKeys.h"
#include "camera/platform/virtual/VirtualPlatform.h"

namespace {

using varnholt::platform::virtualcam::VirtualPlatform;

struct Rig {
  QTemporaryDir state;
  std::shared_ptr<VirtualPlatform> platform =
      VirtualPlatform::FromJson(VirtualPlatform::BuiltinCamerasJson(), state.path());
  TFCamera camera{nullptr, platform};
  Rig() { camera.SetDeviceName("Varnholt Virtual HD Webcam"); }
};

using varnholt::bench::ReloadRows;

void BM_SingleValueRead(benchmark::State& state) {
  Rig rig;
  for (auto _ : state)
    benchmark::DoNotOptimize(rig.camera.Brightness());
  state.counters["time_per_read"] =
      benchmark::Counter(static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ReloadSeventeenRows(benchmark::State& state) {
  Rig rig;
  int reads = 0;
  for (auto _ : state)
    reads = ReloadRows(rig.camera);
  state.counters["reads_per_reload"] = reads;
  // Per read: comparable with BM_SingleValueRead; the ratio of the two shows
  // whether a reload costs more than its reads.
  state.counters["time_per_read"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * reads,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ValueWrite(benchmark::State& state) {
  Rig rig;
  std::int32_t v = 0;
  for (auto _ : state)
    rig.camera.SetBrightness(100 + (v++ & 63));
}

BENCHMARK(BM_SingleValueRead);
BENCHMARK(BM_ReloadSeventeenRows);
BENCHMARK(BM_ValueWrite);

}  // namespace
