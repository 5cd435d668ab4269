#pragma once

// JSON text → camera set description, with messages that say where in which
// source a value is wrong.

#include <QByteArray>
#include <QString>

#include "camera/platform/virtual/CameraDescription.h"

namespace varnholt::platform::virtualcam {

// Throws VirtualCameraError; sourceName (a file path, "built-in cameras")
// opens every message.
CameraSetDescription ParseCameraSet(const QByteArray& json, const QString& sourceName);

}  // namespace varnholt::platform::virtualcam
