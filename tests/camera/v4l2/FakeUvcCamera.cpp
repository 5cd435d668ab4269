#include "tests/camera/v4l2/FakeUvcCamera.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace varnholt::test {
namespace {

FakeControl Int(std::uint32_t id, const char* name, std::int64_t min, std::int64_t max,
                std::int64_t step, std::int64_t def) {
  FakeControl c;
  c.id = id;
  c.name = name;
  c.minimum = min;
  c.maximum = max;
  c.step = step;
  c.defaultValue = c.value = def;
  return c;
}

FakeControl Bool(std::uint32_t id, const char* name, std::int64_t def) {
  FakeControl c = Int(id, name, 0, 1, 1, def);
  c.type = V4L2_CTRL_TYPE_BOOLEAN;
  return c;
}

FakeControl LockedBy(FakeControl c, std::uint32_t master, std::int64_t manual) {
  c.master = master;
  c.masterManual = manual;
  return c;
}

// Takes a pointer, not an array reference: some fields sit in packed structs.
void CopyText(void* to, std::size_t size, const std::string& from) {
  std::memset(to, 0, size);
  std::memcpy(to, from.data(), std::min(from.size(), size - 1));
}

}  // namespace

std::vector<FakeControl> FakeUvcCamera::FullWebcam() {
  FakeControl userClass;
  userClass.id = V4L2_CID_USER_CLASS;
  userClass.type = V4L2_CTRL_TYPE_CTRL_CLASS;
  userClass.name = "User Controls";
  userClass.flags = V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_WRITE_ONLY;
  FakeControl cameraClass = userClass;
  cameraClass.id = V4L2_CID_CAMERA_CLASS;
  cameraClass.name = "Camera Controls";

  FakeControl powerLine = Int(V4L2_CID_POWER_LINE_FREQUENCY, "Power Line Frequency", 0, 3, 1, 1);
  powerLine.type = V4L2_CTRL_TYPE_MENU;
  powerLine.menu = {{0, "Disabled"}, {1, "50 Hz"}, {2, "60 Hz"}, {3, "Auto"}};

  // UVC webcams offer only manual and aperture priority.
  FakeControl exposureAuto = Int(V4L2_CID_EXPOSURE_AUTO, "Auto Exposure", 0, 3, 1, 3);
  exposureAuto.type = V4L2_CTRL_TYPE_MENU;
  exposureAuto.menu = {{1, "Manual Mode"}, {3, "Aperture Priority Mode"}};

  std::vector<FakeControl> all = {
      userClass,
      Int(V4L2_CID_BRIGHTNESS, "Brightness", -64, 64, 1, 0),
      Int(V4L2_CID_CONTRAST, "Contrast", 0, 95, 1, 32),
      Int(V4L2_CID_SATURATION, "Saturation", 0, 100, 1, 55),
      LockedBy(Int(V4L2_CID_HUE, "Hue", -2000, 2000, 100, 0), V4L2_CID_HUE_AUTO, 0),
      Bool(V4L2_CID_AUTO_WHITE_BALANCE, "White Balance, Automatic", 1),
      Int(V4L2_CID_GAMMA, "Gamma", 100, 300, 1, 165),
      LockedBy(Int(V4L2_CID_GAIN, "Gain", 0, 255, 1, 16), V4L2_CID_AUTOGAIN, 0),
      Bool(V4L2_CID_AUTOGAIN, "Gain, Automatic", 0),
      powerLine,
      Bool(V4L2_CID_HUE_AUTO, "Hue, Automatic", 0),
      LockedBy(Int(V4L2_CID_WHITE_BALANCE_TEMPERATURE, "White Balance Temperature", 2800, 6500, 10,
                   4600),
               V4L2_CID_AUTO_WHITE_BALANCE, 0),
      Int(V4L2_CID_SHARPNESS, "Sharpness", 0, 7, 1, 2),
      Int(V4L2_CID_BACKLIGHT_COMPENSATION, "Backlight Compensation", 0, 2, 1, 1),
      cameraClass,
      exposureAuto,
      LockedBy(Int(V4L2_CID_EXPOSURE_ABSOLUTE, "Exposure Time, Absolute", 3, 2047, 1, 250),
               V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL),
      Int(V4L2_CID_PAN_ABSOLUTE, "Pan, Absolute", -36000, 36000, 3600, 0),
      Int(V4L2_CID_TILT_ABSOLUTE, "Tilt, Absolute", -36000, 36000, 3600, 0),
      LockedBy(Int(V4L2_CID_FOCUS_ABSOLUTE, "Focus, Absolute", 0, 250, 5, 0), V4L2_CID_FOCUS_AUTO,
               0),
      Bool(V4L2_CID_FOCUS_AUTO, "Focus, Automatic Continuous", 1),
      LockedBy(Int(V4L2_CID_IRIS_ABSOLUTE, "Iris, Absolute", 0, 10, 1, 4), V4L2_CID_EXPOSURE_AUTO,
               V4L2_EXPOSURE_MANUAL),
      Int(V4L2_CID_ZOOM_ABSOLUTE, "Zoom, Absolute", 100, 500, 1, 100),
  };
  return all;
}

