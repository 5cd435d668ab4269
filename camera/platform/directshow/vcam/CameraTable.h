#pragma once

// The virtual cameras the DLL offers, one row each, as the built-in
// description of the virtual backend (camera/platform/virtual/
// BuiltinCameras.json) has them: the same names, device paths, property
// ranges and formats, so that a test can expect on Windows what it sees on
// the virtual backend. The rows are generated from that file when the build
// is configured (CameraTable.cmake), which also says what is left out.

#include <cstdint>
#include <span>

namespace varnholt::vcam {

enum class Family { VideoProcAmp = 0, CameraControl = 1 };

struct PropertyRow {
  Family family;
  std::int32_t id;   // the published property id of its family
  bool unsupported;  // listed, but every call answers E_PROP_ID_UNSUPPORTED
  std::int32_t min, max, step, defaultValue;
  std::int32_t value, flags;  // at the start
  std::int32_t caps;
};

struct FormatRow {
  std::int32_t width, height;
  char compression[5];  // "YUY2" or "NV12"
  std::uint16_t bitsPerPixel;
  std::int64_t frameTime;  // 100-ns units
  bool videoInfo2;
};

struct CameraRow {
  const wchar_t* friendlyName;
  const wchar_t* devicePath;
  bool hasFamily[2];     // the family's property set exists on the device
  bool offersFamily[2];  // the filter has the family's interface
  bool ksPropertySet;
  bool propertyPages;
  std::span<const PropertyRow> properties;
  std::span<const FormatRow> formats;
  int formatsLeftOut;  // described formats the filter does not offer (MJPG)
};

std::span<const CameraRow> Cameras();

}  // namespace varnholt::vcam
