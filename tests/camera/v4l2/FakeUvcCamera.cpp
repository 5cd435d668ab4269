#include "tests/camera/v4l2/FakeUvcCamera.h"

#include <linux/videodev2.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>

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
      // The driver takes an iris value in any exposure mode.
      Int(V4L2_CID_IRIS_ABSOLUTE, "Iris, Absolute", 0, 10, 1, 4),
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

std::vector<FakeFormat> FakeUvcCamera::StandardFormats() {
  FakeFormat yuyv{V4L2_PIX_FMT_YUYV, "YUYV 4:2:2", {}, false, {}, {}, {}, {}, {}};
  yuyv.sizes = {{640, 480, {{1, 30}, {1, 15}}}, {320, 240, {{1, 30}}}, {160, 120, {{1, 30}}}};
  FakeFormat mjpeg{V4L2_PIX_FMT_MJPEG, "Motion-JPEG", {}, false, {}, {}, {}, {}, {}};
  mjpeg.sizes = {{1280, 720, {{1, 30}}}, {640, 480, {{1, 30}}}};
  FakeFormat nv12{V4L2_PIX_FMT_NV12, "Y/UV 4:2:0", {}, false, {}, {}, {}, {}, {}};
  nv12.sizes = {{640, 480, {{1, 30}}}};
  return {yuyv, mjpeg, nv12};
}

FakeUvcCamera::FakeUvcCamera(std::vector<FakeControl> controls, std::vector<FakeFormat> formats)
    : controls_(std::move(controls)), formats_(std::move(formats)) {
  memfd_ = ::memfd_create("fake-uvc-buffers", MFD_CLOEXEC);
  ready_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  events_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (!formats_.empty()) {
    const FakeFormat& f = formats_.front();
    if (f.stepwise)
      current_ = {f.pixelFormat, f.maxSize.width, f.maxSize.height, f.fastest};
    else
      current_ = {f.pixelFormat, f.sizes.front().width, f.sizes.front().height,
                  f.sizes.front().intervals.front()};
  }
}

FakeUvcCamera::~FakeUvcCamera() {
  ::close(memfd_);
  ::close(ready_);
  ::close(events_);
}

int FakeUvcCamera::DoIoctl(unsigned long request, void* arg) {
  std::lock_guard lock(mutex_);
  if (unplugged_)
    return -ENODEV;
  if (failNext) {
    return -std::exchange(failNext, 0);
  }
  switch (request) {
    case VIDIOC_QUERYCAP: {
      auto* cap = static_cast<v4l2_capability*>(arg);
      *cap = {};
      CopyText(cap->driver, sizeof cap->driver, "uvcvideo");
      CopyText(cap->card, sizeof cap->card, "Fake UVC Webcam");
      CopyText(cap->bus_info, sizeof cap->bus_info, busInfo.c_str());
      cap->device_caps = deviceCaps;
      cap->capabilities = deviceCaps | V4L2_CAP_DEVICE_CAPS | V4L2_CAP_META_CAPTURE;
      return 0;
    }
    case VIDIOC_QUERY_EXT_CTRL:
      return controlHandler ? QueryExt(arg) : -ENOTTY;
    case VIDIOC_QUERYMENU:
      return controlHandler ? QueryMenu(arg) : -ENOTTY;
    case VIDIOC_G_EXT_CTRLS:
      return controlHandler ? GetExt(arg) : -ENOTTY;
    case VIDIOC_S_EXT_CTRLS:
      return controlHandler ? SetExt(arg) : -ENOTTY;
    case VIDIOC_SUBSCRIBE_EVENT:
      return controlHandler && controlEvents ? Subscribe(arg) : -ENOTTY;
    case VIDIOC_DQEVENT:
      return DequeueEvent(arg);
    case VIDIOC_ENUM_FMT:
      return EnumFmt(arg);
    case VIDIOC_ENUM_FRAMESIZES:
      return EnumSizes(arg);
    case VIDIOC_ENUM_FRAMEINTERVALS:
      return frameIntervals ? EnumIntervals(arg) : -ENOTTY;
    case VIDIOC_G_FMT:
      return GetFmt(arg);
    case VIDIOC_S_FMT:
      return SetFmt(arg);
    case VIDIOC_G_PARM:
      return frameIntervals ? GetParm(arg) : -ENOTTY;
    case VIDIOC_S_PARM:
      return frameIntervals ? SetParm(arg) : -ENOTTY;
    case VIDIOC_REQBUFS:
      return ReqBufs(arg);
    case VIDIOC_QUERYBUF:
      return QueryBuf(arg);
    case VIDIOC_QBUF:
      return QBuf(arg);
    case VIDIOC_DQBUF:
      return DQBuf(arg);
    case VIDIOC_STREAMON:
      return StreamOn(arg);
    case VIDIOC_STREAMOFF:
      return StreamOff(arg);
    default:
      return -ENOTTY;
  }
}

