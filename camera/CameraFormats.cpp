// The capture pin's video formats: listing them, the one in force, and
// selecting one.

#include <cstring>

#include "camera/FCamera.h"

using namespace varnholt::platform;

namespace {

// Only video-info blocks of full size describe a format we can read.
bool Qualifies(const AmMediaType& mediaType) {
  return mediaType.formattype == guids::FormatVideoInfo &&
         mediaType.cbFormat() >= VideoInfoHeader::kSize;
}

TFCameraFormat MediaTypeToFormat(const AmMediaType& mediaType) {
  const auto info = VideoInfoHeader::FromBytes(mediaType.pbFormat);
  CheckCondition(info.has_value(), "Invalid MediaHeader");
  const BitmapInfoHeader& bitmap = info->bmiHeader;
  TFCameraFormat format;
  format.Width = bitmap.biWidth;
  format.Height = bitmap.biHeight;
  format.AvgTimePerFrame = info->AvgTimePerFrame;
  format.FixedSizeSamples = mediaType.bFixedSizeSamples;
  format.TemporalCompression = mediaType.bTemporalCompression;
  format.SampleSize = static_cast<std::int32_t>(mediaType.lSampleSize);
  format.Source = {info->rcSource.left, info->rcSource.top, info->rcSource.right,
                   info->rcSource.bottom};
  format.Target = {info->rcTarget.left, info->rcTarget.top, info->rcTarget.right,
                   info->rcTarget.bottom};
  format.BitRate = static_cast<std::int32_t>(info->dwBitRate);
  format.BitErrorRate = static_cast<std::int32_t>(info->dwBitErrorRate);
  format.BitsPerPixel = bitmap.biBitCount;
  for (int i = 0; i < 4; ++i)
    format.Compression.Bytes[i] = static_cast<std::uint8_t>(bitmap.biCompression >> (8 * i));
  format.XPelsPerMeter = bitmap.biXPelsPerMeter;
  format.YPelsPerMeter = bitmap.biYPelsPerMeter;
  return format;
}

// The fields a format is selected by; compression and the rest are not
// compared, so of two formats that differ only there the first one wins.
bool Matches(const AmMediaType& mediaType, const TFCameraFormat& wanted) {
  if (!Qualifies(mediaType))
    return false;
  const auto info = VideoInfoHeader::FromBytes(mediaType.pbFormat);
  return info && info->bmiHeader.biWidth == wanted.Width &&
         info->bmiHeader.biHeight == wanted.Height &&
         info->AvgTimePerFrame == wanted.AvgTimePerFrame &&
         info->bmiHeader.biBitCount == wanted.BitsPerPixel;
}

}  // namespace

std::shared_ptr<IEnumMediaTypes> TFCamera::CheckMediaTypes() {
  CheckDevice();
  CheckInterface(CapturePin(), "Capture IPin");
  std::shared_ptr<IEnumMediaTypes> types;
  Check(FCapturePin->EnumMediaTypes(types));
  CheckInterface(types, "IEnumMediaTypes");
  return types;
}

TFCameraFormats TFCamera::SupportedFormats() {
  auto types = CheckMediaTypes();
  TFCameraFormats formats;
  for (;;) {
    std::unique_ptr<AmMediaType> mediaType;
    if (types->Next(mediaType) != hr::Ok)
      break;
    if (mediaType && Qualifies(*mediaType))
      formats.push_back(MediaTypeToFormat(*mediaType));
  }
  return formats;
}

TFCameraFormat TFCamera::Format() {
  CheckDevice();
  CheckInterface(AMStreamConfig(), "IAMStreamConfig");
  std::unique_ptr<AmMediaType> mediaType;
  Check(FAMStreamConfig->GetFormat(mediaType));
  CheckCondition(mediaType != nullptr, "Invalid MediaHeader");
  CheckCondition(mediaType->formattype == guids::FormatVideoInfo, "Incorrect format type");
  CheckCondition(mediaType->cbFormat() >= VideoInfoHeader::kSize, "Incorrect format size");
  return MediaTypeToFormat(*mediaType);
}

void TFCamera::SetFormat(const TFCameraFormat& Value) {
  auto types = CheckMediaTypes();
  for (;;) {
    std::unique_ptr<AmMediaType> mediaType;
    CheckCondition(types->Next(mediaType) == hr::Ok, "Format not found");
    if (!mediaType || !Matches(*mediaType, Value))
      continue;
    CheckInterface(AMStreamConfig(), "IAMStreamConfig");
    Check(FAMStreamConfig->SetFormat(*mediaType));
    return;
  }
}
