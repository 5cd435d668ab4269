// The camera test's work for one frame on the user-interface thread, at
// 1920x1080 in YUY2 and in MJPG: the repaint request, getting the current
// picture as a bitmap (conversion included) and drawing it unscaled into
// the paint box, offscreen. Each part is measured alone too, to show where
// the time goes. The camera delivers one frame a second, so that its own
// thread hardly competes with the measurement. Prints the user-interface
// thread's milliseconds per frame and their ratio to the goal of 3 ms.

#include <benchmark/benchmark.h>

#include "bench/BenchSupport.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <ctime>

#include "app/Forms.h"
#include "camera/platform/PlatformFactory.h"
#include "camera/platform/virtual/VirtualPlatform.h"
#include "controls/ListBox.h"
#include "controls/Shapes.h"
#include "tests/support/TestEnvironment.h"

namespace {

using varnholt::test::Part;

using varnholt::platform::virtualcam::VirtualPlatform;

constexpr char kCameras[] = R"({"cameras": [{
  "friendlyName": "Bench", "devicePath": "bench",
  "videoProcAmp": {"Brightness": {"min": 0, "max": 255, "default": 128}},
  "formats": [
    {"width": 1920, "height": 1080, "compression": "YUY2", "frameTime": 10000000},
    {"width": 1920, "height": 1080, "compression": "MJPG", "frameTime": 10000000}]}]})";

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
// and their ratio to the goal of 3 ms.
template <class F>
void PerFrame(benchmark::State& state, F&& body) {
  const double start = ThreadMs();
  for (auto _ : state)
    body();
  const double ms = (ThreadMs() - start) / static_cast<double>(state.iterations());
  state.counters["ui_ms_per_frame"] = ms;
  state.counters["of_goal"] = ms / 3.0;
}

// The repaint request and the repaint it asks for, as a frame tick runs them.
void BM_Frame(benchmark::State& state) {
  Rig rig(static_cast<int>(state.range(0)));
  PerFrame(state, [&] {
    rig.form->InvalidatePaintBox();
    Part<varnholt::TPaintBox>(*rig.livecam, "PaintBox")->repaint();
  });
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

void BM_RepaintRequest(benchmark::State& state) {
  Rig rig(static_cast<int>(state.range(0)));
  PerFrame(state, [&] { rig.form->InvalidatePaintBox(); });
}

void Formats(benchmark::internal::Benchmark* b) {
  b->ArgName("yuy2_0_mjpg_1")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Frame)->Apply(Formats);
BENCHMARK(BM_GetImage)->Apply(Formats);
BENCHMARK(BM_DrawImage)->Apply(Formats);
BENCHMARK(BM_RepaintRequest)->Apply(Formats);
BENCHMARK(BM_DecodeJpeg)->ArgName("mjpg")->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
