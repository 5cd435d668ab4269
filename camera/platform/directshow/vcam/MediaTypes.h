#pragma once

// The video formats a virtual camera's pin speaks, and the media types
// (AM_MEDIA_TYPE with a VIDEOINFOHEADER or VIDEOINFOHEADER2) that carry them.
// Media types made here own their format block (CoTaskMemAlloc) and are
// released with FreeComMediaType or DeleteComMediaType, as a client expects.

#include <dshow.h>

#include <cstddef>
#include <optional>

#include "camera/platform/directshow/ComMediaTypeMemory.h"

#include "camera/platform/directshow/vcam/CameraTable.h"

namespace varnholt::vcam {

enum class Pixels { Yuy2, Nv12, Rgb24 };

struct VideoFormat {
  std::int32_t width = 0;
  std::int32_t height = 0;
  Pixels pixels = Pixels::Yuy2;
  std::int64_t frameTime = 333333;
  bool videoInfo2 = false;

  std::size_t ImageSize() const;
  std::uint16_t BitCount() const;
  friend bool operator==(const VideoFormat&, const VideoFormat&) = default;
};

VideoFormat FormatOf(const FormatRow& row);

// A new media type for format; false when memory ran out.
bool MakeMediaType(const VideoFormat& format, AM_MEDIA_TYPE& type);
// The format a complete video media type describes, if we can produce it.
std::optional<VideoFormat> ReadMediaType(const AM_MEDIA_TYPE& type);
// Whether a partial media type (GUID_NULL parts match anything) allows type.
bool Matches(const AM_MEDIA_TYPE& partial, const AM_MEDIA_TYPE& type);

bool CopyMediaType(const AM_MEDIA_TYPE& from, AM_MEDIA_TYPE& to);
AM_MEDIA_TYPE* CloneMediaType(const AM_MEDIA_TYPE& type);
using platform::directshow::DeleteComMediaType;
using platform::directshow::FreeComMediaType;

}  // namespace varnholt::vcam
