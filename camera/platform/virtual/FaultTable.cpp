#include "camera/platform/virtual/FaultTable.h"

namespace varnholt::platform::virtualcam {

void FaultTable::Arm(const std::string& point, HResult code, int count, const std::string& device) {
  std::lock_guard lock(mutex_);
  if (count == 0)
    armed_[point].erase(device);
  else
    armed_[point][device] = Entry{code, count};
}

void FaultTable::Clear(const std::string& point) {
  std::lock_guard lock(mutex_);
  armed_.erase(point);
}

void FaultTable::ClearAll() {
  std::lock_guard lock(mutex_);
  armed_.clear();
}

std::optional<HResult> FaultTable::Take(std::string_view point, std::string_view device) {
  std::lock_guard lock(mutex_);
  auto counted = calls_.find(point);
  if (counted == calls_.end())
    counted = calls_.emplace(std::string(point), 0).first;
  ++counted->second;
  const auto armed = armed_.find(point);
  if (armed == armed_.end())
    return std::nullopt;
  auto& byDevice = armed->second;
  // A camera's own entry first, then one for every camera; an object of
  // no camera takes any.
  auto entry = byDevice.find(std::string(device));
  if (entry == byDevice.end())
    entry = byDevice.find(std::string());
  if (entry == byDevice.end() && device.empty())
    entry = byDevice.begin();
  if (entry == byDevice.end())
    return std::nullopt;
  const HResult code = entry->second.code;
  if (entry->second.remaining != kUntilCleared && --entry->second.remaining == 0)
    byDevice.erase(entry);
  ++failures_[std::string(point)];
  return code;
}

std::int64_t FaultTable::Calls(const std::string& point) const {
  std::lock_guard lock(mutex_);
  const auto it = calls_.find(point);
  return it == calls_.end() ? 0 : it->second;
}

std::int64_t FaultTable::Failures(const std::string& point) const {
  std::lock_guard lock(mutex_);
  const auto it = failures_.find(point);
  return it == failures_.end() ? 0 : it->second;
}

std::map<std::string, std::int64_t> FaultTable::AllCalls() const {
  std::lock_guard lock(mutex_);
  return {calls_.begin(), calls_.end()};
}

void FaultTable::ResetCounts() {
  std::lock_guard lock(mutex_);
  calls_.clear();
  failures_.clear();
}

}  // namespace varnholt::platform::virtualcam
