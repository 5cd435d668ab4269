#include "camera/platform/graph/DibImage.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <bit>
#include <cstring>
#include <limits>

#include "camera/ConvertYUY2.h"
#include "camera/platform/MediaType.h"
#include "camera/platform/graph/GraphErrors.h"

namespace varnholt::platform::graph {
namespace {

constexpr std::uint32_t kBiRgb = 0;

// Pixels are the host's 32-bit words 0xAARRGGBB; a DIB holds them
// little-endian, which every platform we build for is, so rows are copied whole.
static_assert(std::endian::native == std::endian::little);

// Room for the header and width * height pixels; false when that is too big.
// The caller's buffer is reused as it is: every byte of it is written
// afterwards, and zero-filling a frame first would cost as much as the copy.
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
  dib.resize(BitmapInfoHeader::kSize + pixelBytes);
  header.WriteTo(dib.data());
  return true;
}

HResult Yuy2ToDib(const VideoFormat& format, std::span<const std::uint8_t> frame,
                  std::vector<std::uint8_t>& dib) {
  // Checked before the buffer is touched: a short frame leaves it as it was.
  if (format.width <= 0 || format.height <= 0 ||
      frame.size() < YUY2FrameSize(format.width, format.height))
    return hr::Fail;
  if (!StartDib(format.width, format.height, dib))
    return hr::OutOfMemory;
  // The conversion writes bottom-up rows already: straight into the DIB.
  auto* pixels = reinterpret_cast<std::uint32_t*>(dib.data() + BitmapInfoHeader::kSize);
  if (!ConvertYUY2(frame.data(), frame.size(), format.width, format.height, pixels))
    return hr::Fail;
  return hr::Ok;
}

// The decoded picture of the last JPEG frame on this thread, kept so that
// the next frame of the same size decodes into the same memory instead of
// fresh frame-sized buffers.
QImage& JpegScratch() {
  thread_local QImage image;
  return image;
}

HResult JpegToDib(std::span<const std::uint8_t> frame, std::vector<std::uint8_t>& dib) {
  if (frame.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    return hr::Fail;
  QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(frame.data()),
                                            static_cast<qsizetype>(frame.size()));
  QBuffer device(&data);
  device.open(QIODevice::ReadOnly);
  QImageReader reader(&device, "JPEG");
  QImage& image = JpegScratch();
  if (!reader.read(&image)) {
    image = QImage();
    return hr::Fail;
  }
  if (image.format() != QImage::Format_RGB32)
    image = image.convertToFormat(QImage::Format_RGB32);
  // The picture's own size counts: a device may send a frame of another size.
  if (!StartDib(image.width(), image.height(), dib))
    return hr::OutOfMemory;
  std::uint8_t* out = dib.data() + BitmapInfoHeader::kSize;
  const auto rowBytes = static_cast<std::size_t>(image.width()) * 4;
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(out + static_cast<std::size_t>(image.height() - 1 - y) * rowBytes,
                image.constScanLine(y), rowBytes);
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
