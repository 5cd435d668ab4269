#include "camera/platform/graph/DibImage.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <bit>
#include <cstring>
#include <limits>

#include "camera/platform/MediaType.h"
#include "camera/platform/graph/GraphErrors.h"
#include "pixels/ConvertYUY2.h"
#include "pixels/PictureLimits.h"

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

// A JPEG frame read the one way both forms use, so that they hold the same
// pixels: Qt's JPEG plugin, then 32-bit RGB.
class JpegFrame {
 public:
  explicit JpegFrame(std::span<const std::uint8_t> frame)
      : data_(QByteArray::fromRawData(reinterpret_cast<const char*>(frame.data()),
                                      static_cast<qsizetype>(frame.size()))),
        device_(&data_) {
    device_.open(QIODevice::ReadOnly);
    reader_.setDevice(&device_);
    reader_.setFormat("JPEG");
  }
  // Too big for Qt's sizes: such a frame cannot be read at all.
  static bool Fits(std::span<const std::uint8_t> frame) {
    return frame.size() <= static_cast<std::size_t>(std::numeric_limits<int>::max());
  }
  // The size its header announces, invalid when there is none.
  QSize AnnouncedSize() { return reader_.size(); }
  // Whether the header announces a picture of no more pixels than the
  // stream's format: a frame of a few hundred bytes may claim thousands of
  // pixels a side, and decoding it would take memory for every one of them.
  // A smaller picture is fine (some cameras send one now and then); none
  // beyond kMostFramePixels is, whatever the format says.
  bool WithinFormat(const VideoFormat& format) {
    const QSize announced = AnnouncedSize();
    return FrameFitsFormat(announced.width(), announced.height(), format.width, format.height);
  }
  // Into `image`, whose memory is used when it already has the picture's
  // size and the decoder's pixel format.
  bool Read(QImage& image) {
    if (!reader_.read(&image))
      return false;
    if (image.format() != QImage::Format_RGB32)
      image = image.convertToFormat(QImage::Format_RGB32);
    return true;
  }

 private:
  QByteArray data_;
  QBuffer device_;
  QImageReader reader_;
};

// The decoded picture of the last JPEG frame on this thread, kept so that
// the next frame of the same size decodes into the same memory instead of
// fresh frame-sized buffers.
QImage& JpegScratch() {
  thread_local QImage image;
  return image;
}

HResult JpegToDib(const VideoFormat& format, std::span<const std::uint8_t> frame,
                  std::vector<std::uint8_t>& dib) {
  if (!JpegFrame::Fits(frame))
    return hr::Fail;
  JpegFrame jpeg(frame);
  if (!jpeg.WithinFormat(format))
    return hr::Fail;
  QImage& image = JpegScratch();
  if (!jpeg.Read(image)) {
    image = QImage();
    return hr::Fail;
  }
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

// Whether a picture of this size can be handed out at all: the limit of a DIB.
bool FitsADib(std::int32_t width, std::int32_t height) {
  return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4 <= 0xFFFFFFFFu;
}

using Target = ICurrentPicture::Target;

void CopyRowsInto(const QImage& image, const Target& target) {
  const auto rowBytes = static_cast<std::size_t>(image.width()) * 4;
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(target.bits + y * target.stride, image.constScanLine(y), rowBytes);
}

HResult JpegToPicture(const VideoFormat& format, std::span<const std::uint8_t> frame,
                      const ICurrentPicture::TargetFor& targetFor) {
  if (!JpegFrame::Fits(frame))
    return hr::Fail;
  JpegFrame jpeg(frame);
  if (!jpeg.WithinFormat(format))
    return hr::Fail;
  // The decoder writes into the caller's memory when it is told the size
  // first: decoding is then the only pass over the picture.
  const QSize announced = jpeg.AnnouncedSize();
  Target target;
  QImage image;
  if (announced.width() > 0 && announced.height() > 0) {
    if (!FitsADib(announced.width(), announced.height()))
      return hr::OutOfMemory;
    target = targetFor(announced.width(), announced.height());
    if (!target.bits)
      return hr::OutOfMemory;
    image = QImage(target.bits, announced.width(), announced.height(), target.stride,
                   QImage::Format_RGB32);
  }
  if (!jpeg.Read(image))
    return hr::Fail;
  if (target.bits && image.constBits() == target.bits)
    return hr::Ok;
  // Decoded elsewhere (a grey picture, a size its header did not say): copied.
  if (image.isNull() || !FitsADib(image.width(), image.height()))
    return hr::OutOfMemory;
  if (!target.bits || image.size() != announced) {
    target = targetFor(image.width(), image.height());
    if (!target.bits)
      return hr::OutOfMemory;
  }
  CopyRowsInto(image, target);
  return hr::Ok;
}

HResult Yuy2ToPicture(const VideoFormat& format, std::span<const std::uint8_t> frame,
                      const ICurrentPicture::TargetFor& targetFor) {
  const int width = format.width, height = format.height;
  if (width <= 0 || height <= 0 || frame.size() < YUY2FrameSize(width, height))
    return hr::Fail;
  if (!FitsADib(width, height))
    return hr::OutOfMemory;
  // The conversion writes bottom-up rows: into scratch kept from frame to
  // frame on this thread, then turned upright into the caller's memory.
  thread_local std::vector<std::uint32_t> scratch;
  scratch.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  if (!ConvertYUY2(frame.data(), frame.size(), width, height, scratch.data()))
    return hr::Fail;
  const Target target = targetFor(width, height);
  if (!target.bits)
    return hr::OutOfMemory;
  const auto rowBytes = static_cast<std::size_t>(width) * 4;
  for (int y = 0; y < height; ++y)
    std::memcpy(target.bits + y * target.stride,
                scratch.data() + static_cast<std::size_t>(height - 1 - y) * width, rowBytes);
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
    return JpegToDib(format, frame, dib);
  return vfw::TypeNotAccepted;
}

HResult FrameToPicture(const VideoFormat& format, std::span<const std::uint8_t> frame,
                       const ICurrentPicture::TargetFor& targetFor) {
  if (format.fourcc == kFourCCYUY2)
    return Yuy2ToPicture(format, frame, targetFor);
  if (format.fourcc == kFourCCMJPG)
    return JpegToPicture(format, frame, targetFor);
  return vfw::TypeNotAccepted;
}

}  // namespace varnholt::platform::graph
