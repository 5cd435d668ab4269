#include "camera/platform/virtual/JpegFrames.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <cstring>

#include "pixels/ConvertYUY2.h"

namespace varnholt::platform::virtualcam {
namespace {

constexpr int kQuality = 85;

}  // namespace

bool JpegEncodingAvailable() {
  return QImageWriter::supportedImageFormats().contains("jpeg");
}

bool EncodeJpeg(const std::vector<std::uint8_t>& yuy2, int width, int height,
                std::vector<std::uint8_t>& jpeg) {
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull())
    return false;
  // The conversion writes the bottom row first; QImage wants the top first.
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
  if (!ConvertYUY2(yuy2.data(), yuy2.size(), width, height, pixels.data()))
    return false;
  const auto rowBytes = static_cast<std::size_t>(width) * 4;
  for (int y = 0; y < height; ++y)
    std::memcpy(image.scanLine(y), pixels.data() + static_cast<std::size_t>(height - 1 - y) * width,
                rowBytes);

  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "jpeg");
  writer.setQuality(kQuality);
  if (!writer.write(image))
    return false;
  jpeg.assign(bytes.begin(), bytes.end());
  return true;
}

}  // namespace varnholt::platform::virtualcam
