#include "camera/platform/PlatformFactory.h"

#include <cstdlib>
#include <mutex>

#include "camera/platform/virtual/VirtualPlatform.h"
#ifdef _WIN32
#include "camera/platform/directshow/DirectShowPlatform.h"
#else
#include "camera/platform/v4l2/V4l2Platform.h"
#endif

namespace varnholt::platform {
namespace {
#ifdef _WIN32
constexpr const char* kSystemPlatform = "directshow";
#else
constexpr const char* kSystemPlatform = "v4l2";
#endif

std::mutex g_mutex;
std::shared_ptr<Platform> g_active;

std::string Join(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& n : names)
    out += (out.empty() ? "" : ", ") + n;
  return out;
}
}  // namespace

std::vector<std::string> AvailablePlatforms() {
#ifdef _WIN32
  return {"virtual", "directshow"};
#else
  return {"virtual", "v4l2"};
#endif
}

std::shared_ptr<Platform> CreatePlatform(const std::string& name) {
  if (name == "virtual") {
    try {
      return virtualcam::VirtualPlatform::FromEnvironment();
    } catch (const virtualcam::VirtualCameraError& e) {
      throw PlatformChoiceError(e.what());
    }
  }
#ifdef _WIN32
  if (name == "directshow")
    return std::make_shared<directshow::DirectShowPlatform>();
#else
  if (name == "v4l2")
    return std::make_shared<v4l2::V4l2Platform>();
#endif
  throw PlatformChoiceError("The capture platform '" + name +
                            "' is not available in this build (VARNHOLT_PLATFORM); available: " +
                            Join(AvailablePlatforms()));
}

std::string ChosenPlatformName() {
  const char* name = std::getenv("VARNHOLT_PLATFORM");
  if (name && *name)
    return name;
  // The operating system's own cameras; the virtual ones only when asked.
  return kSystemPlatform;
}

std::shared_ptr<Platform> ActivePlatform() {
  std::lock_guard lock(g_mutex);
  if (!g_active)
    g_active = CreatePlatform(ChosenPlatformName());
  return g_active;
}

void SetActivePlatform(std::shared_ptr<Platform> platform) {
  std::lock_guard lock(g_mutex);
  g_active = std::move(platform);
}

}  // namespace varnholt::platform