// ---- the capture queue

const FakeFormat* FakeUvcCamera::FindFormat(std::uint32_t pixelFormat) const {
  for (const auto& f : formats_)
    if (f.pixelFormat == pixelFormat)
      return &f;
  return nullptr;
}

std::uint32_t FakeUvcCamera::ImageSize() const {
  const std::uint32_t pixels = current_.width * current_.height;
  switch (current_.pixelFormat) {
    case V4L2_PIX_FMT_YUYV:
      return (current_.width * 2 + rowPadding) * current_.height;
    case V4L2_PIX_FMT_NV12:
      return pixels * 3 / 2;
    default:
      return pixels;  // room for any JPEG of the picture
  }
}

int FakeUvcCamera::EnumFmt(void* arg) {
  auto* d = static_cast<v4l2_fmtdesc*>(arg);
  if (d->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || d->index >= formats_.size())
    return -EINVAL;
  const FakeFormat& f = formats_[d->index];
  const std::uint32_t index = d->index;
  *d = {};
  d->index = index;
  d->type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  d->pixelformat = f.pixelFormat;
  d->flags = f.pixelFormat == V4L2_PIX_FMT_MJPEG ? V4L2_FMT_FLAG_COMPRESSED : 0;
  CopyText(d->description, sizeof d->description, f.description);
  return 0;
}

int FakeUvcCamera::EnumSizes(void* arg) {
  auto* e = static_cast<v4l2_frmsizeenum*>(arg);
  const FakeFormat* f = FindFormat(e->pixel_format);
  if (!f)
    return -EINVAL;
  if (f->stepwise) {
    if (e->index != 0)
      return -EINVAL;
    e->type = V4L2_FRMSIZE_TYPE_STEPWISE;
    e->stepwise = {f->minSize.width,  f->maxSize.width,  f->stepSize.width,
                   f->minSize.height, f->maxSize.height, f->stepSize.height};
    return 0;
  }
  if (e->index >= f->sizes.size())
    return -EINVAL;
  e->type = V4L2_FRMSIZE_TYPE_DISCRETE;
  e->discrete = {f->sizes[e->index].width, f->sizes[e->index].height};
  return 0;
}

int FakeUvcCamera::EnumIntervals(void* arg) {
  auto* e = static_cast<v4l2_frmivalenum*>(arg);
  const FakeFormat* f = FindFormat(e->pixel_format);
  if (!f)
    return -EINVAL;
  if (f->stepwise) {
    if (e->index != 0)
      return -EINVAL;
    e->type = V4L2_FRMIVAL_TYPE_CONTINUOUS;
    e->stepwise.min = {f->fastest.numerator, f->fastest.denominator};
    e->stepwise.max = {f->slowest.numerator, f->slowest.denominator};
    e->stepwise.step = {1, 1};
    return 0;
  }
  for (const auto& size : f->sizes)
    if (size.width == e->width && size.height == e->height) {
      if (e->index >= size.intervals.size())
        return -EINVAL;
      e->type = V4L2_FRMIVAL_TYPE_DISCRETE;
      e->discrete = {size.intervals[e->index].numerator, size.intervals[e->index].denominator};
      return 0;
    }
  return -EINVAL;
}

int FakeUvcCamera::GetFmt(void* arg) {
  auto* f = static_cast<v4l2_format*>(arg);
  if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
    return -EINVAL;
  f->fmt.pix = {};
  f->fmt.pix.pixelformat = current_.pixelFormat;
  f->fmt.pix.width = current_.width;
  f->fmt.pix.height = current_.height;
  f->fmt.pix.field = std::find(interlacedOnly.begin(), interlacedOnly.end(),
                               current_.pixelFormat) == interlacedOnly.end()
                         ? V4L2_FIELD_NONE
                         : V4L2_FIELD_INTERLACED;
  f->fmt.pix.bytesperline =
      current_.pixelFormat == V4L2_PIX_FMT_YUYV ? current_.width * 2 + rowPadding : 0;
  f->fmt.pix.sizeimage = ImageSize();
  return 0;
}

