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

#include "camera/platform/Interfaces.h"

namespace varnholt::platform::v4l2 {

enum class AutoEncoding {
  None,     // no automatic mode
  Boolean,  // companion 1 = automatic, 0 = manual
  // The exposure-auto menu that exposure and iris share: "Auto" has both
  // automatic, "Manual" neither, "Shutter Priority" the iris and "Aperture
  // Priority" the exposure time automatic.
  ExposureMenu,  // the exposure time's side of the menu
  IrisMenu,      // the iris's side
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

// Whether a companion value means the property is automatic.
bool IsAutomatic(AutoEncoding encoding, std::int64_t companionValue);
// Whether the companion value keeps the driver from taking the property's
// value. The UVC driver takes an exposure time only in the menu's "Manual"
// mode, even in "Shutter Priority", where the time is not automatic; it
// takes an iris value in any mode.
bool LocksValue(AutoEncoding encoding, std::int64_t companionValue);
// The companion value that makes the property automatic, or manual with its
// value writable, given the companion's current value and the values it
// offers (for a menu, the driver leaves out modes the device lacks). On the
// shared menu the other property keeps its mode when the camera has a mode
// for that, and follows otherwise. nullopt when no offered value will do.
std::optional<std::int64_t> CompanionValue(AutoEncoding encoding, bool automatic,
                                           std::int64_t current,
                                           std::span<const std::int64_t> offered);

}  // namespace varnholt::platform::v4l2
