#pragma once

// Where each property of the video-processing and camera-control families
// lives among the V4L2 controls, as the Linux UVC driver names them: the
// control holding the value, the control that switches the automatic mode
// (if any) and how that switch encodes "automatic".
//
// What callers may rely on: FindMapping answers nullptr for an id the
// family does not publish; a mapping with valueCid 0 is a property V4L2 has
// no control for.

#include <cstdint>
#include <optional>
#include <span>

namespace varnholt::platform::v4l2 {

enum class PropertyFamilyKind { VideoProcAmp, CameraControl };

enum class AutoEncoding {
  None,          // no automatic mode
  Boolean,       // companion 1 = automatic, 0 = manual
  ExposureMenu,  // companion is the exposure-auto menu, manual = 1
};

struct ControlMapping {
  PropertyFamilyKind family;
  std::int32_t property;
  const char* name;
  std::uint32_t valueCid;
  std::uint32_t autoCid;
  AutoEncoding encoding;
};

std::span<const ControlMapping> ControlMappings();
const ControlMapping* FindMapping(PropertyFamilyKind family, std::int32_t property);

// Whether a companion value means automatic.
bool IsAutomatic(AutoEncoding encoding, std::int64_t companionValue);
// The companion value to write for manual mode.
std::int64_t ManualValue(AutoEncoding encoding);
// The companion value to write for automatic mode, given the values the
// companion offers (for a menu, the driver leaves out modes the device lacks).
std::optional<std::int64_t> AutomaticValue(AutoEncoding encoding,
                                           std::span<const std::int64_t> offered);

}  // namespace varnholt::platform::v4l2
