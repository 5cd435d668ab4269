// The camera test's work for one frame on the user-interface thread, at
// 1920x1080 in YUY2 and in MJPG, offscreen. BM_ShownFrame runs the real
// path: the camera at 30 frames a second converts each frame on its
// streaming thread, and the window's thread serves the repaint it asks for,
// takes the newest picture and draws it unscaled; every shown frame is one
// iteration, with all the window's thread does meanwhile (its timers too).
// The parts are measured alone as well: the conversion the streaming thread
// now does (BM_GetImage, which is what each repaint cost this thread when
// it converted the frame itself), the drawing and the JPEG decoding. Prints
// this thread's milliseconds per frame (ui_ms) and their ratio to the goal
// of 1 ms (ratio_to_goal).

#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdint>
#include <ctime>
#include <vector>

#include "app/Forms.h"
#include "camera/platform/PlatformFactory.h"
#include "camera/platform/virtual/VirtualPlatform.h"
#include "controls/ListBox.h"
#include "controls/Shapes.h"
#include "tests/support/PaintCount.h"
#include "tests/support/TestEnvironment.h"

namespace {

using varnholt::test::PaintCount;
using varnholt::test::Part;

using varnholt::platform::virtualcam::VirtualPlatform;

constexpr char kCameras[] = R"({"cameras": [{
  "friendlyName": "Bench", "devicePath": "bench",
  "videoProcAmp": {"Brightness": {"min": 0, "max": 255, "default": 128}},
  "formats": [
    {"width": 1920, "height": 1080, "compression": "YUY2", "frameTime": 10000000},
    {"width": 1920, "height": 1080, "compression": "MJPG", "frameTime": 10000000},
    {"width": 1920, "height": 1080, "compression": "YUY2", "frameTime": 333333},
    {"width": 1920, "height": 1080, "compression": "MJPG", "frameTime": 333333}]}]})";

constexpr double kGoalMs = 1.0;

struct Rig {
  QTemporaryDir home;
  QTemporaryDir state;
  std::unique_ptr<TLivecamForm> livecam;
  std::unique_ptr<TFormMain> form;

