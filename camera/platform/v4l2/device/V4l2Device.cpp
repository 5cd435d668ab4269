#include "camera/platform/v4l2/device/V4l2Device.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "camera/platform/v4l2/device/V4l2RequestLog.h"

namespace varnholt::platform::v4l2 {
namespace {

template <std::size_t N>
std::string FromFixed(const std::uint8_t (&text)[N]) {
  return std::string(reinterpret_cast<const char*>(text),
                     strnlen(reinterpret_cast<const char*>(text), N));
}
template <std::size_t N>
std::string FromFixed(const char (&text)[N]) {
  return std::string(text, strnlen(text, N));
}

// Fills the request's value field the way the driver reads it: 64-bit
// controls in value64, every other scalar in value.
std::vector<v4l2_ext_control> ToExt(std::span<const V4l2ControlValue> values) {
  std::vector<v4l2_ext_control> ext(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    ext[i].id = values[i].id;
    if (values[i].is64Bit)
      ext[i].value64 = values[i].value;
    else
      ext[i].value = static_cast<std::int32_t>(values[i].value);
  }
  return ext;
}

constexpr std::uint32_t kNextControl = V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND;
// Past a control the driver fails to describe, the ids the walk tries one by
// one before it goes on at the next control class: controls of a class
// mostly have consecutive ids.
constexpr std::uint32_t kProbesPerGap = 8;
// Failed answers after which the walk ends with what it found, so that a
// driver failing every query costs a bounded time, not one per class.
constexpr int kMaxFailedQueries = 32;
// Control classes live in bits 16-27 of an id (V4L2_CTRL_ID2CLASS).
constexpr std::uint32_t kClassStep = 0x10000;
constexpr std::uint32_t kPastLastClass = 0x10000000;

// Where the walk goes on past a gap it could not probe across: just before
// the class's standard controls (its heading sits far below them, at 1),
// then just before its driver-private ones, then at the next class. Below
// the user class there are no controls at all.
std::uint32_t RestartAfter(std::uint32_t at) {
  const std::uint32_t cls = std::max<std::uint32_t>(V4L2_CTRL_ID2CLASS(at), V4L2_CTRL_CLASS_USER);
  for (const std::uint32_t point : {cls, cls | 0x8FF, cls | 0xFFF})
    if (point > at)
      return point;
  return cls + kClassStep;
}

// The answers of a USB camera whose request failed on the wire; the next
// try usually goes through.
bool IsTransferError(int negativeErrno) {
  return negativeErrno == -EIO || negativeErrno == -EPROTO || negativeErrno == -EPIPE ||
         negativeErrno == -ETIMEDOUT;
}

// The device itself is gone: nothing further can be asked.
bool IsDeviceGone(int negativeErrno) {
  return negativeErrno == -ENODEV || negativeErrno == -ENXIO;
}

}  // namespace

bool V4l2Capabilities::IsVideoCapture() const {
  return (deviceCaps & V4L2_CAP_VIDEO_CAPTURE) != 0;
}

bool V4l2ControlInfo::IsWritable() const {
  return (flags & (V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_GRABBED)) == 0;
}

bool V4l2ControlInfo::IsInactive() const {
  return (flags & V4L2_CTRL_FLAG_INACTIVE) != 0;
}

bool V4l2ControlInfo::Is64Bit() const {
  return type == V4L2_CTRL_TYPE_INTEGER64;
}

int V4l2Device::Open(const std::string& path, std::unique_ptr<V4l2Device>& device) {
  std::unique_ptr<NodeIoctlDevice> node;
  if (int ret = NodeIoctlDevice::Open(path, node); ret < 0)
    return ret;
  device = std::make_unique<V4l2Device>(std::move(node));
  return 0;
}

int V4l2Device::Request(unsigned long request, void* arg, std::initializer_list<int> quiet) {
  int ret = io_->Ioctl(request, arg);
  if (ret == 0)
    return 0;
  // A failed read leaves its argument as it was sent, so the same request
  // goes again; other V4L2 programs retry such reads once as well.
  if (IsTransferError(ret) && IsReadRequest(request)) {
    LogFailedRequest(
        request, arg, ret, [this](std::uint32_t id) { return ControlName(id); },
        "trying once more");
    ret = io_->Ioctl(request, arg);
  }
  if (IsDeviceGone(ret))
    gone_.store(true, std::memory_order_relaxed);
  if (ret < 0 && std::find(quiet.begin(), quiet.end(), ret) == quiet.end())
    LogFailedRequest(request, arg, ret, [this](std::uint32_t id) { return ControlName(id); });
  return ret;
}

void V4l2Device::RememberNames(const std::vector<V4l2ControlInfo>& controls) {
  std::lock_guard lock(namesMutex_);
  for (const auto& c : controls)
    names_[c.id] = c.name;
}

std::string V4l2Device::ControlName(std::uint32_t id) {
  std::lock_guard lock(namesMutex_);
  const auto it = names_.find(id);
  return it == names_.end() ? std::string() : it->second;
}

int V4l2Device::QueryCapabilities(V4l2Capabilities& caps) {
  v4l2_capability cap{};
  if (int ret = Request(VIDIOC_QUERYCAP, &cap); ret < 0)
    return ret;
  caps.driver = FromFixed(cap.driver);
  caps.card = FromFixed(cap.card);
  caps.busInfo = FromFixed(cap.bus_info);
  // Old drivers without per-node caps describe the node by the whole device.
  caps.deviceCaps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
  return 0;
}

int V4l2Device::QueryMenu(V4l2ControlInfo& control) {
  // Item indices are a 32-bit field, and no device has menus of hundreds of
  // items: a driver answering a wider range has only its first items asked
  // for, so that binding never spins through billions of queries.
  constexpr std::int64_t kMaxMenuItems = 256;
  const std::int64_t first =
      std::clamp<std::int64_t>(control.minimum, 0, std::numeric_limits<std::uint32_t>::max());
  const std::int64_t last = std::min({control.maximum, first + kMaxMenuItems - 1,
                                      std::int64_t{std::numeric_limits<std::uint32_t>::max()}});
  for (std::int64_t index = first; index <= last; ++index) {
    v4l2_querymenu item{};
    item.id = control.id;
    item.index = static_cast<std::uint32_t>(index);
    // EINVAL is a hole: the driver leaves out what the device lacks. An item
    // the device failed to name is left out the same way, so the rest of
    // the menu stays usable.
    const int ret = Request(VIDIOC_QUERYMENU, &item, {-EINVAL});
    if (IsDeviceGone(ret))
      return ret;
    if (ret < 0)
      continue;
    if (control.type == V4L2_CTRL_TYPE_MENU)
      control.menu.push_back({index, FromFixed(item.name)});
    else
      control.menu.push_back({index, std::to_string(item.value)});
  }
  return 0;
}

int V4l2Device::Describe(const v4l2_query_ext_ctrl& query, V4l2ControlInfo& info) {
  info.id = query.id;
  info.type = query.type;
  info.name = FromFixed(query.name);
  info.minimum = query.minimum;
  info.maximum = query.maximum;
  info.step = query.step;
  info.defaultValue = query.default_value;
  info.flags = query.flags;
  if (query.type == V4L2_CTRL_TYPE_MENU || query.type == V4L2_CTRL_TYPE_INTEGER_MENU)
    return QueryMenu(info);
  return 0;
}

int V4l2Device::QueryControls(std::vector<V4l2ControlInfo>& controls) {
  std::vector<V4l2ControlInfo> found;
  std::string group;         // the heading of the class being walked
  std::uint32_t known = 0;   // the last id answered, or where a jump landed
  std::uint32_t probes = 0;  // ids tried past a failing control
  int failures = 0;
  for (;;) {
    // With the NEXT flags the driver answers the first control above the id.
    v4l2_query_ext_ctrl query{};
    query.id = (known + probes) | kNextControl;
    // EINVAL: past the last control. ENOTTY: a driver without a control
    // handler, a camera without controls.
    const int ret = Request(VIDIOC_QUERY_EXT_CTRL, &query, {-EINVAL, -ENOTTY});
    if (ret == -EINVAL || ret == -ENOTTY)
      break;
    if (IsDeviceGone(ret) || ret == -ENOMEM)
      return ret;
    if (ret < 0) {
      // The first control above known+probes failed, and its id is not
      // told. Asking from one id further on skips it once the id reaches
      // it; after a few tries the walk goes on from the next likely start.
      if (++failures > kMaxFailedQueries)
        break;
      if (probes < kProbesPerGap) {
        ++probes;
        continue;
      }
      known = RestartAfter(known + probes);
      probes = 0;
      if (known >= kPastLastClass)
        break;
      continue;
    }
    // A driver answering backwards would walk forever, and so would one
    // answering an id with the flag bits set: the id without them is next.
    if ((query.id & ~kNextControl) <= known + probes)
      break;
    known = query.id & ~kNextControl;
    probes = 0;
    if (query.type == V4L2_CTRL_TYPE_CTRL_CLASS) {
      group = FromFixed(query.name);
    } else if (!(query.flags & V4L2_CTRL_FLAG_DISABLED)) {
      V4l2ControlInfo info;
      if (int describeRet = Describe(query, info); describeRet < 0)
        return describeRet;
      info.group = group;
      found.push_back(std::move(info));
    }
  }
  RememberNames(found);
  controls = std::move(found);
  return 0;
}

int V4l2Device::QueryControl(std::uint32_t id, V4l2ControlInfo& control) {
  v4l2_query_ext_ctrl query{};
  query.id = id;
  // EINVAL: the camera has no such control, an answer, not a fault.
  if (int ret = Request(VIDIOC_QUERY_EXT_CTRL, &query, {-EINVAL}); ret < 0)
    return ret;
  V4l2ControlInfo info;
  if (int ret = Describe(query, info); ret < 0)
    return ret;
  control = std::move(info);
  return 0;
}

int V4l2Device::GetControls(std::span<V4l2ControlValue> values) {
  std::vector<v4l2_ext_control> ext = ToExt(values);
  v4l2_ext_controls request{};
  request.which = V4L2_CTRL_WHICH_CUR_VAL;
  request.count = static_cast<std::uint32_t>(ext.size());
  request.controls = ext.data();
  if (int ret = Request(VIDIOC_G_EXT_CTRLS, &request); ret < 0)
    return ret;
  for (std::size_t i = 0; i < values.size(); ++i)
    values[i].value = values[i].is64Bit ? ext[i].value64 : ext[i].value;
  return 0;
}

int V4l2Device::ReadControlClass(std::span<V4l2ControlValue> values) {
  if (values.empty())
    return 0;
  std::vector<v4l2_ext_control> ext = ToExt(values);
  v4l2_ext_controls request{};
  // By class, not CUR_VAL: the form every driver since the extended
  // controls knows.
  request.ctrl_class = V4L2_CTRL_ID2CLASS(values[0].id);
  request.count = static_cast<std::uint32_t>(ext.size());
  request.controls = ext.data();
  // EINVAL and EACCES are answers here: the caller reads one by one.
  if (int ret = Request(VIDIOC_G_EXT_CTRLS, &request, {-EINVAL, -ENOTTY, -EACCES, -EBUSY}); ret < 0)
    return ret;
  for (std::size_t i = 0; i < values.size(); ++i)
    values[i].value = values[i].is64Bit ? ext[i].value64 : ext[i].value;
  return 0;
}

int V4l2Device::SubscribeControlEvents(std::uint32_t id) {
  v4l2_event_subscription subscription{};
  subscription.type = V4L2_EVENT_CTRL;
  subscription.id = id;
  return Request(VIDIOC_SUBSCRIBE_EVENT, &subscription, {-EINVAL, -ENOTTY});
}

int V4l2Device::DequeueControlEvent(V4l2ControlEvent& event) {
  for (;;) {
    v4l2_event raw{};
    if (int ret = Request(VIDIOC_DQEVENT, &raw, {-ENOENT}); ret < 0)
      return ret;
    if (raw.type != V4L2_EVENT_CTRL)
      continue;  // not ours to handle; the queue goes on
    const v4l2_event_ctrl& ctrl = raw.u.ctrl;
    V4l2ControlEvent out;
    out.id = raw.id;
    out.valueChanged = (ctrl.changes & V4L2_EVENT_CTRL_CH_VALUE) != 0;
    out.rangeChanged = (ctrl.changes & V4L2_EVENT_CTRL_CH_RANGE) != 0;
    out.flagsChanged = (ctrl.changes & V4L2_EVENT_CTRL_CH_FLAGS) != 0;
    out.value = ctrl.type == V4L2_CTRL_TYPE_INTEGER64 ? ctrl.value64 : ctrl.value;
    out.minimum = ctrl.minimum;
    out.maximum = ctrl.maximum;
    out.step = static_cast<std::uint64_t>(ctrl.step);
    out.defaultValue = ctrl.default_value;
    out.flags = ctrl.flags;
    event = out;
    return 0;
  }
}

int V4l2Device::SetControls(std::span<const V4l2ControlValue> values) {
  std::vector<v4l2_ext_control> ext = ToExt(values);
  v4l2_ext_controls request{};
  request.which = V4L2_CTRL_WHICH_CUR_VAL;
  request.count = static_cast<std::uint32_t>(ext.size());
  request.controls = ext.data();
  return Request(VIDIOC_S_EXT_CTRLS, &request);
}

}  // namespace varnholt::platform::v4l2
