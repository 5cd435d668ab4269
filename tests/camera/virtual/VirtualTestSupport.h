#pragma once

// Helpers for the virtual platform tests: platforms on a private state
// folder, and the walks the camera component makes through the platform.

#include <gtest/gtest.h>
#include <QByteArray>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "camera/platform/Interfaces.h"
#include "camera/platform/virtual/VirtualPlatform.h"

namespace varnholt::test {

using platform::DeviceCategory;
using platform::HResult;
using platform::virtualcam::VirtualPlatform;

// JSON with one camera "Test" at path "test-path"; body is more members of
// the camera object (may be empty).
QByteArray OneCamera(const std::string& body);

// Every test gets its own state folder.
class VirtualPlatformTest : public ::testing::Test {
 protected:
  std::shared_ptr<VirtualPlatform> Load(const QByteArray& json);
  QString StateDir() const { return stateDir_.path(); }

 private:
  QTemporaryDir stateDir_;
};

std::vector<std::shared_ptr<platform::IMoniker>> Monikers(platform::Platform& platform,
                                                          DeviceCategory category);

// Friendly names as a device list shows them: a moniker whose storage
// cannot be bound is left out.
std::vector<std::string> ListedNames(platform::Platform& platform, DeviceCategory category);

std::string ReadString(platform::IPropertyBag& bag, const std::string& name);

// The filter of the index-th listed video input; fails the test when absent.
std::shared_ptr<platform::IBaseFilter> BindCamera(platform::Platform& platform,
                                                  std::size_t index = 0);

std::vector<std::shared_ptr<platform::IPin>> Pins(platform::IBaseFilter& filter);

// The first pin whose category is capture, as the component finds it.
std::shared_ptr<platform::IPin> CapturePin(platform::IBaseFilter& filter);

}  // namespace varnholt::test
