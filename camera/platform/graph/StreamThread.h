#pragma once

// How a source ends its streaming thread once it told it to stop: it waits
// for it, unless the stop comes from that thread itself (a frame callback
// stopping its own graph); then the thread, which holds everything it uses,
// ends on its own once the callback returns.

#include <memory>
#include <mutex>
#include <thread>

namespace varnholt::platform::graph {

inline void EndStreamThread(std::thread thread) {
  if (!thread.joinable())
    return;
  if (thread.get_id() == std::this_thread::get_id())
    thread.detach();
  else
    thread.join();
}

// A source's Stop(): takes its running worker out under the source's lock,
// tells it to stop and ends its thread outside the lock, so a frame callback
// that needs the lock cannot deadlock the stop. False when nothing ran.
template <class Worker>
bool StopStreamWorker(std::mutex& mutex, std::shared_ptr<Worker>& worker, std::thread& thread) {
  std::thread ending;
  {
    std::lock_guard lock(mutex);
    if (!worker)
      return false;
    worker->RequestStop();
    worker.reset();
    ending = std::move(thread);
  }
  EndStreamThread(std::move(ending));
  return true;
}

}  // namespace varnholt::platform::graph
