#include "camera/platform/PropertyFrameFormat.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace varnholt::platform {
namespace {

// Offsets of the fields both video-info headers share, and of the bitmap
// header in the longer one.
constexpr std::size_t kFrameTimeOffset = 40;
constexpr std::size_t kVideoInfo2Size = 112;
constexpr std::size_t kVideoInfo2BitmapOffset = 72;

struct VideoShape {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint16_t bits = 0;
  std::int64_t frameTime = 0;
  std::uint32_t compression = 0;
  friend bool operator==(const VideoShape&, const VideoShape&) = default;
};

std::optional<VideoShape> ReadVideoShape(const AmMediaType& mediaType) {
  std::size_t bitmapAt = 0;
  if (mediaType.formattype == guids::FormatVideoInfo &&
      mediaType.cbFormat() >= VideoInfoHeader::kSize)
    bitmapAt = VideoInfoHeader::kBitmapHeaderOffset;
  else if (mediaType.formattype == guids::FormatVideoInfo2 &&
           mediaType.cbFormat() >= kVideoInfo2Size)
    bitmapAt = kVideoInfo2BitmapOffset;
  else
    return std::nullopt;
  const std::uint8_t* block = mediaType.pbFormat.data();
  const BitmapInfoHeader bitmap = BitmapInfoHeader::ReadFrom(block + bitmapAt);
  std::int64_t frameTime = 0;
  for (std::size_t i = 0; i < 8; ++i)
    frameTime |= static_cast<std::int64_t>(block[kFrameTimeOffset + i]) << (8 * i);
  return VideoShape{bitmap.biWidth, std::abs(bitmap.biHeight), bitmap.biBitCount, frameTime,
                    bitmap.biCompression};
}

std::optional<std::string> FourCCText(std::uint32_t code) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>(code >> (8 * i));
    if (c < 0x20 || c > 0x7E)
      return std::nullopt;
    text += c;
  }
  return text;
}

std::string CompressionText(const AmMediaType& mediaType, const std::optional<VideoShape>& shape) {
  const Guid& subtype = mediaType.subtype;
  if (FourCCSubtype(subtype.data1) == subtype)
    if (const auto text = FourCCText(subtype.data1))
      return *text;
  if (shape && shape->compression == 0)
    return "RGB";
  if (shape)
    if (const auto text = FourCCText(shape->compression))
      return *text;
  return subtype.ToString();
}

// "30", "29.97", "7.5": at most two decimals, none when whole.
std::string RateText(std::int64_t frameTime) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", 1e7 / static_cast<double>(frameTime));
  std::string text = buf;
  while (text.back() == '0')
    text.pop_back();
  if (text.back() == '.')
    text.pop_back();
  return text;
}

}  // namespace

HResult FindStreamConfig(const std::shared_ptr<Unknown>& object,
                         std::shared_ptr<IAMStreamConfig>& config) {
  if ((config = Query<IAMStreamConfig>(object)))
    return hr::Ok;
  const auto filter = Query<IBaseFilter>(object);
  if (!filter)
    return hr::NoInterface;
  std::shared_ptr<IEnumPins> pins;
  if (const HResult code = filter->EnumPins(pins); Failed(code) || !pins)
    return Failed(code) ? code : hr::NoInterface;
  std::shared_ptr<IPin> pin;
  while (pins->Next(pin) == hr::Ok)
    if ((config = Query<IAMStreamConfig>(pin)))
      return hr::Ok;
  return hr::NoInterface;
}

std::string FormatText(const AmMediaType& mediaType) {
  const auto shape = ReadVideoShape(mediaType);
  const std::string compression = CompressionText(mediaType, shape);
  if (!shape)
    return compression + " (no video header)";
  std::string text = std::to_string(shape->width) + "x" + std::to_string(shape->height) + " ";
  if (shape->frameTime > 0)
    text += RateText(shape->frameTime) + "Hz ";
  text += std::to_string(shape->bits) + "bpp " + compression;
  if (mediaType.formattype == guids::FormatVideoInfo2)
    text += " (VideoInfo2)";
  return text;
}

bool SameFormat(const AmMediaType& a, const AmMediaType& b) {
  if (a.majortype != b.majortype || a.subtype != b.subtype || a.formattype != b.formattype)
    return false;
  if (a.pbFormat == b.pbFormat)
    return true;
  // Headers may differ in fields that do not choose a format (bit rates,
  // rectangles), so video compares what does.
  const auto shapeA = ReadVideoShape(a);
  const auto shapeB = ReadVideoShape(b);
  return shapeA && shapeB && *shapeA == *shapeB;
}

}  // namespace varnholt::platform
