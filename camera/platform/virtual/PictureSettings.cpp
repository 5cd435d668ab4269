#include "camera/platform/virtual/PictureSettings.h"

#include <algorithm>
#include <optional>

namespace varnholt::platform::virtualcam {
namespace {

// The published video-processing ids.
constexpr std::int32_t kBrightness = 0;
constexpr std::int32_t kContrast = 1;
constexpr std::int32_t kHue = 2;
constexpr std::int32_t kSaturation = 3;
constexpr std::int32_t kColorEnable = 6;

struct Reading {
  std::int32_t value;
  double offset;  // (value - default) / (max - min)
};

std::optional<Reading> Read(const VirtualCamera& camera, std::int32_t id) {
  const PropertyDescription* p =
      camera.Description().FindProperty(PropertyFamilyKind::VideoProcAmp, id);
  std::int32_t value = 0;
  std::int32_t flags = 0;
  if (!p || camera.Get(PropertyFamilyKind::VideoProcAmp, id, value, flags) != hr::Ok)
    return std::nullopt;
  const double range = static_cast<double>(p->max) - static_cast<double>(p->min);
  const double offset =
      range > 0 ? (static_cast<double>(value) - static_cast<double>(p->defaultValue)) / range : 0;
  return Reading{value, offset};
}

double Gain(double offset) {
  return std::max(0.0, 1.0 + 2.0 * offset);
}

}  // namespace

PictureSettings ReadPictureSettings(const VirtualCamera& camera) {
  PictureSettings s;
  if (const auto r = Read(camera, kBrightness))
    s.brightness = r->offset * 255.0;
  if (const auto r = Read(camera, kContrast))
    s.contrast = Gain(r->offset);
  if (const auto r = Read(camera, kSaturation))
    s.saturation = Gain(r->offset);
  if (const auto r = Read(camera, kHue))
    s.hueDegrees = r->offset * 360.0;
  if (const auto r = Read(camera, kColorEnable))
    s.colour = r->value != 0;
  return s;
}

}  // namespace varnholt::platform::virtualcam
