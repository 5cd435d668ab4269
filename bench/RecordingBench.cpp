// Recording 1920x1080 at 30 fps through the graph's file writer, fed the
// way a camera's stream feeds it (one frame per call on the streaming
// thread), from the virtual camera's test picture:
// - MJPG passed through into AVI: processor time per frame and its share of
//   one core at 30 fps, against the goal of 5 %;
// - the default ASF encoding (wmv2) of YUY2: the frames per second it keeps
//   up with on this machine, against the 30 a camera sends.

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <ctime>
#include <memory>
#include <stdexcept>

#include "camera/platform/graph/FileMux.h"
#include "camera/platform/graph/FrameSample.h"
#include "camera/platform/graph/StreamInterfaces.h"
#include "camera/platform/graph/VideoMediaType.h"
#include "camera/platform/virtual/JpegFrames.h"
#include "camera/platform/virtual/PictureSettings.h"
#include "camera/platform/virtual/TestPicture.h"

namespace {

using namespace varnholt::platform;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr double kFrame = 1.0 / 30;

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The file writer of a graph, its picture input connected at the format.
struct Recording {
  QTemporaryDir folder;
  std::shared_ptr<IBaseFilter> mux;
  std::shared_ptr<graph::IFrameReceiver> input;

  Recording(const Guid& container, std::uint32_t fourcc) {
    if (Failed(graph::MakeFileMux(container, folder.filePath("bench").toStdString(), mux)))
      throw std::runtime_error("no file writer");
    input = std::dynamic_pointer_cast<graph::IStreamInputs>(mux)->InputFor(guids::MediaTypeVideo);
    const auto type = graph::MakeVideoMediaType({fourcc, kWidth, kHeight, 16, 333333});
    if (Failed(input->ReceiveConnection(*type)) ||
        Failed(std::dynamic_pointer_cast<graph::IRunListener>(mux)->Running(nullptr)))
      throw std::runtime_error("the file writer did not start");
  }
  ~Recording() { std::dynamic_pointer_cast<graph::IRunListener>(mux)->Stopped(); }
};

// A second of the moving test picture, so that encoders see motion.
std::vector<std::shared_ptr<graph::FrameSample>> Pictures(bool jpeg) {
  virtualcam::TestPicture picture(kWidth, kHeight);
  std::vector<std::shared_ptr<graph::FrameSample>> frames;
  for (int i = 0; i < 30; ++i) {
    std::vector<std::uint8_t> yuy2, bytes;
    picture.Render(static_cast<std::uint64_t>(i), virtualcam::PictureSettings{}, i == 0, yuy2);
    if (jpeg && !virtualcam::EncodeJpeg(yuy2, kWidth, kHeight, bytes))
      throw std::runtime_error("no JPEG encoder");
    frames.push_back(
        std::make_shared<graph::FrameSample>(jpeg ? std::move(bytes) : std::move(yuy2)));
  }
  return frames;
}

void BM_MjpgIntoAvi(benchmark::State& state) {
  Recording recording(guids::MediaSubtypeAvi, kFourCCMJPG);
  const auto frames = Pictures(true);
  std::size_t n = 0;
  const double cpuStart = ProcessCpuSeconds();
  for (auto _ : state) {
    recording.input->Receive(frames[n % frames.size()], static_cast<double>(n) * kFrame);
    ++n;
  }
  const double cpuPerFrame =
      (ProcessCpuSeconds() - cpuStart) / static_cast<double>(state.iterations());
  state.counters["cpu_ms_per_frame"] = cpuPerFrame * 1e3;
  state.counters["core_share_at_30fps_%"] = cpuPerFrame * 30 * 100;
  state.counters["of_goal_5%"] = cpuPerFrame * 30 * 100 / 5;
}
BENCHMARK(BM_MjpgIntoAvi)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_Yuy2IntoDefaultAsf(benchmark::State& state) {
  Recording recording(guids::MediaSubtypeAsf, kFourCCYUY2);
  const auto frames = Pictures(false);
  std::size_t n = 0;
  for (auto _ : state) {
    recording.input->Receive(frames[n % frames.size()], static_cast<double>(n) * kFrame);
    ++n;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["of_camera_30fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()) / 30, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Yuy2IntoDefaultAsf)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