int FakeUvcCamera::SetFmt(void* arg) {
  auto* f = static_cast<v4l2_format*>(arg);
  if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
    return -EINVAL;
  if (heldElsewhere || !buffers_.empty() || streaming_)
    return -EBUSY;
  requestedField = f->fmt.pix.field;
  // Like a driver: an unknown format becomes the first, a size the nearest
  // one offered (here: the first).
  const FakeFormat* format = FindFormat(f->fmt.pix.pixelformat);
  if (!format)
    format = &formats_.front();
  std::uint32_t width = f->fmt.pix.width, height = f->fmt.pix.height;
  FakeInterval interval = current_.interval;
  if (!format->stepwise) {
    const auto size = std::find_if(format->sizes.begin(), format->sizes.end(), [&](const auto& s) {
      return s.width == width && s.height == height;
    });
    const FakeFrameSize& chosen = size == format->sizes.end() ? format->sizes.front() : *size;
    width = chosen.width;
    height = chosen.height;
    interval = chosen.intervals.front();
  }
  current_ = {format->pixelFormat, width, height, interval};
  return GetFmt(arg);
}

int FakeUvcCamera::GetParm(void* arg) {
  auto* p = static_cast<v4l2_streamparm*>(arg);
  if (p->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
    return -EINVAL;
  p->parm.capture = {};
  p->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
  p->parm.capture.timeperframe = {current_.interval.numerator, current_.interval.denominator};
  return 0;
}

int FakeUvcCamera::SetParm(void* arg) {
  auto* p = static_cast<v4l2_streamparm*>(arg);
  if (p->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
    return -EINVAL;
  if (heldElsewhere)
    return -EBUSY;
  const v4l2_fract wanted = p->parm.capture.timeperframe;
  const FakeFormat* format = FindFormat(current_.pixelFormat);
  if (format && format->stepwise) {
    current_.interval = {wanted.numerator, wanted.denominator};
  } else if (format) {
    for (const auto& size : format->sizes)
      if (size.width == current_.width && size.height == current_.height)
        for (const auto& i : size.intervals)
          if (static_cast<std::uint64_t>(i.numerator) * wanted.denominator ==
              static_cast<std::uint64_t>(wanted.numerator) * i.denominator)
            current_.interval = i;
  }
  return GetParm(arg);
}

int FakeUvcCamera::ReqBufs(void* arg) {
  auto* r = static_cast<v4l2_requestbuffers*>(arg);
  if (r->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || r->memory != V4L2_MEMORY_MMAP)
    return -EINVAL;
  if (heldElsewhere || streaming_)
    return -EBUSY;
  if (r->count == 0) {
    if (mapped_ > 0)
      return -EBUSY;  // vb2 will not free memory a client still maps
    buffers_.clear();
    UpdateReadiness();
    return 0;
  }
  if (!buffers_.empty())
    return -EBUSY;
  const std::uint32_t page = static_cast<std::uint32_t>(::sysconf(_SC_PAGESIZE));
  const std::uint32_t length = (ImageSize() + page - 1) / page * page;
  for (std::uint32_t i = 0; i < r->count; ++i)
    buffers_.push_back({i * length, length, 0, 0, BufferState::Dequeued});
  if (::ftruncate(memfd_, static_cast<off_t>(length) * r->count) < 0)
    return -ENOMEM;
  return 0;
}

int FakeUvcCamera::QueryBuf(void* arg) {
  auto* b = static_cast<v4l2_buffer*>(arg);
  if (b->index >= buffers_.size())
    return -EINVAL;
  const Buffer& buffer = buffers_[b->index];
  b->length = buffer.length;
  b->m.offset = buffer.offset;
  b->bytesused = buffer.bytesUsed;
  return 0;
}

int FakeUvcCamera::QBuf(void* arg) {
  auto* b = static_cast<v4l2_buffer*>(arg);
  if (b->index >= buffers_.size() || buffers_[b->index].state != BufferState::Dequeued)
    return -EINVAL;
  buffers_[b->index].state = BufferState::Queued;
  changed_.notify_all();
  return 0;
}

int FakeUvcCamera::DQBuf(void* arg) {
  auto* b = static_cast<v4l2_buffer*>(arg);
  if (failDequeue_) {
    const int error = std::exchange(failDequeue_, 0);
    UpdateReadiness();
    return -error;
  }
  if (!streaming_)
    return -EINVAL;
  // In the order they were filled.
  Buffer* done = nullptr;
  for (auto& buffer : buffers_)
    if (buffer.state == BufferState::Done && (!done || buffer.sequence < done->sequence))
      done = &buffer;
  if (!done)
    return -EAGAIN;
  done->state = BufferState::Dequeued;
  b->index = static_cast<std::uint32_t>(done - buffers_.data());
  b->bytesused = done->bytesUsed;
  b->length = done->length;
  b->m.offset = done->offset;
  b->sequence = done->sequence;
  b->flags = 0;
  UpdateReadiness();
  return 0;
}

int FakeUvcCamera::StreamOn(void*) {
  if (heldElsewhere)
    return -EBUSY;
  if (buffers_.empty())
    return -EINVAL;
  streaming_ = true;
  changed_.notify_all();
  return 0;
}

int FakeUvcCamera::StreamOff(void*) {
  streaming_ = false;
  for (auto& buffer : buffers_)
    buffer.state = BufferState::Dequeued;
  UpdateReadiness();
  changed_.notify_all();
  return 0;
}

void FakeUvcCamera::UpdateReadiness() {
  const bool ready = unplugged_ || failDequeue_ ||
                     std::any_of(buffers_.begin(), buffers_.end(),
                                 [](const Buffer& b) { return b.state == BufferState::Done; });
  if (ready == signalled_)
    return;
  std::uint64_t value = 1;
  if (ready) {
    [[maybe_unused]] auto n = ::write(ready_, &value, sizeof value);
  } else {
    [[maybe_unused]] auto n = ::read(ready_, &value, sizeof value);
  }
  signalled_ = ready;
}

int FakeUvcCamera::Map(std::size_t length, std::int64_t offset, void*& address) {
  std::lock_guard lock(mutex_);
  if (unplugged_)
    return -ENODEV;
  const bool known = std::any_of(buffers_.begin(), buffers_.end(), [&](const Buffer& b) {
    return b.offset == offset && b.length == length;
  });
  if (!known)
    return -EINVAL;
  void* mapped = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, memfd_, offset);
  if (mapped == MAP_FAILED)
    return -errno;
  ++mapped_;
  address = mapped;
  return 0;
}

void FakeUvcCamera::Unmap(void* address, std::size_t length) {
  std::lock_guard lock(mutex_);
  if (address && ::munmap(address, length) == 0)
    --mapped_;
}

bool FakeUvcCamera::DeliverFrame(const std::vector<std::uint8_t>& bytes,
                                 std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  const auto queued = [this] {
    return std::find_if(buffers_.begin(), buffers_.end(),
                        [](const Buffer& b) { return b.state == BufferState::Queued; });
  };
  if (!changed_.wait_for(lock, wait, [&] { return streaming_ && queued() != buffers_.end(); }))
    return false;
  Buffer& buffer = *queued();
  const std::size_t size = std::min<std::size_t>(bytes.size(), buffer.length);
  if (::pwrite(memfd_, bytes.data(), size, buffer.offset) != static_cast<ssize_t>(size))
    return false;
  buffer.bytesUsed = static_cast<std::uint32_t>(size);
  buffer.sequence = sequence_++;
  buffer.state = BufferState::Done;
  UpdateReadiness();
  return true;
}

void FakeUvcCamera::Unplug() {
  std::lock_guard lock(mutex_);
  unplugged_ = true;
  UpdateReadiness();
  changed_.notify_all();
}

void FakeUvcCamera::FailDequeue(int error) {
  std::lock_guard lock(mutex_);
  failDequeue_ = error;
  UpdateReadiness();
}

bool FakeUvcCamera::Streaming() {
  std::lock_guard lock(mutex_);
  return streaming_;
}

std::size_t FakeUvcCamera::AllocatedBuffers() {
  std::lock_guard lock(mutex_);
  return buffers_.size();
}

int FakeUvcCamera::MappedBuffers() {
  std::lock_guard lock(mutex_);
  return mapped_;
}

bool FakeUvcCamera::WaitStreaming(std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, wait, [this] {
    return streaming_ && std::any_of(buffers_.begin(), buffers_.end(), [](const Buffer& b) {
             return b.state == BufferState::Queued;
           });
  });
}

