#pragma once

// Pieces several benchmarks share: the reads one reload of the rows makes,
// and a main with a QApplication on the offscreen platform.

#include <benchmark/benchmark.h>

#include <QApplication>

#include "camera/FCamera.h"
#include "camera/PropertyKeys.h"

namespace varnholt::bench {

// The reads one reload of the rows makes: the support test of each key, and
// value, range and automatic flag of each supported one. Answers their count.
inline int ReloadRows(TFCamera& camera) {
  int reads = 0;
  for (const TFPropertyKey& key : kPropertyKeys) {
    ++reads;
    if (!(camera.*key.Supported)())
      continue;
    benchmark::DoNotOptimize((camera.*key.Value)());
    benchmark::DoNotOptimize((camera.*key.Range)());
    benchmark::DoNotOptimize((camera.*key.IsAuto)());
    reads += 3;
  }
  return reads;
}

// Runs the benchmarks with widgets available but no screen.
inline int RunOffscreen(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace varnholt::bench
