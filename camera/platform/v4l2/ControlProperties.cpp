#include "camera/platform/v4l2/ControlProperties.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "camera/platform/Interfaces.h"
#include "camera/platform/v4l2/V4l2Errors.h"

namespace varnholt::platform::v4l2 {
namespace {

std::int32_t ToInt32(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::vector<std::int64_t> OfferedValues(const V4l2ControlInfo& control) {
  std::vector<std::int64_t> offered;
  if (control.menu.empty()) {
    // The modes of every encoding lie near zero: a range is walked there
    // besides its ends, so that a driver answering a range of billions costs
    // no billions of steps.
    constexpr std::int64_t kWindow = 256;
    if (control.minimum <= control.maximum)
      offered.push_back(control.minimum);
    if (control.minimum < control.maximum) {
      const std::int64_t last = std::min(control.maximum - 1, kWindow);
      for (std::int64_t v = std::max(control.minimum + 1, -kWindow); v <= last; ++v)
        offered.push_back(v);
      offered.push_back(control.maximum);
    }
  } else {
    for (const auto& item : control.menu)
      offered.push_back(item.value);
  }
  return offered;
}

// The driver's answers that may mean a control's flags changed.
bool Refused(int negativeErrno) {
  return negativeErrno == -EACCES || negativeErrno == -EBUSY;
}

}  // namespace

int ControlProperties::Create(std::shared_ptr<V4l2Device> device,
                              std::shared_ptr<ControlProperties>& properties) {
  std::vector<V4l2ControlInfo> controls;
  if (int ret = device->QueryControls(controls); ret < 0)
    return ret;
  properties.reset(new ControlProperties(std::move(device), std::move(controls)));
  return 0;
}

const V4l2ControlInfo* ControlProperties::FindControl(std::uint32_t id) const {
  if (id == 0)
    return nullptr;
  for (const auto& c : controls_)
    if (c.id == id)
      return &c;
  return nullptr;
}

HResult ControlProperties::Resolve(PropertyFamilyKind family, std::int32_t property,
                                   Resolved& resolved) const {
  resolved.mapping = FindMapping(family, property);
  if (!resolved.mapping)
    return hr::PropIdUnsupported;
  resolved.value = FindControl(resolved.mapping->valueCid);
  if (!resolved.value)
    return hr::PropIdUnsupported;
  if (resolved.mapping->encoding != AutoEncoding::None)
    resolved.companion = FindControl(resolved.mapping->autoCid);
  return hr::Ok;
}

int ControlProperties::ReadCompanion(const Resolved& resolved, std::int64_t& value) {
  value = 0;
  if (!resolved.companion)
    return 0;
  V4l2ControlValue companion{resolved.companion->id, 0, resolved.companion->Is64Bit()};
  if (int ret = device_->GetControls({&companion, 1}); ret < 0)
    return ret;
  value = companion.value;
  return 0;
}

void ControlProperties::Refresh(const V4l2ControlInfo& control) {
  V4l2ControlInfo now;
  if (device_->QueryControl(control.id, now) < 0)
    return;
  // In place, so resolved pointers stay valid; the heading is the walk's.
  for (auto& cached : controls_)
    if (cached.id == now.id) {
      now.group = cached.group;
      cached = std::move(now);
      return;
    }
}

HResult ControlProperties::GetRange(PropertyFamilyKind family, std::int32_t property,
                                    PropertyRange& range) {
  Resolved r;
  if (HResult code = Resolve(family, property, r); code != hr::Ok)
    return code;
  PropertyRange out;
  out.min = ToInt32(r.value->minimum);
  out.max = ToInt32(r.value->maximum);
  out.step = ToInt32(static_cast<std::int64_t>(
      std::min<std::uint64_t>(r.value->step, std::numeric_limits<std::int32_t>::max())));
  out.defaultValue = ToInt32(r.value->defaultValue);
  // Automatic if some mode the camera offers makes it so.
  if (r.companion) {
    const auto offered = OfferedValues(*r.companion);
    if (std::any_of(offered.begin(), offered.end(),
                    [&](std::int64_t v) { return IsAutomatic(r.mapping->encoding, v); }))
      out.caps |= kPropertyFlagsAuto;
  }
  if (r.value->IsWritable())
    out.caps |= kPropertyFlagsManual;
  range = out;
  return hr::Ok;
}

HResult ControlProperties::Get(PropertyFamilyKind family, std::int32_t property,
                               std::int32_t& value, std::int32_t& flags) {
  Resolved r;
  if (HResult code = Resolve(family, property, r); code != hr::Ok)
    return code;
  // Value and companion in one request: the pair is read consistently.
  V4l2ControlValue values[2] = {{r.value->id, 0, r.value->Is64Bit()}, {}};
  std::size_t count = 1;
  if (r.companion)
    values[count++] = {r.companion->id, 0, r.companion->Is64Bit()};
  if (int ret = device_->GetControls({values, count}); ret < 0) {
    if (Refused(ret))
      Refresh(*r.value);
    return ResultFromErrno(ret);
  }
  value = ToInt32(values[0].value);
  flags = (r.companion && IsAutomatic(r.mapping->encoding, values[1].value)) ? kPropertyFlagsAuto
                                                                             : kPropertyFlagsManual;
  return hr::Ok;
}

HResult ControlProperties::Set(PropertyFamilyKind family, std::int32_t property, std::int32_t value,
                               std::int32_t flags) {
  Resolved r;
  if (HResult code = Resolve(family, property, r); code != hr::Ok)
    return code;
  const bool wantAuto = (flags & kPropertyFlagsAuto) != 0;
  if (!wantAuto && (flags & kPropertyFlagsManual) == 0)
    return hr::InvalidArg;

  std::int64_t mode = 0;
  if (int ret = ReadCompanion(r, mode); ret < 0)
    return ResultFromErrno(ret);
  const bool automatic = r.companion && IsAutomatic(r.mapping->encoding, mode);

  if (wantAuto) {
    if (!r.companion)
      return hr::InvalidArg;
    if (automatic)
      return hr::Ok;  // already in the mode; the value is the mode's
    const auto on = CompanionValue(r.mapping->encoding, true, mode, OfferedValues(*r.companion));
    if (!on)
      return hr::InvalidArg;
    V4l2ControlValue write{r.companion->id, *on, r.companion->Is64Bit()};
    return ResultFromErrno(device_->SetControls({&write, 1}));
  }

  if (value < r.value->minimum || value > r.value->maximum)
    return hr::InvalidArg;
  // The companion goes first and in the same request: drivers accept a manual
  // value only together with, or after, switching the mode that holds it off.
  V4l2ControlValue values[2];
  std::size_t count = 0;
  if (r.companion && LocksValue(r.mapping->encoding, mode)) {
    const auto off = CompanionValue(r.mapping->encoding, false, mode, OfferedValues(*r.companion));
    if (!off)
      return hr::InvalidArg;
    values[count++] = {r.companion->id, *off, r.companion->Is64Bit()};
  }
  values[count++] = {r.value->id, value, r.value->Is64Bit()};
  const int ret = device_->SetControls({values, count});
  if (Refused(ret)) {
    Refresh(*r.value);
    // Another program may have switched the mode on since it was read, or
    // the shared menu's other side holds the value.
    std::int64_t now = 0;
    if (ReadCompanion(r, now) == 0)
      return ResultFromValueWrite(ret, r.companion && LocksValue(r.mapping->encoding, now));
  }
  return ResultFromErrno(ret);
}

}  // namespace varnholt::platform::v4l2
