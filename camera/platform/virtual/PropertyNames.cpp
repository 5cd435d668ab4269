#include "camera/platform/virtual/PropertyNames.h"

#include <algorithm>
#include <cctype>

namespace varnholt::platform::virtualcam {
namespace {

constexpr PropertyFamilyKind kVpa = PropertyFamilyKind::VideoProcAmp;
constexpr PropertyFamilyKind kCc = PropertyFamilyKind::CameraControl;

constexpr PropertyName kNames[] = {
    {kVpa, 0, "Brightness"},
    {kVpa, 1, "Contrast"},
    {kVpa, 2, "Hue"},
    {kVpa, 3, "Saturation"},
    {kVpa, 4, "Sharpness"},
    {kVpa, 5, "Gamma"},
    {kVpa, 6, "ColorEnable"},
    {kVpa, 7, "WhiteBalance"},
    {kVpa, 8, "BacklightCompensation"},
    {kVpa, 9, "Gain"},
    {kVpa, 10, "DigitalMultiplier"},
    {kVpa, 11, "DigitalMultiplierLimit"},
    {kVpa, 12, "WhiteBalanceComponent"},
    {kVpa, 13, "PowerLineFrequency"},
    {kCc, 0, "Pan"},
    {kCc, 1, "Tilt"},
    {kCc, 2, "Roll"},
    {kCc, 3, "Zoom"},
    {kCc, 4, "Exposure"},
    {kCc, 5, "Iris"},
    {kCc, 6, "Focus"},
    {kCc, 7, "ScanMode"},
    {kCc, 18, "FocalLength"},
};

const BlockInfo kBlocks[] = {
    {Block::Flash, "flash", guids::KsPropSetFlash, 3},
    {Block::Stabilization, "stabilization", guids::KsPropSetVideoStabilization, 5},
};

bool SameText(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::string_view FamilyKey(PropertyFamilyKind family) {
  return family == PropertyFamilyKind::VideoProcAmp ? "videoProcAmp" : "cameraControl";
}

std::optional<PropertyName> FindPropertyName(std::string_view name) {
  for (const auto& entry : kNames)
    if (SameText(entry.name, name))
      return entry;
  return std::nullopt;
}

std::optional<std::int32_t> PropertyIdByName(PropertyFamilyKind family, std::string_view name) {
  const auto entry = FindPropertyName(name);
  if (!entry || entry->family != family)
    return std::nullopt;
  return entry->id;
}

std::string_view PropertyNameOf(PropertyFamilyKind family, std::int32_t id) {
  for (const auto& entry : kNames)
    if (entry.family == family && entry.id == id)
      return entry.name;
  return {};
}

const BlockInfo& InfoOf(Block block) {
  return kBlocks[static_cast<std::size_t>(block)];
}

std::optional<Block> BlockBySet(const Guid& propSet) {
  for (const auto& info : kBlocks)
    if (info.propSet == propSet)
      return info.block;
  return std::nullopt;
}

std::optional<Block> BlockByName(std::string_view name) {
  for (const auto& info : kBlocks)
    if (SameText(info.key, name))
      return info.block;
  return std::nullopt;
}

}  // namespace varnholt::platform::virtualcam
