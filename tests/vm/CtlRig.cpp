#include "tests/vm/CtlRig.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdlib>
#include <string>

#include "tests/vm/VividRig.h"

namespace varnholt::test {

CtlRig::CtlRig() {
  const char* program = std::getenv("VARNHOLT_CTL");
  if (program != nullptr && QFileInfo(program).isExecutable())
    program_ = QString::fromLocal8Bit(program);
}

CtlRig::~CtlRig() {
  watch_.terminate();
  if (!watch_.waitForFinished(10000)) {
    watch_.kill();
    watch_.waitForFinished();
  }
}

QProcessEnvironment CtlRig::Environment() const {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", home_.path());
  env.insert("XDG_CONFIG_HOME", home_.filePath(".config"));
  env.insert("VARNHOLT_PLATFORM", "v4l2");
  return env;
}

::testing::AssertionResult CtlRig::Run(const QStringList& arguments) {
  QProcess process;
  process.setProcessEnvironment(Environment());
  process.start(program_, arguments);
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    return ::testing::AssertionFailure()
           << "varnholtctl " << arguments.join(' ').toStdString() << " did not finish";
  }
  if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "varnholtctl " << arguments.join(' ').toStdString() << " exited with "
         << process.exitCode() << ": " << process.readAllStandardError().toStdString();
}

void CtlRig::StartWatch() {
  watch_.setProcessEnvironment(Environment());
  watch_.start(program_, {"watch"});
}

int CtlRig::Lines(const QString& line) {
  output_ += QString::fromUtf8(watch_.readAllStandardOutput());
  return static_cast<int>(output_.split('\n').count(line));
}

::testing::AssertionResult CtlRig::Told(const QString& line, int count, int timeoutMs) {
  if (WaitFor([&] { return Lines(line) >= count; }, timeoutMs))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the watch did not print \"" << line.toStdString()
                                       << "\" " << count << " times; its output:\n"
                                       << output_.toStdString() << "its errors:\n"
                                       << watch_.readAllStandardError().toStdString();
}

qint64 CtlRig::MsFromUntil(const std::function<bool()>& present, const QString& line, int count) {
  if (!WaitFor(present))
    return -1;
  QElapsedTimer clock;
  clock.start();
  if (!Told(line, count))
    return -1;
  return clock.elapsed();
}

bool CtlRig::NodesQuiet(int quietMs, int timeoutMs) {
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0 || ::inotify_add_watch(fd, "/dev", IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
    if (fd >= 0)
      ::close(fd);
    return false;
  }
  QElapsedTimer quiet;
  quiet.start();
  const bool result = WaitFor(
      [&] {
        alignas(inotify_event) char buffer[4096];
        for (ssize_t length; (length = ::read(fd, buffer, sizeof buffer)) > 0;)
          for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0 && std::string(event->name).rfind("video", 0) == 0)
              quiet.restart();
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
          }
        return quiet.elapsed() >= quietMs;
      },
      timeoutMs);
  ::close(fd);
  return result;
}

}  // namespace varnholt::test
