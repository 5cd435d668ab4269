#pragma once

// The video-processing and camera-control properties of one camera, answered
// from its V4L2 controls through the mapping table. Values stay in the
// driver's own units; ranges come from the driver's control query.
//
// What callers may rely on:
// - a property without a mapped control on this device answers
//   PropIdUnsupported, whatever the call; so does one whose control the
//   driver failed to describe when the list was read;
// - capability flags: automatic when the device has the automatic companion,
//   manual when the value control is writable;
// - Set with manual flags writes the value, and switches the companion off in
//   the same request when it is on, so the driver accepts both together; Set
//   with automatic flags only switches the companion on (the value is the
//   mode's to choose);
// - a write refused because the automatic mode holds the value answers
//   hr_v4l2::UnderAutomaticControl;
// - ranges and capability flags come from the one enumeration Create made
//   (no driver call per read); values are read live. A control whose flags
//   may have changed (a write or read refused with EACCES or EBUSY, as when
//   another program grabbed it) is queried again, that control alone.

#include <cstdint>
#include <memory>
#include <vector>

#include "camera/platform/HResult.h"
#include "camera/platform/kit/PropertyFamilyObject.h"
#include "camera/platform/v4l2/device/ControlMap.h"
#include "camera/platform/v4l2/device/V4l2Device.h"

namespace varnholt::platform::v4l2 {

using PropertyRange = kit::PropertyRange;

class ControlProperties {
 public:
  // Reads the device's control list once; 0 or the query's negative errno.
  static int Create(std::shared_ptr<V4l2Device> device,
                    std::shared_ptr<ControlProperties>& properties);

  HResult GetRange(PropertyFamilyKind family, std::int32_t property, PropertyRange& range);
  HResult Get(PropertyFamilyKind family, std::int32_t property, std::int32_t& value,
              std::int32_t& flags);
  HResult Set(PropertyFamilyKind family, std::int32_t property, std::int32_t value,
              std::int32_t flags);

 private:
  struct Resolved {
    const ControlMapping* mapping = nullptr;
    const V4l2ControlInfo* value = nullptr;
    const V4l2ControlInfo* companion = nullptr;  // only when the device has it
  };

  ControlProperties(std::shared_ptr<V4l2Device> device, std::vector<V4l2ControlInfo> controls)
      : device_(std::move(device)), controls_(std::move(controls)) {}

  const V4l2ControlInfo* FindControl(std::uint32_t id) const;
  HResult Resolve(PropertyFamilyKind family, std::int32_t property, Resolved& resolved) const;
  // The companion's current value (0 without a companion); a negative errno
  // on a failed read.
  int ReadCompanion(const Resolved& resolved, std::int64_t& value);
  // Re-reads one cached control after the driver refused it.
  void Refresh(const V4l2ControlInfo& control);

  std::shared_ptr<V4l2Device> device_;
  std::vector<V4l2ControlInfo> controls_;
};

}  // namespace varnholt::platform::v4l2
