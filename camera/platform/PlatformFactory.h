#pragma once

// Picks the capture platform: VARNHOLT_PLATFORM names one ("virtual", "v4l2",
// "directshow"); without it, the operating system's own (v4l2 on Linux).

#include <memory>
#include <string>
#include <vector>

#include "camera/platform/Interfaces.h"

namespace varnholt::platform {

// Raised when the platform named by the environment cannot be used.
class PlatformChoiceError : public std::exception {
 public:
  explicit PlatformChoiceError(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// The names CreatePlatform knows in this build.
std::vector<std::string> AvailablePlatforms();

// A new platform by name; throws PlatformChoiceError for a name this build
// does not have.
std::shared_ptr<Platform> CreatePlatform(const std::string& name);

// The name chosen by VARNHOLT_PLATFORM, or the default.
std::string ChosenPlatformName();

// The process-wide platform: created from ChosenPlatformName() on first use
// (which may throw PlatformChoiceError), or the one set below.
std::shared_ptr<Platform> ActivePlatform();
void SetActivePlatform(std::shared_ptr<Platform> platform);

}  // namespace varnholt::platform
