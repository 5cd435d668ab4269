#pragma once

// Ctrl+C, Ctrl+Break and the console window's close button on Windows, as
// an event an event loop can wait for (QWinEventNotifier): what SIGINT and
// SIGTERM through a pipe are on Linux. Qt-free.

namespace varnholt::win {

class ConsoleStop {
 public:
  // Catches them for its lifetime; one at a time in a process.
  ConsoleStop();
  ~ConsoleStop();
  ConsoleStop(const ConsoleStop&) = delete;
  ConsoleStop& operator=(const ConsoleStop&) = delete;

  bool Watching() const { return event_ != nullptr; }
  // Signalled (and left so) once the user asked to stop.
  void* Event() const { return event_; }

 private:
  void* event_ = nullptr;
};

}  // namespace varnholt::win
