#include "camera/ValueWriter.h"

#include <utility>

namespace varnholt::camera {

ValueWriter::ValueWriter(Failure failure)
    : failure_(std::move(failure)), thread_([this] { Run(); }) {}

ValueWriter::~ValueWriter() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  posted_.notify_one();
  thread_.join();
}

void ValueWriter::Post(std::uint64_t property, Write write) {
  {
    std::lock_guard lock(mutex_);
    auto [entry, added] = waiting_.insert_or_assign(property, std::move(write));
    if (added)
      order_.push_back(property);
  }
  posted_.notify_one();
}

void ValueWriter::Wait() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return order_.empty() && !writing_; });
}

std::size_t ValueWriter::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

void ValueWriter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    posted_.wait(lock, [this] { return stopping_ || !order_.empty(); });
    if (order_.empty())
      return;
    const std::uint64_t property = order_.front();
    order_.pop_front();
    Write write = std::move(waiting_.at(property));
    waiting_.erase(property);
    writing_ = true;
    lock.unlock();
    try {
      write();
    } catch (...) {
      // Reported under the lock, so that none arrives once stopping began.
      lock.lock();
      if (!stopping_ && failure_)
        failure_(property);
      lock.unlock();
    }
    lock.lock();
    writing_ = false;
    ++written_;
    if (order_.empty())
      idle_.notify_all();
  }
}

}  // namespace varnholt::camera
