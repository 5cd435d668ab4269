#pragma once

// Settings files marked to come back by themselves: the kernel keeps no
// camera setting over an unplug, a reboot or a driver reload, so whenever a
// marked camera appears its file is loaded onto it again. The marks live in
// the user's config folder, one section per camera, keyed by the camera's
// stable identity.

#include <QString>
#include <optional>

#include "camera/CameraTypes.h"

class TFCamera;

struct TRestoreMark {
  QString File;        // absolute
  QString CameraName;  // as listed when the mark was set
};

// What a mark is keyed by. A V4L2 camera's by-id link names its USB vendor,
// product and serial number and stays the same from boot to boot, where a
// node such as /dev/video2 does not: a camera known only by its node (no
// serial, or a driver udev gives no link) is keyed by its name instead.
// Other platforms' device paths are stable as they are.
QString CameraIdentity(const TFVideoCaptureDevice& device);
// A V4L2 camera known only by its node: its by-id link may still be on its
// way (udev makes it just after the node).
bool KnownOnlyByNode(const TFVideoCaptureDevice& device);

class TRestoreMarks {
 public:
  // $XDG_CONFIG_HOME/varnholt/restore.ini, or ~/.config/... without it.
  static QString DefaultFileName();
  explicit TRestoreMarks(QString fileName = DefaultFileName());

  std::optional<TRestoreMark> Find(const TFVideoCaptureDevice& device) const;
  // Throws varnholt::EIniFileException when the marks cannot be written.
  void Mark(const TFVideoCaptureDevice& device, const QString& file);
  void Unmark(const TFVideoCaptureDevice& device);

 private:
  QString fileName_;
};

// Loads a settings file onto the camera's selected device in
// the window's order; the refusal's text when the file cannot be loaded,
// empty on success. A camera's own errors propagate.
QString LoadSettingsFileOnto(TFCamera& camera, const QString& file);
