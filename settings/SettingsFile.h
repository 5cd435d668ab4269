#pragma once

// Settings files on disk: one camera's section read for a load, refused
// whole when it cannot help, and a save's entries written in one go. Used
// by the window's Load and Save buttons and by the command line alike.

#include <QString>

#include "settings/CameraSettings.h"

struct TSettingsFileReading {
  // Why the file cannot be loaded, as the user is told; empty when it can.
  QString Refusal;
  TStoredCameraSettings Settings;
};

// A file that cannot be read, or holds nothing for the camera, would load
// as all zeros and turn a real camera flat grey: such a file is refused.
TSettingsFileReading ReadSettingsFile(const QString& path, const QString& cameraName);

// One replacement of the file: a failed save leaves it as it was.
void WriteSettingsFile(const QString& path, const QString& cameraName,
                       const TCameraSettings& settings);
