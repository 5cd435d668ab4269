// Still images of the current frame: a Windows bitmap file, or the camera's
// own JPEG data.

#include <QBuffer>
#include <QImageReader>
#include <QSaveFile>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "camera/FCamera.h"
#include "pixels/ConvertYUY2.h"
#include "pixels/PictureLimits.h"

using namespace varnholt::platform;

namespace {

// Pixels are stored as the host's 32-bit words; a bitmap wants them
// little-endian, which every platform we build for is.
static_assert(std::endian::native == std::endian::little);

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kBitmapHeaderOffset = VideoInfoHeader::kBitmapHeaderOffset;

void Put32(QByteArray& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out.append(static_cast<char>(v >> (8 * i)));
}

void Put32At(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// "BM", the file size, two reserved words, and where the pixels start.
void AppendFileHeader(QByteArray& out, std::uint64_t fileSize, std::uint32_t headerSize) {
  CheckCondition(fileSize <= 0xFFFFFFFFu, "Image too large for a bitmap file");
  out.append("BM", 2);
  Put32(out, static_cast<std::uint32_t>(fileSize));
  Put32(out, 0);
  Put32(out, headerSize + static_cast<std::uint32_t>(kFileHeaderSize));
}

// The bitmap header as the camera describes it: as many bytes as its own
// size field says, from the media type's format block.
std::vector<std::uint8_t> CameraBitmapHeader(const AmMediaType& mediaType) {
  const auto& block = mediaType.pbFormat;
  const std::uint32_t size = Get32(block.data() + kBitmapHeaderOffset);
  CheckCondition(size >= BitmapInfoHeader::kSize && size <= block.size() - kBitmapHeaderOffset,
                 "Invalid bitmap header in the camera's format");
  return std::vector<std::uint8_t>(block.begin() + kBitmapHeaderOffset,
                                   block.begin() + kBitmapHeaderOffset + size);
}

// Makes `bitmap` a 32-bit bitmap of this size that nobody else holds: a
// bitmap the caller still has from an earlier frame stays as it was, and
// this frame gets a buffer of its own. Null when there is no memory for it.
void PrepareBitmap(QImage& bitmap, int width, int height) {
  if (bitmap.size() != QSize(width, height) || bitmap.format() != QImage::Format_RGB32 ||
      !bitmap.isDetached())
    bitmap = QImage(width, height, QImage::Format_RGB32);
}

// Refuses, before decoding, a JPEG frame whose header claims more pixels
// than the stream's format: a few hundred bytes may claim thousands of
// pixels a side, and decoding them would take memory for every one.
void CheckJpegWithinFormat(const QByteArray& jpeg, const AmMediaType& mediaType) {
  QBuffer device;
  device.setData(jpeg);
  device.open(QIODevice::ReadOnly);
  const QSize announced = QImageReader(&device, "JPEG").size();
  const auto info = VideoInfoHeader::FromBytes(mediaType.pbFormat);
  const std::int64_t width = info ? info->bmiHeader.biWidth : 0;
  const std::int64_t height = info ? std::abs(std::int64_t{info->bmiHeader.biHeight}) : 0;
  CheckCondition(varnholt::FrameFitsFormat(announced.width(), announced.height(), width, height),
                 "JPEG frame of " + std::to_string(announced.width()) + "x" +
                     std::to_string(announced.height()) + " pixels in a " + std::to_string(width) +
                     "x" + std::to_string(height) + " stream");
}

}  // namespace

QByteArray TFCamera::CurrentImage(TFImageFormat& format) {
  CheckActive();
  format = ifBmp;
  QByteArray out;
  if (!FGrabberUsed)
    return RendererImage() ? RendererImageFile() : out;

  AmMediaType mediaType;
  Check(FSampleGrabber->GetConnectedMediaType(mediaType));
  if (mediaType.formattype != guids::FormatVideoInfo ||
      mediaType.cbFormat() < VideoInfoHeader::kSize)
    return out;
  // JPEG frames change size from one to the next, and a larger one may arrive
  // between asking for the size and the copy, which the grabber then refuses
  // as out of memory. Each refusal at least doubles the room for the next
  // try: however fast the frames come, one up to 128 times the first size
  // fits within the tries, and the room stays below twice the largest frame.
  constexpr int kCopyTries = 8;
  std::vector<std::uint8_t> buffer;
  HResult copied = hr::OutOfMemory;
  for (int tries = 0; copied == hr::OutOfMemory && tries < kCopyTries; ++tries) {
    std::int32_t size = 0;
    if (Failed(FSampleGrabber->GetCurrentBuffer(size, nullptr)))
      return out;  // no sample buffered yet
    const std::size_t doubled =
        std::min<std::size_t>(2 * buffer.size(), std::numeric_limits<std::int32_t>::max());
    buffer.resize(std::max(doubled, static_cast<std::size_t>(std::max(size, 0))));
    size = static_cast<std::int32_t>(buffer.size());
    copied = FSampleGrabber->GetCurrentBuffer(size, buffer.data());
    if (Succeeded(copied))
      buffer.resize(std::min(buffer.size(), static_cast<std::size_t>(std::max(size, 0))));
  }
  Check(copied);

  const BitmapInfoHeader bitmap =
      BitmapInfoHeader::ReadFrom(mediaType.pbFormat.data() + kBitmapHeaderOffset);
  if (bitmap.biCompression == kFourCCMJPG) {
    format = ifJpeg;
    out.append(reinterpret_cast<const char*>(buffer.data()), static_cast<qsizetype>(buffer.size()));
    return out;
  }
  std::vector<std::uint8_t> header = CameraBitmapHeader(mediaType);
  const auto headerSize = static_cast<std::uint32_t>(header.size());
  if (bitmap.biCompression == kFourCCYUY2 && bitmap.biPlanes == 1 && bitmap.biBitCount == 16) {
    const int width = bitmap.biWidth, height = bitmap.biHeight;
    // A short sample (a driver that delivered less than a frame) is refused
    // rather than read past its end.
    CheckCondition(
        width > 0 && height > 0 && buffer.size() >= varnholt::YUY2FrameSize(width, height),
        "Incomplete frame: " + std::to_string(buffer.size()) + " bytes for a " +
            std::to_string(width) + "x" + std::to_string(height) + " YUY2 frame");
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<std::uint32_t> rgb(pixels);
    varnholt::ConvertYUY2(buffer.data(), buffer.size(), width, height, rgb.data());
    header[14] = 32;  // bit count, a 16-bit field
    header[15] = 0;
    Put32At(header.data() + 16, 0);  // uncompressed RGB
    Put32At(header.data() + 20, 0);  // image size
    Put32At(header.data() + 32, 0);  // colours used
    Put32At(header.data() + 36, 0);  // colours important
    AppendFileHeader(out, 4 * std::uint64_t{pixels} + headerSize + kFileHeaderSize, headerSize);
    out.append(reinterpret_cast<const char*>(header.data()), static_cast<qsizetype>(headerSize));
    out.append(reinterpret_cast<const char*>(rgb.data()), static_cast<qsizetype>(4 * pixels));
    return out;
  }
  AppendFileHeader(out, std::uint64_t{headerSize} + kFileHeaderSize + buffer.size(), headerSize);
  out.append(reinterpret_cast<const char*>(header.data()), static_cast<qsizetype>(headerSize));
  out.append(reinterpret_cast<const char*>(buffer.data()), static_cast<qsizetype>(buffer.size()));
  return out;
}

TFImageFormat TFCamera::CurrentImageToStream(QIODevice& Stream) {
  TFImageFormat format = ifBmp;
  const QByteArray image = CurrentImage(format);
  if (!image.isEmpty())
    CheckCondition(Stream.write(image) == image.size(), "Stream write error");
  return format;
}

TFImageFormat TFCamera::CurrentImageToFile(const QString& FileName) {
  // The image is taken in full before the file is touched, and the file is
  // replaced in one step: a failure leaves the old file as it was.
  TFImageFormat format = ifBmp;
  const QByteArray image = CurrentImage(format);
  // No picture yet: an empty file in place of what the user had there would
  // only lose it.
  if (image.isEmpty())
    return format;
  QSaveFile file(FileName);
  const bool written =
      file.open(QIODevice::WriteOnly) && file.write(image) == image.size() && file.commit();
  CheckCondition(written, "Cannot create file \"" + FileName.toStdString() + "\". " +
                              file.errorString().toStdString());
  return format;
}

std::uint32_t TFCamera::RendererImage() {
  const HResult code = FVMRWindowlessControl9->GetCurrentImage(FImageBuffer);
  if (code == IVMRWindowlessControl9::kNoImageYet)
    return 0;
  Check(code);
  CheckCondition(FImageBuffer.size() >= BitmapInfoHeader::kSize,
                 "Incomplete image from the renderer");
  const std::uint32_t headerSize = Get32(FImageBuffer.data());
  const std::uint64_t total = std::uint64_t{headerSize} + Get32(FImageBuffer.data() + 20);
  CheckCondition(headerSize >= BitmapInfoHeader::kSize && total <= FImageBuffer.size(),
                 "Incomplete image from the renderer");
  return headerSize;
}

QByteArray TFCamera::RendererImageFile() const {
  const std::uint32_t headerSize = Get32(FImageBuffer.data());
  const std::uint64_t total = std::uint64_t{headerSize} + Get32(FImageBuffer.data() + 20);
  QByteArray out;
  AppendFileHeader(out, total + kFileHeaderSize, headerSize);
  out.append(reinterpret_cast<const char*>(FImageBuffer.data()), static_cast<qsizetype>(total));
  return out;
}

bool TFCamera::RendererImageToBitmap(std::uint32_t headerSize) {
  // Only the plain form a renderer hands out is read here: a 40-byte
  // header, 32-bit uncompressed pixels, bottom-up, no colour table, no
  // resolution. Anything else goes through the toolkit's decoder, which
  // knows every variant; this reads the plain form exactly as it does
  // (rows turned top-down, alpha opaque, the toolkit's default resolution).
  const BitmapInfoHeader header = BitmapInfoHeader::ReadFrom(FImageBuffer.data());
  const std::uint64_t rowBytes = 4 * static_cast<std::uint64_t>(std::max(header.biWidth, 0));
  if (headerSize != BitmapInfoHeader::kSize || header.biPlanes != 1 || header.biBitCount != 32 ||
      header.biCompression != 0 || header.biClrUsed != 0 || header.biXPelsPerMeter != 0 ||
      header.biYPelsPerMeter != 0 || header.biWidth <= 0 || header.biHeight <= 0 ||
      header.biSizeImage != rowBytes * static_cast<std::uint64_t>(header.biHeight))
    return false;
  const int width = header.biWidth, height = header.biHeight;
  PrepareBitmap(FBitmap, width, height);
  if (FBitmap.isNull())
    return false;
  const std::uint8_t* pixels = FImageBuffer.data() + headerSize;
  const qsizetype stride = FBitmap.bytesPerLine();
  std::uint8_t* top = FBitmap.bits();
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<QRgb*>(top + y * stride);
    std::memcpy(row, pixels + static_cast<std::size_t>(height - 1 - y) * rowBytes, rowBytes);
    for (int x = 0; x < width; ++x)
      row[x] |= 0xFF000000u;
  }
  return true;
}

