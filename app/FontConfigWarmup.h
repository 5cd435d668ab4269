#pragma once

// Reads the system's font configuration on a thread of its own while Qt
// starts and the window is built. Parsing fontconfig's files takes some
// milliseconds, which the first text the window measures would otherwise
// wait for; fontconfig keeps one configuration for the process, so Qt's
// own start then finds it ready. Without fontconfig (another system) this
// does nothing.

#include <thread>

namespace varnholt {

class FontConfigWarmup {
 public:
  FontConfigWarmup();
  ~FontConfigWarmup();  // waits for the thread
  FontConfigWarmup(const FontConfigWarmup&) = delete;
  FontConfigWarmup& operator=(const FontConfigWarmup&) = delete;

 private:
  std::thread thread_;
};

}  // namespace varnholt
