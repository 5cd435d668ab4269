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

// Controls a batch may read: scalars the driver lets us read.
bool Readable(const V4l2ControlInfo& control) {
  if (control.flags & V4L2_CTRL_FLAG_WRITE_ONLY)
    return false;
  switch (control.type) {
    case V4L2_CTRL_TYPE_INTEGER:
    case V4L2_CTRL_TYPE_BOOLEAN:
    case V4L2_CTRL_TYPE_MENU:
    case V4L2_CTRL_TYPE_INTEGER_MENU:
    case V4L2_CTRL_TYPE_INTEGER64:
      return true;
    default:
      return false;
  }
}

std::mutex clockMutex;
ControlProperties::Clock testClock;

std::chrono::steady_clock::time_point Now() {
  std::lock_guard lock(clockMutex);
  return testClock ? testClock() : std::chrono::steady_clock::now();
}

}  // namespace

void ControlProperties::SetClockForTesting(Clock clock) {
  std::lock_guard lock(clockMutex);
  testClock = std::move(clock);
}

int ControlProperties::Create(std::shared_ptr<V4l2Device> device,
                              std::shared_ptr<ControlProperties>& properties) {
  std::vector<V4l2ControlInfo> controls;
  if (int ret = device->QueryControls(controls); ret < 0)
    return ret;
  properties.reset(new ControlProperties(std::move(device), std::move(controls)));
  properties->PrepareSnapshot();
  return 0;
}

ControlProperties::~ControlProperties() {
  if (released_)
    released_();
}

void ControlProperties::PrepareSnapshot() {
  std::set<std::uint32_t> ids;
  for (const ControlMapping& mapping : ControlMappings()) {
    Resolved r;
    if (Resolve(mapping.family, mapping.property, r) != hr::Ok)
      continue;
    for (const V4l2ControlInfo* control : {r.value, r.companion})
      if (control && Readable(*control) && ids.insert(control->id).second)
        classes_[V4L2_CTRL_ID2CLASS(control->id)].values.push_back(
            {control->id, 0, control->Is64Bit()});
  }
  // Events are optional: without them the snapshot's short life alone keeps
  // values current. A driver without events refuses the first subscription.
  events_ = !ids.empty();
  bool first = true;
  for (std::uint32_t id : ids) {
    if (const int ret = device_->SubscribeControlEvents(id); ret < 0 && (first || ret == -ENOTTY)) {
      events_ = false;
      break;
    }
    first = false;
  }
}

const ControlProperties::ClassSnapshot* ControlProperties::Fresh(std::uint32_t id, int& ret) {
  ret = 0;
  const auto found = classes_.find(V4L2_CTRL_ID2CLASS(id));
  if (found == classes_.end() || found->second.refused)
    return nullptr;
  ClassSnapshot& cls = found->second;
  const auto now = Now();
  if (cls.valid && now - cls.taken < kSnapshotLifetime)
    return &cls;
  cls.valid = false;
  ret = device_->ReadControlClass(cls.values);
  // An old driver refuses the class request as such: it reads one by one
  // from now on. Other failures (a control refusing, a transfer error)
  // leave the class to single reads this time only.
  if (ret == -EINVAL || ret == -ENOTTY)
    cls.refused = true;
  if (ret < 0)
    return nullptr;
  cls.valid = true;
  cls.taken = now;
  return &cls;
}

int ControlProperties::FromSnapshot(const Resolved& resolved, std::int64_t& value,
                                    std::int64_t& companion) {
  if (events_ && device_->Io().EventPending())
    TakeEventsLocked();
  auto lookup = [&](const V4l2ControlInfo& control, std::int64_t& out) {
    int ret = 0;
    const ClassSnapshot* cls = Fresh(control.id, ret);
    if (!cls)
      return ret == -ENODEV || ret == -ENXIO ? ret : 0;
    for (const V4l2ControlValue& v : cls->values)
      if (v.id == control.id) {
        out = v.value;
        return 1;
      }
    return 0;
  };
  companion = 0;
  if (const int ret = lookup(*resolved.value, value); ret <= 0)
    return ret;
  return resolved.companion ? lookup(*resolved.companion, companion) : 1;
}

void ControlProperties::InvalidateSnapshot() {
  for (auto& [id, cls] : classes_)
    cls.valid = false;
}

EventPoll ControlProperties::EventSignal() const {
  return events_ ? device_->Io().EventSignal() : EventPoll{};
}

bool ControlProperties::TakeEvents() {
  std::lock_guard lock(mutex_);
  return TakeEventsLocked();
}

bool ControlProperties::TakeEventsLocked() {
  if (!events_)
    return false;
  bool any = false;
  V4l2ControlEvent event;
  int ret;
  while ((ret = device_->DequeueControlEvent(event)) == 0) {
    ApplyEvent(event);
    any = true;
  }
  // A device that is gone keeps signalling: nobody should wait on it.
  if (ret != -ENOENT)
    events_ = false;
  return any;
}

void ControlProperties::ApplyEvent(const V4l2ControlEvent& event) {
  V4l2ControlInfo* cached = nullptr;
  for (auto& c : controls_)
    if (c.id == event.id)
      cached = &c;
  if (!cached)
    return;
  if (event.flagsChanged)
    cached->flags = event.flags;
  if (event.rangeChanged) {
    // The event carries 32-bit ends and no menu names: those controls are
    // asked again.
    if (cached->menu.empty() && !cached->Is64Bit()) {
      cached->minimum = event.minimum;
      cached->maximum = event.maximum;
      cached->step = event.step;
      cached->defaultValue = event.defaultValue;
    } else {
      Refresh(*cached);
    }
  }
  if (event.valueChanged)
    if (auto cls = classes_.find(V4L2_CTRL_ID2CLASS(event.id)); cls != classes_.end())
      for (V4l2ControlValue& v : cls->second.values)
        if (v.id == event.id)
          v.value = event.value;
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
  // The cached ranges and values are of a device that is no more.
  if (device_->Gone())
    return hr::DeviceNotConnected;
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
  InvalidateSnapshot();
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
  std::lock_guard lock(mutex_);
  if (events_ && device_->Io().EventPending())
    TakeEventsLocked();
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
  std::lock_guard lock(mutex_);
  Resolved r;
  if (HResult code = Resolve(family, property, r); code != hr::Ok)
    return code;
  std::int64_t current = 0, mode = 0;
  if (const int ret = FromSnapshot(r, current, mode); ret < 0)
    return ResultFromErrno(ret);
  else if (ret > 0) {
    value = ToInt32(current);
    flags = (r.companion && IsAutomatic(r.mapping->encoding, mode)) ? kPropertyFlagsAuto
                                                                    : kPropertyFlagsManual;
    return hr::Ok;
  }
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
  std::lock_guard lock(mutex_);
  Resolved r;
  if (HResult code = Resolve(family, property, r); code != hr::Ok)
    return code;
  // Whatever the write does, the values read before it are history; so are
  // the other controls its mode switch may move.
  InvalidateSnapshot();
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
