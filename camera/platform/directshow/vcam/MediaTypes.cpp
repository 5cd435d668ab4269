#include "camera/platform/directshow/vcam/MediaTypes.h"

#include <dvdmedia.h>

#include <algorithm>
#include <cstring>

namespace varnholt::vcam {
namespace {

constexpr DWORD FourCc(const char (&code)[5]) {
  return static_cast<DWORD>(static_cast<unsigned char>(code[0])) |
         static_cast<DWORD>(static_cast<unsigned char>(code[1])) << 8 |
         static_cast<DWORD>(static_cast<unsigned char>(code[2])) << 16 |
         static_cast<DWORD>(static_cast<unsigned char>(code[3])) << 24;
}

constexpr DWORD kYuy2 = FourCc("YUY2");
constexpr DWORD kNv12 = FourCc("NV12");

// The media subtype of a four-character code: the code in the first field
// of the common base GUID.
GUID SubtypeOf(DWORD fourCc) {
  return {fourCc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
}

GUID SubtypeOf(Pixels pixels) {
  switch (pixels) {
    case Pixels::Yuy2:
      return SubtypeOf(kYuy2);
    case Pixels::Nv12:
      return SubtypeOf(kNv12);
    case Pixels::Rgb24:
      break;
  }
  return MEDIASUBTYPE_RGB24;
}

DWORD CompressionOf(Pixels pixels) {
  switch (pixels) {
    case Pixels::Yuy2:
      return kYuy2;
    case Pixels::Nv12:
      return kNv12;
    case Pixels::Rgb24:
      break;
  }
  return BI_RGB;
}

void FillBitmapHeader(const VideoFormat& format, BITMAPINFOHEADER& header) {
  header.biSize = sizeof(BITMAPINFOHEADER);
  header.biWidth = format.width;
  header.biHeight = format.height;  // positive: bottom-up for RGB, as YUV always is top-down
  header.biPlanes = 1;
  header.biBitCount = format.BitCount();
  header.biCompression = CompressionOf(format.pixels);
  header.biSizeImage = static_cast<DWORD>(format.ImageSize());
}

bool SameOrNull(const GUID& partial, const GUID& full) {
  return IsEqualGUID(partial, GUID_NULL) || IsEqualGUID(partial, full);
}

}  // namespace

std::size_t VideoFormat::ImageSize() const {
  const auto w = static_cast<std::size_t>(width);
  const auto h = static_cast<std::size_t>(height);
  switch (pixels) {
    case Pixels::Yuy2:
      return w * h * 2;
    case Pixels::Nv12:
      return w * h * 3 / 2;
    case Pixels::Rgb24:
      break;
  }
  return ((w * 3 + 3) & ~std::size_t{3}) * h;
}

std::uint16_t VideoFormat::BitCount() const {
  switch (pixels) {
    case Pixels::Yuy2:
      return 16;
    case Pixels::Nv12:
      return 12;
    case Pixels::Rgb24:
      break;
  }
  return 24;
}

VideoFormat FormatOf(const FormatRow& row) {
  VideoFormat format;
  format.width = row.width;
  format.height = row.height;
  format.pixels = FourCc(row.compression) == kNv12 ? Pixels::Nv12 : Pixels::Yuy2;
  format.frameTime = row.frameTime;
  format.videoInfo2 = row.videoInfo2;
  return format;
}

bool MakeMediaType(const VideoFormat& format, AM_MEDIA_TYPE& type) {
  type = AM_MEDIA_TYPE{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = SubtypeOf(format.pixels);
  type.bFixedSizeSamples = TRUE;
  type.lSampleSize = static_cast<ULONG>(format.ImageSize());
  const DWORD bitRate = static_cast<DWORD>(format.ImageSize() * 8 * 10000000 /
                                           std::max<std::int64_t>(format.frameTime, 1));
  if (format.videoInfo2) {
    auto* info = static_cast<VIDEOINFOHEADER2*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER2)));
    if (!info)
      return false;
    *info = VIDEOINFOHEADER2{};
    info->dwBitRate = bitRate;
    info->AvgTimePerFrame = format.frameTime;
    info->dwPictAspectRatioX = static_cast<DWORD>(format.width);
    info->dwPictAspectRatioY = static_cast<DWORD>(format.height);
    FillBitmapHeader(format, info->bmiHeader);
    type.formattype = FORMAT_VideoInfo2;
    type.cbFormat = sizeof(VIDEOINFOHEADER2);
    type.pbFormat = reinterpret_cast<BYTE*>(info);
  } else {
    auto* info = static_cast<VIDEOINFOHEADER*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
    if (!info)
      return false;
    *info = VIDEOINFOHEADER{};
    info->dwBitRate = bitRate;
    info->AvgTimePerFrame = format.frameTime;
    FillBitmapHeader(format, info->bmiHeader);
    type.formattype = FORMAT_VideoInfo;
    type.cbFormat = sizeof(VIDEOINFOHEADER);
    type.pbFormat = reinterpret_cast<BYTE*>(info);
  }
  return true;
}

