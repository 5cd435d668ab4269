#pragma once

// varnholtctl run inside the VM on the V4L2 platform (its path comes from
// VARNHOLT_CTL), in a home of its own, with a `watch` kept running in the
// background for the tests of settings that come back after a replug.

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

namespace varnholt::test {

class CtlRig {
 public:
  CtlRig();
  ~CtlRig();
  CtlRig(const CtlRig&) = delete;
  CtlRig& operator=(const CtlRig&) = delete;

  // Empty when VARNHOLT_CTL names no program.
  QString Program() const { return program_; }
  QString Path(const QString& name) const { return home_.filePath(name); }
  // Runs one command to its end; fails the test unless it exits with 0.
  ::testing::AssertionResult Run(const QStringList& arguments);

  void StartWatch();
  // Waits until the watch has printed line (a whole line) count times in
  // all; the failure shows what it printed.
  ::testing::AssertionResult Told(const QString& line, int count = 1, int timeoutMs = 60000);
  // Once present() holds (the camera's node is back), how long the watch
  // took to print line for the count-th time; -1 when either never came.
  qint64 MsFromUntil(const std::function<bool()>& present, const QString& line, int count);
  // Waits until no /dev/video* node has been opened or closed for quietMs,
  // up to timeoutMs. A watch that opens the cameras again and again by
  // itself, for nothing that came or went, never lets the nodes be quiet.
  static bool NodesQuiet(int quietMs, int timeoutMs);

 private:
  QProcessEnvironment Environment() const;
  int Lines(const QString& line);

  QString program_;
  QTemporaryDir home_;
  QProcess watch_;
  QString output_;
};

}  // namespace varnholt::test
