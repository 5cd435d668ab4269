// Dragging the slider of a slow control: a zoom motor that takes 50 ms per
// write. Prints the user-interface thread's time per slider step against
// the 1 ms goal, and how long after the release the camera holds the final
// value, against one write time (50 ms). That time holds the rest of the
// write in progress at the last step (a superseded value the driver is
// still taking, which nothing can cut short) and then the final value's
// own write: the two are printed apart, as rest_of_superseded_write_ms and
// final_write_ms, measured from the last step.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/Forms.h"
#include "camera/platform/PlatformFactory.h"
#include "camera/platform/virtual/VirtualPlatform.h"
#include "controls/TrackBar.h"
#include "tests/support/TestEnvironment.h"

namespace {

using varnholt::platform::virtualcam::VirtualPlatform;
using varnholt::test::Part;

constexpr int kWriteMs = 50;
constexpr double kStepGoalMs = 1.0;

constexpr char kCameras[] = R"({"cameras": [{
  "friendlyName": "Motor", "devicePath": "motor",
  "cameraControl": {"Zoom": {"min": 100, "max": 500, "default": 100, "setMs": 50}},
  "formats": [{"width": 320, "height": 240, "compression": "YUY2"}]}]})";

void BM_DragSlowZoom(benchmark::State& state) {
  QTemporaryDir home, cameras;
  qputenv("HOME", home.path().toUtf8());
  varnholt::platform::SetActivePlatform(VirtualPlatform::FromJson(kCameras, cameras.path()));
  {
    TFormMain form(QStringList{"varnholt"});
    auto* slider = Part<varnholt::TTrackBar>(form, "TrackBarZoom");
    auto* camera = Part<TFCamera>(form, "FCamera");
    double stepMs = 0, releaseMs = 0, restMs = 0, finalMs = 0;
    int steps = 0, drags = 0, value = 100;
    for (auto _ : state) {
      // A drag of 30 steps at 60 per second, as a hand moves the slider.
      QElapsedTimer sinceLastStep;
      std::size_t writtenAtLastStep = 0;
      for (int i = 0; i < 30; ++i) {
        value = value >= 500 ? 101 : value + 1;
        QElapsedTimer step;
        step.start();
        slider->SetValue(static_cast<float>(value));
        stepMs += static_cast<double>(step.nsecsElapsed()) / 1e6;
        ++steps;
        sinceLastStep.start();
        writtenAtLastStep = camera->PostedValuesWritten();
        QElapsedTimer frame;
        frame.start();
        while (frame.elapsed() < 16)
          QCoreApplication::processEvents(QEventLoop::AllEvents, 16);
      }
      // The first write to end after the last step: the superseded one
      // then in progress, or the final one when the writer was idle.
      std::atomic<qint64> firstEndNs{-1};
      std::atomic<bool> done{false};
      std::thread watch([&] {
        while (!done && camera->PostedValuesWritten() == writtenAtLastStep)
          std::this_thread::sleep_for(std::chrono::microseconds(100));
        firstEndNs = sinceLastStep.nsecsElapsed();
      });
      QElapsedTimer release;
      release.start();
      camera->WaitForPostedValues();
      releaseMs += static_cast<double>(release.nsecsElapsed()) / 1e6;
      const double heldMs = static_cast<double>(sinceLastStep.nsecsElapsed()) / 1e6;
      done = true;
      watch.join();
      const bool superseded = camera->PostedValuesWritten() - writtenAtLastStep > 1;
      const double rest = superseded ? static_cast<double>(firstEndNs) / 1e6 : 0.0;
      restMs += rest;
      finalMs += heldMs - rest;
      ++drags;
      if (camera->Zoom() != value) {
        state.SkipWithError("the camera does not hold the final value");
        break;
      }
    }
    state.counters["ui_ms_per_step"] = stepMs / std::max(steps, 1);
    state.counters["step_ratio_to_goal"] = stepMs / std::max(steps, 1) / kStepGoalMs;
    state.counters["release_to_final_ms"] = releaseMs / std::max(drags, 1);
    state.counters["release_in_write_times"] = releaseMs / std::max(drags, 1) / kWriteMs;
    state.counters["rest_of_superseded_write_ms"] = restMs / std::max(drags, 1);
    state.counters["final_write_ms"] = finalMs / std::max(drags, 1);
    state.counters["final_write_in_write_times"] = finalMs / std::max(drags, 1) / kWriteMs;
    state.counters["writes_per_drag"] =
        static_cast<double>(camera->PostedValuesWritten()) / std::max(drags, 1);
  }
  varnholt::platform::SetActivePlatform(nullptr);
}

BENCHMARK(BM_DragSlowZoom)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
