// record: the camera into an ASF or AVI file, for a time or until the user
// interrupts. The component builds the file writer when it is activated
// with a file name and finishes the file at Stop, so every way out of the
// recording goes through Stop: the time running out, Ctrl+C, SIGTERM, and
// a write that failed (a full disk), which the graph reports as an event.

#ifdef _WIN32
#include <QWinEventNotifier>

#include "platform/win/WinConsoleStop.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#endif

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>

#include "camera/platform/graph/StreamInterfaces.h"
#include "cli/CameraAccess.h"
#include "cli/Commands.h"
#include "platform/TerminalText.h"

namespace varnholt::cli {
namespace {

namespace hr = varnholt::platform::hr;
namespace graph = varnholt::platform::graph;

// How often the graph's events are looked at: a failed write stops the
// recording within this time.
constexpr int kEventPollMs = 100;

#ifdef _WIN32
// Ctrl+C, Ctrl+Break and closing the console set an event; the event loop
// waits on it.
class TStopSignals {
 public:
  TStopSignals() {
    if (!stop_.Watching())
      throw CliError(kExitFailure, "Cannot watch for Ctrl+C");
  }
  void* Event() const { return stop_.Event(); }

 private:
  win::ConsoleStop stop_;
};
#else
// SIGINT and SIGTERM only write a byte into a pipe; the event loop reads it.
// Nothing else is safe inside a signal handler.
int gSignalPipe[2] = {-1, -1};

extern "C" void NoteSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(gSignalPipe[1], &byte, 1);
  errno = saved;
}

// Catches SIGINT and SIGTERM for its lifetime, then puts the earlier
// handlers back.
class TStopSignals {
 public:
  TStopSignals() {
    if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
      throw CliError(kExitFailure,
                     "Cannot watch for Ctrl+C: " + QString::fromLocal8Bit(std::strerror(errno)));
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
      ::sigaction(kSignals[i], &action, &previous_[i]);
  }
  ~TStopSignals() {
    for (std::size_t i = 0; i < kSignals.size(); ++i)
      ::sigaction(kSignals[i], &previous_[i], nullptr);
    ::close(gSignalPipe[0]);
    ::close(gSignalPipe[1]);
    gSignalPipe[0] = gSignalPipe[1] = -1;
  }
  TStopSignals(const TStopSignals&) = delete;
  TStopSignals& operator=(const TStopSignals&) = delete;

  int ReadEnd() const { return gSignalPipe[0]; }

 private:
  static constexpr std::array<int, 2> kSignals{SIGINT, SIGTERM};
  std::array<struct sigaction, 2> previous_{};
};
#endif

// Milliseconds of --seconds N: a positive number of seconds; none without the option.
int RecordingMs(const TInvocation& in) {
  if (!in.Options.contains("seconds"))
    return 0;
  const QString text = in.Options["seconds"];
  bool number = false;
  const double seconds = text.toDouble(&number);
  // A timer counts up to INT_MAX milliseconds (24 days).
  if (!number || !std::isfinite(seconds) || seconds * 1000 < 1 || seconds * 1000 > INT_MAX)
    throw CliError(kExitUsage,
                   "--seconds takes a positive number of seconds, not \"" + text + "\"");
  return static_cast<int>(std::lround(seconds * 1000));
}

// --type, else by the file name's extension; the writer itself never looks at it.
TFMediaType RecordingType(const TInvocation& in, const QString& path) {
  if (!in.Options.contains("type"))
    return path.endsWith(".avi", Qt::CaseInsensitive) ? mtAvi : mtAsf;
  const QString type = in.Options["type"].toLower();
  if (type != "asf" && type != "avi")
    throw CliError(kExitUsage, "--type is asf or avi, not \"" + in.Options["type"] + "\"");
  return type == "avi" ? mtAvi : mtAsf;
}

// What the file system refused is a file failure (exit 5); the rest of what
// the component raises stays a refusal (exit 4), as for the other commands.
[[noreturn]] void RethrowRecordingError(const EOleSysError& e) {
  const auto code = e.ErrorCode();
  const bool file = code == hr::PathNotFound || code == hr::AccessDenied ||
                    code == hr::WriteFault || code == hr::DiskFull;
  throw CliError(file ? kExitFile : kExitRefused, QString::fromStdString(e.Message()));
}

// Why the recording ended early; empty when it ran its time or was stopped.
struct TEnding {
  QString Failure;
  ExitCode Code = kExitOk;
};

TEnding RecordUntilDone(TFCamera& camera, const QString& name, int durationMs,
                        const TStopSignals& stopSignals) {
  TEnding ending;
  QEventLoop loop;
#ifdef _WIN32
  QWinEventNotifier interrupted(stopSignals.Event());
  QObject::connect(&interrupted, &QWinEventNotifier::activated, &loop, &QEventLoop::quit);
#else
  QSocketNotifier interrupted(stopSignals.ReadEnd(), QSocketNotifier::Read);
  QObject::connect(&interrupted, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
#endif
  QTimer duration;
  duration.setSingleShot(true);
  QObject::connect(&duration, &QTimer::timeout, &loop, &QEventLoop::quit);
  QTimer events;
  QObject::connect(&events, &QTimer::timeout, &loop, [&] {
    const auto media = camera.MediaEvent();
    std::int32_t code = 0;
    if (!media || media->WaitForCompletion(0, code) != hr::Ok)
      return;
    if (code == graph::kEventDeviceLost)
      ending = {name + " was disconnected; the file holds what came before", kExitFailure};
    else if (code == graph::kEventErrorAbort)
      // Stop below tells a failed write; without one, the camera gave up.
      ending = {name + " stopped delivering pictures; the file holds what came before",
                kExitFailure};
    else
      return;
    loop.quit();
  });

  camera.Run();
  if (durationMs > 0)
    duration.start(durationMs);
  events.start(kEventPollMs);
  loop.exec();
  return ending;
}

}  // namespace

int RecordCommand(TInvocation& in) {
  const int durationMs = RecordingMs(in);
  const QString path = in.Arguments[1];
  const TFMediaType type = RecordingType(in, path);
  TCameraSession session(in.Arguments[0]);
  TFCamera& camera = *session.Camera;
  // The sample grabber carries the frames: no preview window.
  camera.SetCaptureType(ctGrabber);
  camera.SetOutputFileName(path);
  camera.SetOutputFileType(type);
  camera.SetCompressorName(in.Options.value("compressor"));
  camera.SetAudioDeviceName(in.Options.value("audio"));
  camera.SetAudioCompressorName(in.Options.value("audio-compressor"));

  // Caught from before the first frame is written until the file is
  // finished, so that an impatient second Ctrl+C cannot cut its end off.
  const TStopSignals stopSignals;
  TEnding ending;
  try {
    camera.SetActive(true);
    try {
      ending = RecordUntilDone(camera, session.Name, durationMs, stopSignals);
      // Finishes the file; a write that failed on the way answers here.
      camera.Stop();
    } catch (...) {
      camera.SetActive(false);
      throw;
    }
    camera.SetActive(false);
  } catch (const EOleSysError& e) {
    RethrowRecordingError(e);
  }
  if (ending.Code != kExitOk)
    throw CliError(ending.Code, ending.Failure);
  in.Out << TerminalField(session.Name) << ": recorded " << (type == mtAvi ? "AVI" : "ASF")
         << " into " << QFileInfo(path).absoluteFilePath() << "\n";
  return kExitOk;
}

}  // namespace varnholt::cli