FakeUvcCamera::Current FakeUvcCamera::Format() {
  std::lock_guard lock(mutex_);
  return current_;
}

void FakeUvcCamera::SetCurrent(std::uint32_t pixelFormat, std::uint32_t width, std::uint32_t height,
                               FakeInterval interval) {
  std::lock_guard lock(mutex_);
  current_ = {pixelFormat, width, height, interval};
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
  if (found->queryErrno)
    return -found->queryErrno;
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
  if (const auto error = c->itemErrno.find(m->index); error != c->itemErrno.end())
    return -error->second;
  const auto item = c->menu.find(m->index);
  if (item == c->menu.end())
    return -EINVAL;
  CopyText(m->name, sizeof m->name, item->second);
  return 0;
}

// ---- control events

FakeUvcCamera::Heard FakeUvcCamera::HeardOf(const FakeControl& control) {
  // The flags with INACTIVE as a query reports them.
  std::uint32_t flags = control.flags;
  if (control.master)
    if (const FakeControl* master = Find(control.master);
        master && master->value != control.masterManual)
      flags |= V4L2_CTRL_FLAG_INACTIVE;
  return {control.value, control.minimum,      control.maximum,
          control.step,  control.defaultValue, std::int64_t{flags}};
}

int FakeUvcCamera::Subscribe(void* arg) {
  const auto* s = static_cast<const v4l2_event_subscription*>(arg);
  const FakeControl* c = Find(s->id);
  if (s->type != V4L2_EVENT_CTRL || !c)
    return -EINVAL;
  subscribed_[s->id] = HeardOf(*c);
  return 0;
}