  explicit Rig(int formatIndex) {
    qputenv("HOME", home.path().toUtf8());
    varnholt::platform::SetActivePlatform(VirtualPlatform::FromJson(kCameras, state.path()));
    livecam = std::make_unique<TLivecamForm>();
    LivecamForm = livecam.get();
    form = std::make_unique<TFormMain>(QStringList{"varnholt"});
    Part<varnholt::TListBox>(*form, "ComboBoxFormat")->SetItemIndex(formatIndex);
    form->StartDevice();
    if (!livecam->isVisible())
      throw std::runtime_error("the camera test did not start");
    // Until the first frame is in.
    QElapsedTimer waited;
    waited.start();
    for (;;) {
      try {
        if (!Part<TFCamera>(*form, "FCamera")->CurrentImageToBitmap().isNull())
          break;
      } catch (...) {
      }
      if (waited.elapsed() > 30000)
        throw std::runtime_error("no frame from the camera");
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
  }
  ~Rig() {
    form.reset();
    livecam.reset();
    varnholt::platform::SetActivePlatform(nullptr);
  }
};

// This thread's own processor time, so that the camera's streaming thread
// and other programs on the machine do not count.
double ThreadMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Runs body once per iteration; prints this thread's milliseconds per frame
// and their ratio to the goal.
template <class F>
void PerFrame(benchmark::State& state, F&& body) {
  const double start = ThreadMs();
  for (auto _ : state)
    body();
  const double ms = (ThreadMs() - start) / static_cast<double>(state.iterations());
  state.counters["ui_ms"] = ms;
  state.counters["ratio_to_goal"] = ms / kGoalMs;
}

// One frame shown as the user sees it: the window's thread waits for the
// camera's next picture (asleep, so the wait costs it nothing) and runs
// whatever comes until the paint box has painted once more.
void BM_ShownFrame(benchmark::State& state) {
  Rig rig(static_cast<int>(state.range(0)) + 2);
  PaintCount count;
  Part<varnholt::TPaintBox>(*rig.livecam, "PaintBox")->installEventFilter(&count);
  int shown = 0;
  PerFrame(state, [&] {
    const int before = count.paints;
    QElapsedTimer waited;
    waited.start();
    while (count.paints == before) {
      if (waited.elapsed() > 10000)
        throw std::runtime_error("no new picture in 10 s");
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    ++shown;
  });
  state.counters["shown"] = shown;
}

void BM_GetImage(benchmark::State& state) {
  Rig rig(static_cast<int>(state.range(0)));
  PerFrame(state, [&] {
    benchmark::DoNotOptimize(Part<TFCamera>(*rig.form, "FCamera")->CurrentImageToBitmap());
  });
}

void BM_DrawImage(benchmark::State& state) {
  Rig rig(static_cast<int>(state.range(0)));
  const QImage bitmap = Part<TFCamera>(*rig.form, "FCamera")->CurrentImageToBitmap();
  QImage surface(bitmap.size(), QImage::Format_ARGB32_Premultiplied);
  PerFrame(state, [&] {
    QPainter painter(&surface);
    painter.drawImage(QRect(QPoint(), bitmap.size()), bitmap, QRect(QPoint(), bitmap.size()));
  });
}

// The window's copy of one 1080p picture by where the picture lies against
// its target within a memory page: 16 bytes below it, as two large images
// often lie, or half a page away, where the camera now lays pictures out.
void BM_CopyPlacement(benchmark::State& state) {
  constexpr int kWidth = 1920, kHeight = 1080;
  constexpr std::size_t kBytes = std::size_t{kWidth} * kHeight * 4, kPage = 4096;
  std::vector<std::uint8_t> source(kBytes + 2 * kPage, 0x80), target(kBytes + 2 * kPage);
  const auto PageStart = [](std::vector<std::uint8_t>& v) {
    return v.data() + (kPage - reinterpret_cast<std::uintptr_t>(v.data()) % kPage) % kPage;
  };
  std::uint8_t* to = PageStart(target) + kPage;
  const std::uint8_t* from = PageStart(source) + (state.range(0) ? kPage + kPage / 2 : kPage - 16);
  QImage picture(from, kWidth, kHeight, kWidth * 4, QImage::Format_RGB32);
  QImage surface(to, kWidth, kHeight, kWidth * 4, QImage::Format_RGB32);
  PerFrame(state, [&] {
    QPainter painter(&surface);
    painter.drawImage(QPoint(), picture);
  });
}

// Decoding alone, for MJPG: a 1080p picture of the camera at its JPEG
// quality, read by Qt's JPEG plugin into one reused bitmap, as the renderer
// does. The floor under the MJPG frame that no copying can lower.
void BM_DecodeJpeg(benchmark::State& state) {
  Rig rig(1);
  const QImage picture = Part<TFCamera>(*rig.form, "FCamera")->CurrentImageToBitmap();
  QByteArray jpeg;
  QBuffer out(&jpeg);
  out.open(QIODevice::WriteOnly);
  QImageWriter writer(&out, "jpeg");
  writer.setQuality(85);
  if (!writer.write(picture))
    throw std::runtime_error("cannot encode the picture as JPEG");
  QImage decoded;
  PerFrame(state, [&] {
    QBuffer in(&jpeg);
    in.open(QIODevice::ReadOnly);
    QImageReader reader(&in, "JPEG");
    benchmark::DoNotOptimize(reader.read(&decoded));
  });
}

// The repaint clock's tick: the stream's end watched, the window kept at
// the picture's size; the repaint it asked for before is the frame's own now.
void BM_FrameTick(benchmark::State& state) {
  Rig rig(static_cast<int>(state.range(0)));
  PerFrame(state, [&] { rig.form->CameraTimerTimer(nullptr); });
}

void BM_RepaintRequest(benchmark::State& state) {
  Rig rig(static_cast<int>(state.range(0)));
  PerFrame(state, [&] { rig.form->InvalidatePaintBox(); });
}

void Formats(benchmark::internal::Benchmark* b) {
  b->ArgName("yuy2_0_mjpg_1")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ShownFrame)->Apply(Formats);
BENCHMARK(BM_GetImage)->Apply(Formats);
BENCHMARK(BM_DrawImage)->Apply(Formats);
BENCHMARK(BM_FrameTick)->Apply(Formats);
BENCHMARK(BM_RepaintRequest)->Apply(Formats);
BENCHMARK(BM_CopyPlacement)
    ->ArgName("below16_0_halfpage_1")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeJpeg)->ArgName("mjpg")->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