FakeControl* FakeUvcCamera::Find(std::uint32_t id) {
  for (auto& c : controls_)
    if (c.id == id)
      return &c;
  return nullptr;
}

void FakeUvcCamera::Remove(std::uint32_t id) {
  std::erase_if(controls_, [id](const FakeControl& c) { return c.id == id; });
}

int FakeUvcCamera::Ioctl(unsigned long request, void* arg) {
  if (failNext) {
    return -std::exchange(failNext, 0);
  }
  switch (request) {
    case VIDIOC_QUERYCAP: {
      auto* cap = static_cast<v4l2_capability*>(arg);
      *cap = {};
      CopyText(cap->driver, sizeof cap->driver, "uvcvideo");
      CopyText(cap->card, sizeof cap->card, "Fake UVC Webcam");
      CopyText(cap->bus_info, sizeof cap->bus_info, "usb-0000:00:14.0-1");
      cap->device_caps = deviceCaps;
      cap->capabilities = deviceCaps | V4L2_CAP_DEVICE_CAPS | V4L2_CAP_META_CAPTURE;
      return 0;
    }
    case VIDIOC_QUERY_EXT_CTRL:
      return QueryExt(arg);
    case VIDIOC_QUERYMENU:
      return QueryMenu(arg);
    case VIDIOC_G_EXT_CTRLS:
      return GetExt(arg);
    case VIDIOC_S_EXT_CTRLS:
      return SetExt(arg);
    default:
      return -ENOTTY;
  }
}

int FakeUvcCamera::QueryExt(void* arg) {
  auto* q = static_cast<v4l2_query_ext_ctrl*>(arg);
  const std::uint32_t mask = V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND;
  const std::uint32_t id = q->id & ~mask;
  const FakeControl* found = nullptr;
  if (q->id & mask) {
    for (const auto& c : controls_)
      if (c.id > id && (!found || c.id < found->id))
        found = &c;
  } else {
    found = Find(id);
  }
  if (!found)
    return -EINVAL;
  *q = {};
  q->id = found->id;
  q->type = found->type;
  CopyText(q->name, sizeof q->name, found->name);
  q->minimum = found->minimum;
  q->maximum = found->maximum;
  q->step = static_cast<std::uint64_t>(found->step);
  q->default_value = found->defaultValue;
  q->flags = found->flags;
  if (found->master) {
    const FakeControl* master = Find(found->master);
    if (master && master->value != found->masterManual)
      q->flags |= V4L2_CTRL_FLAG_INACTIVE;
  }
  q->elems = 1;
  q->elem_size = 4;
  return 0;
}

int FakeUvcCamera::QueryMenu(void* arg) {
  auto* m = static_cast<v4l2_querymenu*>(arg);
  const FakeControl* c = Find(m->id);
  if (!c || c->type != V4L2_CTRL_TYPE_MENU)
    return -EINVAL;
  const auto item = c->menu.find(m->index);
  if (item == c->menu.end())
    return -EINVAL;
  CopyText(m->name, sizeof m->name, item->second);
  return 0;
}

int FakeUvcCamera::GetExt(void* arg) {
  auto* request = static_cast<v4l2_ext_controls*>(arg);
  for (std::uint32_t i = 0; i < request->count; ++i) {
    const FakeControl* c = Find(request->controls[i].id);
    if (!c || c->type == V4L2_CTRL_TYPE_CTRL_CLASS) {
      request->error_idx = i;
      return -EINVAL;
    }
  }
  for (std::uint32_t i = 0; i < request->count; ++i)
    request->controls[i].value = static_cast<std::int32_t>(Find(request->controls[i].id)->value);
  return 0;
}

bool FakeUvcCamera::Locked(const FakeControl& control, const Write& request) {
  if (!control.master)
    return false;
  for (const auto& [id, value] : request)
    if (id == control.master && value == control.masterManual)
      return false;  // switched to manual in the same request
  const FakeControl* master = Find(control.master);
  return master && master->value != control.masterManual;
}

int FakeUvcCamera::SetExt(void* arg) {
  auto* request = static_cast<v4l2_ext_controls*>(arg);
  Write write;
  for (std::uint32_t i = 0; i < request->count; ++i)
    write.emplace_back(std::uint32_t{request->controls[i].id},
                       std::int64_t{request->controls[i].value});
  if (beforeWrite)
    beforeWrite();
  writes.push_back(write);
  // The whole request is checked before any of it is applied.
  for (std::uint32_t i = 0; i < request->count; ++i) {
    request->error_idx = request->count;
    const FakeControl* c = Find(write[i].first);
    if (!c)
      return -EINVAL;
    if (c->flags & V4L2_CTRL_FLAG_READ_ONLY)
      return -EACCES;
    if (Locked(*c, write))
      return -lockedErrno;
    if (c->type == V4L2_CTRL_TYPE_MENU && !c->menu.contains(write[i].second))
      return -EINVAL;
    if (write[i].second < c->minimum || write[i].second > c->maximum)
      return -ERANGE;
  }
  for (const auto& [id, value] : write)
    Find(id)->value = value;
  return 0;
}

}  // namespace varnholt::test
