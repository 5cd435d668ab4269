// The camera test left streaming 1080p at 30 frames a second, the way users
// leave the window open all day, with the keep-synced tick on its real timer
// and another program changing the camera's values all the while. Memory,
// open files and threads must stay flat once the stream has warmed up.
// VARNHOLT_STREAM_SECONDS sets the length (a short run when unset).

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define VARNHOLT_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VARNHOLT_ASAN 1
#endif
#endif
#ifdef VARNHOLT_ASAN
#include <sanitizer/allocator_interface.h>
#endif

#include "camera/platform/virtual/VirtualCameraSet.h"
#include "tests/app/CameraWindowFixture.h"
#include "tests/camera/graph/SpawnedTool.h"
#include "tests/support/PaintCount.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {
namespace {

constexpr int kShortSeconds = 20;
// Allowed growth of memory from the end of the warm-up to the end. The
// picture pool may take one more 1080p picture after the warm-up when the
// window's thread falls behind on a busy machine: it is bounded, not a leak.
constexpr double kRssGrowth = 0.10;
constexpr long long kRssSlack = (4 << 20) + 1920 * 1080 * 4;

struct Sample {
  double at = 0;  // seconds since the stream started
  long long rss = 0;
  // What must stay flat: resident memory, or under AddressSanitizer the
  // live heap, since its quarantine of freed frames grows RSS by design.
  long long memory = 0;
  int fds = 0;
  int threads = 0;
  int paints = 0;
};

int Entries(const char* folder) {
  return static_cast<int>(
      QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

Sample Measure(double at, int paints) {
  QFile statm("/proc/self/statm");
  long long pages = 0;
  if (statm.open(QIODevice::ReadOnly))
    pages = statm.readAll().split(' ').value(1).toLongLong();
  const long long rss = pages * ::sysconf(_SC_PAGESIZE);
#ifdef VARNHOLT_ASAN
  const long long memory = static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#else
  const long long memory = rss;
#endif
  // The fewest of a score of looks over a tenth of a second: the camera's
  // streaming thread opens the virtual camera's state file for a moment each
  // frame, and such a file, caught open, is no leak (on a busy machine the
  // thread may be held up with it open for a time slice or two); a leaked
  // one shows in every look.
  int fds = Entries("/proc/self/fd"), threads = Entries("/proc/self/task");
  for (int look = 0; look < 19; ++look) {
    ::usleep(5000);
    fds = std::min(fds, Entries("/proc/self/fd"));
    threads = std::min(threads, Entries("/proc/self/task"));
  }
  return {at, rss, memory, fds, threads, paints};
}

void Print(const char* what, const Sample& s) {
  std::printf(
      "[ stream ] %-5s %6.0f s  RSS %7.1f MiB  heap %7.1f MiB  fds %3d  threads %2d  paints %d\n",
      what, s.at, s.rss / 1048576.0, s.memory / 1048576.0, s.fds, s.threads, s.paints);
}

class StreamLong : public CameraWindow {
 protected:
  StreamLong() : livecam(std::make_unique<TLivecamForm>()) { LivecamForm = livecam.get(); }
  ~StreamLong() override {
    form.reset();
    LivecamForm = nullptr;
  }
  std::unique_ptr<TLivecamForm> livecam;
};

TEST_F(StreamLong, MemoryFilesAndThreadsStayFlatWhileTheTestStreams1080p) {
  int seconds = kShortSeconds;
  if (const char* text = std::getenv("VARNHOLT_STREAM_SECONDS"))
    seconds = std::max(kShortSeconds, std::atoi(text));
  const double warmUp = std::max(4.0, seconds / 10.0);
  const double every = seconds >= 120 ? 5.0 : 2.0;

  const QByteArray cameras =
      "[" +
      Camera("Lab", R"({"Brightness": {"min": 0, "max": 255, "value": 140},
                        "Contrast": {"min": 0, "max": 100, "value": 50}})",
             R"([{"width": 1920, "height": 1080, "compression": "YUY2", "fps": 30}])") +
      "]";
  TFormMain& window = StartWith(cameras);
  QTemporaryDir folder;
  const QString description = folder.filePath("cameras.json");
  ASSERT_TRUE(WriteFile(description, R"({"cameras": )" + cameras + "}"));

  emit Part<TImage>(window, "ButtonTestCam")->Click();
  ASSERT_TRUE(livecam->isVisible()) << errors.join('\n').toStdString();
  PaintCount count;
  Part<QWidget>(*livecam, "PaintBox")->installEventFilter(&count);

  // Another program turning the camera's knobs about twice a second, one
  // knob a run. Each run is a process start, which under the sanitizers
  // costs a sixteenth of a second of processor time (at a few runs a second
  // the tool took nearly half of the test's processor time); the tool's leak
  // check at its exit, as much again, is no concern of this test.
  SpawnedTool other;
  const std::vector<std::string> loop = {
      "-c",
      "i=0; while :; do"
      " if [ $((i % 2)) -eq 0 ]; then knob=Brightness; v=$((i % 256)); else knob=Contrast;"
      " v=$((i % 101)); fi;"
      " ASAN_OPTIONS=detect_leaks=0 \"$0\" set Lab $knob $v >/dev/null || exit 1;"
      " i=$((i + 7)); sleep 0.4; done",
      VARNHOLT_VCAM_PATH};
  ASSERT_TRUE(
      other.Start("/bin/sh", loop,
                  {{"VARNHOLT_VIRTUAL_CAMERAS", description.toStdString()},
                   {"VARNHOLT_VIRTUAL_STATE", platform->Cameras()->StateDir().toStdString()}}));

  QElapsedTimer clock;
  clock.start();
  std::vector<Sample> samples;
  double next = warmUp;
  bool changed = false;
  while (next <= seconds) {
    ASSERT_TRUE(WaitUntil([&] { return clock.elapsed() >= next * 1000; }, 60000));
    samples.push_back(Measure(clock.elapsed() / 1000.0, count.paints));
    const Sample& s = samples.back();
    if (samples.size() > 1) {
      ASSERT_GT(s.paints, samples[samples.size() - 2].paints) << "the picture stopped at " << s.at;
    }
    changed = changed || CameraOf(window)->Brightness() != 140;
    next += every;
  }
  ASSERT_EQ(other.Wait(std::chrono::milliseconds(0)), -1) << other.Errors();  // still running
  other.Kill();
  EXPECT_TRUE(changed) << "the other program's values never reached the camera";
  EXPECT_TRUE(CameraOf(window)->Active());
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();

  ASSERT_GE(samples.size(), 2u);
  const Sample& first = samples.front();
  const Sample& last = samples.back();
  Print("first", first);
  Print("last", last);
  long long peak = 0;
  for (const Sample& s : samples)
    peak = std::max(peak, s.rss);
  std::printf("[ stream ] %zu samples, peak RSS %.1f MiB, %.1f pictures a second\n", samples.size(),
              peak / 1048576.0, (last.paints - first.paints) / (last.at - first.at));
  EXPECT_LE(last.memory - first.memory,
            std::max(kRssSlack, static_cast<long long>(first.memory * kRssGrowth)));
  EXPECT_EQ(last.fds, first.fds);
  EXPECT_EQ(last.threads, first.threads);
}

}  // namespace
}  // namespace varnholt::test
