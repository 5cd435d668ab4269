#pragma once

// Sends property values to a device on a thread of its own. A pan, tilt,
// zoom or focus motor can take tens of milliseconds per write, and the
// window writes at every slider step: the caller hands the write over and
// goes on. While one write runs, later writes of the same property replace
// each other, so the device always gets the newest value next and never
// works through a backlog of superseded ones.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace varnholt::camera {

class ValueWriter {
 public:
  using Write = std::function<void()>;
  // Runs on the writer's thread when a write threw: the property and the
  // exception, while it is being handled.
  using Failure = std::function<void(std::uint64_t property)>;

  explicit ValueWriter(Failure failure);
  // Sends what is still waiting (the user's last values reach the device)
  // and then stops, reporting no more failures.
  ~ValueWriter();
  ValueWriter(const ValueWriter&) = delete;
  ValueWriter& operator=(const ValueWriter&) = delete;

  // Queues the write of a property, replacing one of the same property that
  // has not started.
  void Post(std::uint64_t property, Write write);
  // Returns once every posted write has been made.
  void Wait();
  // How many writes have run: for the benchmark and for waiting in tests.
  std::size_t Written() const;

 private:
  void Run();

  Failure failure_;
  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::condition_variable idle_;
  std::deque<std::uint64_t> order_;
  std::map<std::uint64_t, Write> waiting_;
  bool writing_ = false;
  bool stopping_ = false;
  std::size_t written_ = 0;
  std::thread thread_;
};

}  // namespace varnholt::camera
