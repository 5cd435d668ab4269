#pragma once

// The faults a virtual camera set injects into the calls of the platform
// seam, keyed by "Interface.Method" (camera/platform/FaultProbe.h): each
// answers its code instead of the call, for a number of calls or until it is
// cleared, for one camera or for every object. Set from a description's
// "fail" entries and by tests; safe to use from any thread.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "camera/platform/HResult.h"

namespace varnholt::platform::virtualcam {

class FaultTable {
 public:
  static constexpr int kUntilCleared = -1;

  // The next `count` calls at point (every call for kUntilCleared) answer
  // code; device restricts it to that camera's objects, where objects of no
  // camera (graphs, renderers) take every camera's faults.
  void Arm(const std::string& point, HResult code, int count = kUntilCleared,
           const std::string& device = {});
  void Clear(const std::string& point);
  void ClearAll();

  // The call at point on device's object: the armed code, if any. Counts the
  // call whether or not it fails.
  std::optional<HResult> Take(std::string_view point, std::string_view device);

  // How often point was probed, and how often it failed, since ResetCounts.
  std::int64_t Calls(const std::string& point) const;
  std::int64_t Failures(const std::string& point) const;
  std::map<std::string, std::int64_t> AllCalls() const;
  void ResetCounts();

 private:
  struct Entry {
    HResult code = 0;
    int remaining = kUntilCleared;
  };
  mutable std::mutex mutex_;
  // By point, then by device ("" for every one).
  std::map<std::string, std::map<std::string, Entry>, std::less<>> armed_;
  std::map<std::string, std::int64_t, std::less<>> calls_;
  std::map<std::string, std::int64_t, std::less<>> failures_;
};

}  // namespace varnholt::platform::virtualcam