QImage TFCamera::TakePicture() {
  if (!FPreparedPicture)
    return QImage();
  IPreparedPicture::Picture picture;
  if (FPreparedPicture->TakePicture(picture) != hr::Ok || !picture.pixels)
    return QImage();
  // The image holds the renderer's buffer until its last copy goes; then
  // the buffer goes back to the renderer for a later frame.
  using Hold = std::shared_ptr<const std::vector<std::uint8_t>>;
  auto* hold = new Hold(std::move(picture.pixels));
  return QImage((*hold)->data() + picture.offset, picture.width, picture.height, picture.stride,
                QImage::Format_RGB32, [](void* held) { delete static_cast<Hold*>(held); }, hold);
}

void TFCamera::SetPictureCopyTarget(const void* address) {
  if (FPreparedPicture)
    FPreparedPicture->SetCopyTarget(reinterpret_cast<std::uintptr_t>(address));
}

void TFCamera::ReleaseImageBuffers() {
  FImageBuffer = {};
  FBitmap = QImage();
}

QImage TFCamera::CurrentImageToBitmap() {
  // The renderer's picture goes straight into a bitmap kept from frame to
  // frame: a running camera test repaints at the frame rate, and writing a
  // bitmap file only to decode it again, into fresh frame-sized buffers each
  // time, cost several times the conversion itself. A renderer that can
  // write it top row first spares the bottom-up copy and turning it upright
  // (for MJPG the decoder then writes the bitmap itself).
  CheckActive();
  if (!FGrabberUsed) {
    if (const auto picture = Query<ICurrentPicture>(FVMRWindowlessControl9)) {
      const HResult code =
          picture->GetCurrentPicture([this](std::int32_t width, std::int32_t height) {
            PrepareBitmap(FBitmap, width, height);
            return FBitmap.isNull()
                       ? ICurrentPicture::Target{}
                       : ICurrentPicture::Target{FBitmap.bits(), FBitmap.bytesPerLine()};
          });
      if (code == IVMRWindowlessControl9::kNoImageYet)
        return QImage();
      Check(code);
      return FBitmap;
    }
    const std::uint32_t headerSize = RendererImage();
    if (headerSize == 0)
      return QImage();
    if (RendererImageToBitmap(headerSize))
      return FBitmap;
  }
  TFImageFormat format = ifBmp;
  const QByteArray image = FGrabberUsed ? CurrentImage(format) : RendererImageFile();
  if (image.isEmpty())
    return QImage();
  if (format == ifJpeg) {
    AmMediaType mediaType;
    Check(FSampleGrabber->GetConnectedMediaType(mediaType));
    CheckJpegWithinFormat(image, mediaType);
  }
  QImage bitmap;
  if (!bitmap.loadFromData(image))
    throw varnholt::Exception("Loading bitmap failed.");
  return bitmap;
}
