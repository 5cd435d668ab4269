#include "camera/platform/graph/DibImage.h"

#include <QImage>
#include <QImageReader>
#include <cstring>

#include "camera/ConvertYUY2.h"
#include "camera/platform/MediaType.h"
#include "camera/platform/graph/GraphErrors.h"

namespace varnholt::platform::graph {
namespace {

constexpr std::uint32_t kBiRgb = 0;

// Room for the header and width * height pixels; false when that is too big.
bool StartDib(std::int32_t width, std::int32_t height, std::vector<std::uint8_t>& dib) {
  const std::uint64_t pixelBytes =
      static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4;
  if (pixelBytes > 0xFFFFFFFFu)
    return false;
  BitmapInfoHeader header;
  header.biWidth = width;
  header.biHeight = height;  // positive: bottom-up
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = kBiRgb;
  header.biSizeImage = static_cast<std::uint32_t>(pixelBytes);
  dib.assign(BitmapInfoHeader::kSize + pixelBytes, 0);
  header.WriteTo(dib.data());
  return true;
}

// Pixels are written as the little-endian words 0xAARRGGBB, as a DIB holds them.
void PutPixels(const std::uint32_t* pixels, std::size_t count, std::uint8_t* out) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t p = pixels[i];
    out[4 * i] = static_cast<std::uint8_t>(p);
    out[4 * i + 1] = static_cast<std::uint8_t>(p >> 8);
    out[4 * i + 2] = static_cast<std::uint8_t>(p >> 16);
    out[4 * i + 3] = static_cast<std::uint8_t>(p >> 24);
  }
}

HResult Yuy2ToDib(const VideoFormat& format, std::span<const std::uint8_t> frame,
                  std::vector<std::uint8_t>& dib) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(format.width) * format.height);
  if (!ConvertYUY2(frame.data(), frame.size(), format.width, format.height, pixels.data()))
    return hr::Fail;
  if (!StartDib(format.width, format.height, dib))
    return hr::OutOfMemory;
  PutPixels(pixels.data(), pixels.size(), dib.data() + BitmapInfoHeader::kSize);
  return hr::Ok;
}

HResult JpegToDib(std::span<const std::uint8_t> frame, std::vector<std::uint8_t>& dib) {
  QImage image;
  if (frame.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()) ||
      !image.loadFromData(frame.data(), static_cast<int>(frame.size()), "JPEG"))
    return hr::Fail;
  image = image.convertToFormat(QImage::Format_RGB32);
  // The picture's own size counts: a device may send a frame of another size.
  if (!StartDib(image.width(), image.height(), dib))
    return hr::OutOfMemory;
  std::uint8_t* out = dib.data() + BitmapInfoHeader::kSize;
  const auto rowPixels = static_cast<std::size_t>(image.width());
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
    PutPixels(row, rowPixels,
              out + static_cast<std::size_t>(image.height() - 1 - y) * rowPixels * 4);
  }
  return hr::Ok;
}

}  // namespace

bool CanConvertToDib(std::uint32_t fourcc) {
  if (fourcc == kFourCCYUY2)
    return true;
  return fourcc == kFourCCMJPG && QImageReader::supportedImageFormats().contains("jpeg");
}

HResult FrameToDib(const VideoFormat& format, std::span<const std::uint8_t> frame,
                   std::vector<std::uint8_t>& dib) {
  if (format.fourcc == kFourCCYUY2)
    return Yuy2ToDib(format, frame, dib);
  if (format.fourcc == kFourCCMJPG)
    return JpegToDib(frame, dib);
  return vfw::TypeNotAccepted;
}

}  // namespace varnholt::platform::graph