std::optional<VideoFormat> ReadMediaType(const AM_MEDIA_TYPE& type) {
  if (!IsEqualGUID(type.majortype, MEDIATYPE_Video) || !type.pbFormat)
    return std::nullopt;
  VideoFormat format;
  const BITMAPINFOHEADER* header = nullptr;
  if (IsEqualGUID(type.formattype, FORMAT_VideoInfo) && type.cbFormat >= sizeof(VIDEOINFOHEADER)) {
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
    header = &info->bmiHeader;
    format.frameTime = info->AvgTimePerFrame;
  } else if (IsEqualGUID(type.formattype, FORMAT_VideoInfo2) &&
             type.cbFormat >= sizeof(VIDEOINFOHEADER2)) {
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER2*>(type.pbFormat);
    header = &info->bmiHeader;
    format.frameTime = info->AvgTimePerFrame;
    format.videoInfo2 = true;
  } else {
    return std::nullopt;
  }
  format.width = header->biWidth;
  format.height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
  if (IsEqualGUID(type.subtype, SubtypeOf(Pixels::Yuy2)))
    format.pixels = Pixels::Yuy2;
  else if (IsEqualGUID(type.subtype, SubtypeOf(Pixels::Nv12)))
    format.pixels = Pixels::Nv12;
  else if (IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB24) && !format.videoInfo2 &&
           header->biHeight > 0)
    format.pixels = Pixels::Rgb24;
  else
    return std::nullopt;
  if (format.width <= 0 || format.height <= 0)
    return std::nullopt;
  return format;
}

bool Matches(const AM_MEDIA_TYPE& partial, const AM_MEDIA_TYPE& type) {
  return SameOrNull(partial.majortype, type.majortype) &&
         SameOrNull(partial.subtype, type.subtype) &&
         SameOrNull(partial.formattype, type.formattype);
}

bool CopyMediaType(const AM_MEDIA_TYPE& from, AM_MEDIA_TYPE& to) {
  to = from;
  to.pbFormat = nullptr;
  to.cbFormat = 0;
  if (from.cbFormat && from.pbFormat) {
    to.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from.cbFormat));
    if (!to.pbFormat) {
      to.pUnk = nullptr;
      return false;
    }
    std::memcpy(to.pbFormat, from.pbFormat, from.cbFormat);
    to.cbFormat = from.cbFormat;
  }
  if (to.pUnk)
    to.pUnk->AddRef();
  return true;
}

AM_MEDIA_TYPE* CloneMediaType(const AM_MEDIA_TYPE& type) {
  auto* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (copy && !CopyMediaType(type, *copy)) {
    CoTaskMemFree(copy);
    return nullptr;
  }
  return copy;
}

}  // namespace varnholt::vcam
