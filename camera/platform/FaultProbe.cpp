#include "camera/platform/FaultProbe.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace varnholt::platform {
namespace {

struct Installed {
  const void* owner = nullptr;
  std::shared_ptr<const FaultProbe> probe;
};

// Never destroyed: a platform held by another static may remove its probe
// while the program exits, after this file's statics would be gone.
std::mutex& ProbeMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}
Installed& Current() {
  static auto* installed = new Installed;
  return *installed;
}
// Lets every call skip the lock while no probe is installed.
std::atomic<bool> anyProbe{false};

}  // namespace

void InstallFaultProbe(const void* owner, FaultProbe probe) {
  std::lock_guard lock(ProbeMutex());
  Current() = {owner, std::make_shared<const FaultProbe>(std::move(probe))};
  anyProbe = true;
}

void RemoveFaultProbe(const void* owner) {
  std::lock_guard lock(ProbeMutex());
  if (Current().owner != owner)
    return;
  Current() = {};
  anyProbe = false;
}

std::optional<HResult> ProbeFault(std::string_view point, std::string_view device) {
  if (!anyProbe.load(std::memory_order_relaxed))
    return std::nullopt;
  std::shared_ptr<const FaultProbe> probe;
  {
    std::lock_guard lock(ProbeMutex());
    probe = Current().probe;
  }
  // Called outside the lock: a probe may take locks of its own.
  return probe && *probe ? (*probe)(point, device) : std::nullopt;
}

}  // namespace varnholt::platform
