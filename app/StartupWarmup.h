#pragma once

// Work that Qt's start does later on the main thread, begun early on a
// thread of its own so that the second processor does it meanwhile: the
// X11 platform plugin with its libraries (when Qt will choose it), then
// the system's font configuration. Both stay loaded for the process, so
// Qt finds them ready; where neither applies this does nothing.

#include <thread>

namespace varnholt {

class StartupWarmup {
 public:
  StartupWarmup();
  ~StartupWarmup();  // waits for the thread
  StartupWarmup(const StartupWarmup&) = delete;
  StartupWarmup& operator=(const StartupWarmup&) = delete;

 private:
  std::thread thread_;
};

}  // namespace varnholt
