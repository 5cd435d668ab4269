#pragma once

// One delivered frame: its bytes never change once made, so every filter
// downstream may keep it without copying.

#include <cstdint>
#include <memory>
#include <vector>

#include "camera/platform/Interfaces.h"
#include "camera/platform/kit/SingleInterface.h"

namespace varnholt::platform::graph {

class FrameSample final : public kit::SingleInterface<IMediaSample> {
 public:
  explicit FrameSample(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  std::span<const std::uint8_t> Data() const override { return bytes_; }

 private:
  const std::vector<std::uint8_t> bytes_;
};

}  // namespace varnholt::platform::graph
