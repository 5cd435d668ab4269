#pragma once

// The running processes and the file names of their executables, read from
// /proc.
//
// A process's executable file name is the last part of its /proc/PID/exe
// link (without the " (deleted)" mark of a replaced file): the kernel's own
// record of what was executed, whatever name the process was started by.
// For other users' processes that link cannot be read. There we take the
// file-name part of argv[0] from /proc/PID/cmdline, which anyone may read,
// but only when the kernel's command name (/proc/PID/comm, the first 15
// bytes of the executed file's name) agrees with it, since a process can
// put anything into argv[0]; when they disagree the command name is all we
// know. Kernel threads and ended processes have neither and are left out.

#include <sys/types.h>
#include <QStringList>

namespace varnholt {

// The executable file name of process pid; empty when it cannot be told.
QString ExecutableName(pid_t pid);
// This process's, read the same way as every other process's.
QString OwnExecutableName();

// The executable file names of all running processes, this one included.
QStringList RunningExecutableNames();

// While it lives, RunningExecutableNames answers names instead of reading
// /proc: test programs may run beside copies of themselves.
class ScopedProcessNames {
 public:
  explicit ScopedProcessNames(QStringList names);
  ~ScopedProcessNames();
  ScopedProcessNames(const ScopedProcessNames&) = delete;
  ScopedProcessNames& operator=(const ScopedProcessNames&) = delete;

 private:
  const QStringList* previous_;
  QStringList names_;
};

}  // namespace varnholt