int FakeUvcCamera::DequeueEvent(void* arg) {
  for (auto& [id, heard] : subscribed_) {
    const FakeControl* c = Find(id);
    if (!c)
      continue;
    const Heard now = HeardOf(*c);
    if (now == heard)
      continue;
    auto* e = static_cast<v4l2_event*>(arg);
    *e = {};
    e->type = V4L2_EVENT_CTRL;
    e->id = id;
    e->u.ctrl.type = c->type;
    e->u.ctrl.changes =
        (now[0] != heard[0] ? V4L2_EVENT_CTRL_CH_VALUE : 0) |
        (!std::equal(now.begin() + 1, now.end() - 1, heard.begin() + 1) ? V4L2_EVENT_CTRL_CH_RANGE
                                                                        : 0) |
        (now[5] != heard[5] ? V4L2_EVENT_CTRL_CH_FLAGS : 0);
    e->u.ctrl.value = static_cast<std::int32_t>(now[0]);
    e->u.ctrl.minimum = static_cast<std::int32_t>(now[1]);
    e->u.ctrl.maximum = static_cast<std::int32_t>(now[2]);
    e->u.ctrl.step = static_cast<std::int32_t>(now[3]);
    e->u.ctrl.default_value = static_cast<std::int32_t>(now[4]);
    e->u.ctrl.flags = static_cast<std::uint32_t>(now[5]);
    heard = now;
    return 0;
  }
  std::uint64_t drained = 0;
  (void)!::read(events_, &drained, sizeof drained);
  return -ENOENT;
}

platform::v4l2::EventPoll FakeUvcCamera::EventSignal() const {
  return {events_, POLLIN};
}

bool FakeUvcCamera::EventPending() {
  std::lock_guard lock(mutex_);
  for (const auto& [id, heard] : subscribed_)
    if (const FakeControl* c = Find(id); c && HeardOf(*c) != heard)
      return true;
  return false;
}

void FakeUvcCamera::ChangeByOtherProgram(std::uint32_t id, std::int64_t value) {
  std::lock_guard lock(mutex_);
  if (FakeControl* c = Find(id))
    c->value = value;
  const std::uint64_t one = 1;
  (void)!::write(events_, &one, sizeof one);
}

// ---- controls

int FakeUvcCamera::GetExt(void* arg) {
  auto* request = static_cast<v4l2_ext_controls*>(arg);
  if (refuseClassReads && request->ctrl_class != 0) {
    request->error_idx = request->count;
    return -EINVAL;
  }
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
  // No event to the writer for what it wrote.
  for (const auto& [id, value] : write)
    if (auto heard = subscribed_.find(id); heard != subscribed_.end())
      heard->second = HeardOf(*Find(id));
  return 0;
}

}  // namespace varnholt::test
