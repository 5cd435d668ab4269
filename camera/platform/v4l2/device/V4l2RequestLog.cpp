#include "camera/platform/v4l2/device/V4l2RequestLog.h"

#include <linux/videodev2.h>

#include <cstdio>

#include <QString>

#include "camera/platform/v4l2/device/ErrnoText.h"
#include "platform/DebugChannel.h"

namespace varnholt::platform::v4l2 {
namespace {

struct NamedRequest {
  unsigned long request;
  const char* name;
  bool read;
};

constexpr NamedRequest kRequests[] = {
    {VIDIOC_QUERYCAP, "VIDIOC_QUERYCAP", true},
    {VIDIOC_QUERY_EXT_CTRL, "VIDIOC_QUERY_EXT_CTRL", true},
    {VIDIOC_QUERYMENU, "VIDIOC_QUERYMENU", true},
    {VIDIOC_G_EXT_CTRLS, "VIDIOC_G_EXT_CTRLS", true},
    {VIDIOC_S_EXT_CTRLS, "VIDIOC_S_EXT_CTRLS", false},
    {VIDIOC_ENUM_FMT, "VIDIOC_ENUM_FMT", true},
    {VIDIOC_ENUM_FRAMESIZES, "VIDIOC_ENUM_FRAMESIZES", true},
    {VIDIOC_ENUM_FRAMEINTERVALS, "VIDIOC_ENUM_FRAMEINTERVALS", true},
    {VIDIOC_G_FMT, "VIDIOC_G_FMT", true},
    {VIDIOC_S_FMT, "VIDIOC_S_FMT", false},
    {VIDIOC_G_PARM, "VIDIOC_G_PARM", true},
    {VIDIOC_S_PARM, "VIDIOC_S_PARM", false},
    {VIDIOC_REQBUFS, "VIDIOC_REQBUFS", false},
    {VIDIOC_QUERYBUF, "VIDIOC_QUERYBUF", false},
    {VIDIOC_QBUF, "VIDIOC_QBUF", false},
    {VIDIOC_DQBUF, "VIDIOC_DQBUF", false},
    {VIDIOC_STREAMON, "VIDIOC_STREAMON", false},
    {VIDIOC_STREAMOFF, "VIDIOC_STREAMOFF", false},
    {VIDIOC_SUBSCRIBE_EVENT, "VIDIOC_SUBSCRIBE_EVENT", false},
    {VIDIOC_DQEVENT, "VIDIOC_DQEVENT", false},
};

const NamedRequest* Find(unsigned long request) {
  for (const auto& r : kRequests)
    if (r.request == request)
      return &r;
  return nullptr;
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

std::string Control(std::uint32_t id, const ControlNames& names) {
  const std::string name = names ? names(id) : std::string();
  return name.empty() ? "control " + Hex(id) : name + " (" + Hex(id) + ")";
}

std::string FourCC(std::uint32_t code) {
  std::string text;
  for (int shift = 0; shift < 32; shift += 8) {
    const char c = static_cast<char>((code >> shift) & 0xFF);
    text += (c >= 0x20 && c < 0x7F) ? c : '.';
  }
  return text;
}

std::string Size(std::uint32_t width, std::uint32_t height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

// What the request asked about; empty when the request says it all.
std::string Subject(unsigned long request, const void* arg, const ControlNames& names) {
  switch (request) {
    case VIDIOC_QUERY_EXT_CTRL: {
      const auto& q = *static_cast<const v4l2_query_ext_ctrl*>(arg);
      const std::uint32_t next = V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND;
      if (q.id & next)
        return "the control after " + Hex(q.id & ~next);
      return Control(q.id, names);
    }
    case VIDIOC_QUERYMENU: {
      const auto& m = *static_cast<const v4l2_querymenu*>(arg);
      return Control(m.id, names) + " item " + std::to_string(m.index);
    }
    case VIDIOC_G_EXT_CTRLS:
    case VIDIOC_S_EXT_CTRLS: {
      const auto& c = *static_cast<const v4l2_ext_controls*>(arg);
      std::string text;
      for (std::uint32_t i = 0; i < c.count; ++i) {
        text += (i ? ", " : "") + Control(c.controls[i].id, names);
        if (request == VIDIOC_S_EXT_CTRLS)
          text += " = " + std::to_string(c.controls[i].value);
      }
      return text;
    }
    case VIDIOC_ENUM_FMT:
      return "format " + std::to_string(static_cast<const v4l2_fmtdesc*>(arg)->index);
    case VIDIOC_ENUM_FRAMESIZES: {
      const auto& e = *static_cast<const v4l2_frmsizeenum*>(arg);
      return FourCC(e.pixel_format) + " size " + std::to_string(e.index);
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
      const auto& e = *static_cast<const v4l2_frmivalenum*>(arg);
      return FourCC(e.pixel_format) + " " + Size(e.width, e.height) + " interval " +
             std::to_string(e.index);
    }
    case VIDIOC_S_FMT: {
      const auto& p = static_cast<const v4l2_format*>(arg)->fmt.pix;
      return FourCC(p.pixelformat) + " " + Size(p.width, p.height);
    }
    case VIDIOC_S_PARM: {
      const auto& t = static_cast<const v4l2_streamparm*>(arg)->parm.capture.timeperframe;
      return std::to_string(t.numerator) + "/" + std::to_string(t.denominator) + " s";
    }
    case VIDIOC_REQBUFS:
      return std::to_string(static_cast<const v4l2_requestbuffers*>(arg)->count) + " buffers";
    case VIDIOC_QUERYBUF:
    case VIDIOC_QBUF:
      return "buffer " + std::to_string(static_cast<const v4l2_buffer*>(arg)->index);
    default:
      return {};
  }
}

}  // namespace

bool IsReadRequest(unsigned long request) {
  const NamedRequest* r = Find(request);
  return r && r->read;
}

void LogFailedRequest(unsigned long request, const void* arg, int negativeErrno,
                      const ControlNames& names, const char* note) {
  const NamedRequest* r = Find(request);
  std::string line = "v4l2: ";
  line += r ? r->name : "ioctl " + Hex(static_cast<std::uint32_t>(request));
  line += " failed";
  if (const std::string subject = Subject(request, arg, names); !subject.empty())
    line += " for " + subject;
  line += ": " + ErrnoText(negativeErrno);
  if (note)
    line += std::string("; ") + note;
  OutputDebugString(QString::fromStdString(line));
}

}  // namespace varnholt::platform::v4l2
