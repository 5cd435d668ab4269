#pragma once

// One delivered frame: its bytes never change once made, so every filter
// downstream may keep it without copying.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "camera/platform/Interfaces.h"
#include "camera/platform/kit/SingleInterface.h"

namespace varnholt::platform::graph {

class FramePool;

class FrameSample final : public kit::SingleInterface<IMediaSample> {
 public:
  // With a pool, the bytes go back to it when the last holder lets go.
  explicit FrameSample(std::vector<std::uint8_t> bytes, std::weak_ptr<FramePool> pool = {})
      : bytes_(std::move(bytes)), pool_(std::move(pool)) {}
  ~FrameSample() override;
  FrameSample(const FrameSample&) = delete;
  FrameSample& operator=(const FrameSample&) = delete;

  std::span<const std::uint8_t> Data() const override { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  const std::weak_ptr<FramePool> pool_;
};

// Frame memory used again: a source takes a buffer for each frame and gets it
// back once the frame's last holder lets go. A stream then writes each frame
// into memory it has touched before, instead of having fresh frame-sized
// memory mapped and faulted in for every frame.
class FramePool : public std::enable_shared_from_this<FramePool> {
 public:
  // Keeps at most `keep` buffers; more come back only while a slow
  // receiver holds frames, and those are freed.
  static std::shared_ptr<FramePool> Create(std::size_t keep = 3) {
    return std::shared_ptr<FramePool>(new FramePool(keep));
  }

  // An empty buffer, with the capacity of an earlier frame when one came back.
  std::vector<std::uint8_t> Take() {
    std::lock_guard lock(mutex_);
    if (spare_.empty())
      return {};
    std::vector<std::uint8_t> bytes = std::move(spare_.back());
    spare_.pop_back();
    return bytes;
  }

  std::shared_ptr<FrameSample> Sample(std::vector<std::uint8_t> bytes) {
    return std::make_shared<FrameSample>(std::move(bytes), weak_from_this());
  }

  void Give(std::vector<std::uint8_t>&& bytes) {
    bytes.clear();
    std::lock_guard lock(mutex_);
    if (spare_.size() < keep_)
      spare_.push_back(std::move(bytes));
  }

 private:
  explicit FramePool(std::size_t keep) : keep_(keep) { spare_.reserve(keep); }

  const std::size_t keep_;
  std::mutex mutex_;
  std::vector<std::vector<std::uint8_t>> spare_;
};

inline FrameSample::~FrameSample() {
  if (const auto pool = pool_.lock())
    pool->Give(std::move(bytes_));
}

}  // namespace varnholt::platform::graph
