#pragma once

// The published names and ids of the two property families and the two
// blocks, shared by the JSON parser, the state file and varnholt-vcam.

#include <cstdint>
#include <optional>
#include <string_view>

#include "camera/platform/Guid.h"
#include "camera/platform/virtual/CameraDescription.h"

namespace varnholt::platform::virtualcam {

struct PropertyName {
  PropertyFamilyKind family;
  std::int32_t id;
  std::string_view name;
};

struct BlockInfo {
  Block block;
  std::string_view key;  // JSON key, state key and varnholt-vcam name
  Guid propSet;
  std::uint32_t modeCount;  // valid modes are 0 .. modeCount-1
};

// The JSON key of a family ("videoProcAmp", "cameraControl").
std::string_view FamilyKey(PropertyFamilyKind family);

// Case-insensitive lookup of a published property name.
std::optional<PropertyName> FindPropertyName(std::string_view name);
std::optional<std::int32_t> PropertyIdByName(PropertyFamilyKind family, std::string_view name);
// The published name, or empty for an id without one.
std::string_view PropertyNameOf(PropertyFamilyKind family, std::int32_t id);

const BlockInfo& InfoOf(Block block);
std::optional<Block> BlockBySet(const Guid& propSet);
// Case-insensitive lookup of "flash" / "stabilization".
std::optional<Block> BlockByName(std::string_view name);

}  // namespace varnholt::platform::virtualcam
