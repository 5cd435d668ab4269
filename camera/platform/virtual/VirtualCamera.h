#pragma once

// One virtual camera's device behaviour: the described properties, blocks
// and formats, with their current values kept in the shared state file so
// that every process sees the same device.

#include <cstdint>
#include <memory>
#include <optional>

#include "camera/platform/kit/PropertyFamilyObject.h"
#include "camera/platform/virtual/CameraDescription.h"
#include "camera/platform/virtual/StateFile.h"

namespace varnholt::platform::virtualcam {

using PropertyRange = kit::PropertyRange;

class VirtualCamera {
 public:
  VirtualCamera(CameraDescription description, std::shared_ptr<const StateSettings> settings);

  const CameraDescription& Description() const { return description_; }
  const StateFile& State() const { return state_; }

  // A binding to the camera as it is plugged in now. Like a driver's device
  // node, a binding stays dead once the camera is unplugged, even after it
  // is plugged in again; only a new binding reaches it then.
  std::shared_ptr<VirtualCamera> Bind() const;

  // Plugged in (a binding: and still the plug-in it was bound to).
  bool IsConnected() const;
  HResult SetConnected(bool connected);
  // hr::Ok, or hr::DeviceNotConnected once the camera is unplugged.
  HResult CheckConnected() const;
  // Changes with every unplug and plug-in, for watchers of the device set.
  std::int64_t PlugCount() const;

  HResult GetRange(PropertyFamilyKind family, std::int32_t id, PropertyRange& range) const;
  HResult Get(PropertyFamilyKind family, std::int32_t id, std::int32_t& value,
              std::int32_t& flags) const;
  HResult Set(PropertyFamilyKind family, std::int32_t id, std::int32_t value, std::int32_t flags);

  HResult GetBlock(Block block, BlockWords& words) const;
  HResult SetBlock(Block block, const BlockWords& words);

  // The selected format; hr::Fail when the camera has none.
  HResult GetFormatIndex(std::size_t& index) const;
  HResult SetFormatIndex(std::size_t index);

 private:
  // The described property of a connected device, or the code to answer.
  HResult Lookup(PropertyFamilyKind family, std::int32_t id, const StateEntries& state,
                 const PropertyDescription*& property) const;
  HResult LookupBlock(Block block, const StateEntries& state,
                      const BlockDescription*& description) const;

  bool Reachable(const StateEntries& state) const;

  CameraDescription description_;
  StateFile state_;
  std::optional<std::int64_t> boundPlug_;  // set on a binding
};

}  // namespace varnholt::platform::virtualcam
