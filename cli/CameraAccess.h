#pragma once

// The camera a command names, bound through the process-wide capture
// platform, and the properties by their settings-file keys.

#include <QString>
#include <cstddef>
#include <memory>
#include <optional>

#include "camera/FCamera.h"

namespace varnholt::cli {

// The process-wide platform; a failing one ends the command with exit 1.
std::shared_ptr<varnholt::platform::Platform> CapturePlatform();

// A name as listed, a unique beginning of one (any case), or a device node
// whose canonical path is that of a device's path. Throws CliError (exit 3)
// for none or several.
TFVideoCaptureDevice FindCamera(const TFVideoCaptureDevices& devices, const QString& argument);

// A component bound to the camera the argument names.
struct TCameraSession {
  explicit TCameraSession(const QString& argument);
  std::unique_ptr<TFCamera> Camera;
  TFVideoCaptureDevice Device;
  QString Name;  // as listed: also the section of settings files
};

// The place of a row property in key order, or nothing for the power
// frequency; throws CliError (exit 2) for an unknown name.
std::optional<std::size_t> FindProperty(const QString& name);

}  // namespace varnholt::cli
