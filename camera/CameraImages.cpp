// Still images of the current frame: a Windows bitmap file, or the camera's
// own JPEG data.

#include <QBuffer>
#include <QSaveFile>
#include <vector>

#include "camera/ConvertYUY2.h"
#include "camera/FCamera.h"

using namespace varnholt::platform;

namespace {

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

}  // namespace

QByteArray TFCamera::CurrentImage(TFImageFormat& format) {
  CheckActive();
  format = ifBmp;
  QByteArray out;
  if (!FGrabberUsed) {
    std::vector<std::uint8_t> image;
    Check(FVMRWindowlessControl9->GetCurrentImage(image));
    CheckCondition(image.size() >= BitmapInfoHeader::kSize, "Incomplete image from the renderer");
    const std::uint32_t headerSize = Get32(image.data());
    const std::uint32_t imageSize = Get32(image.data() + 20);
    const std::uint64_t total = std::uint64_t{headerSize} + imageSize;
    CheckCondition(headerSize >= BitmapInfoHeader::kSize && total <= image.size(),
                   "Incomplete image from the renderer");
    AppendFileHeader(out, total + kFileHeaderSize, headerSize);
    out.append(reinterpret_cast<const char*>(image.data()), static_cast<qsizetype>(total));
    return out;
  }

  AmMediaType mediaType;
  Check(FSampleGrabber->GetConnectedMediaType(mediaType));
  if (mediaType.formattype != guids::FormatVideoInfo ||
      mediaType.cbFormat() < VideoInfoHeader::kSize)
    return out;
  std::int32_t size = 0;
  if (Failed(FSampleGrabber->GetCurrentBuffer(size, nullptr)))
    return out;  // no sample buffered yet
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::max(size, 0)));
  Check(FSampleGrabber->GetCurrentBuffer(size, buffer.data()));
  buffer.resize(std::min(buffer.size(), static_cast<std::size_t>(std::max(size, 0))));

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
    const qsizetype start = out.size();
    out.resize(start + static_cast<qsizetype>(4 * pixels));
    auto* dst = reinterpret_cast<std::uint8_t*>(out.data() + start);
    for (std::size_t i = 0; i < pixels; ++i)
      Put32At(dst + 4 * i, rgb[i]);
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
  QSaveFile file(FileName);
  const bool written =
      file.open(QIODevice::WriteOnly) && file.write(image) == image.size() && file.commit();
  CheckCondition(written, "Cannot create file \"" + FileName.toStdString() + "\". " +
                              file.errorString().toStdString());
  return format;
}

QImage TFCamera::CurrentImageToBitmap() {
  TFImageFormat format = ifBmp;
  const QByteArray image = CurrentImage(format);
  if (image.isEmpty())
    return QImage();
  QImage bitmap;
  if (!bitmap.loadFromData(image))
    throw varnholt::Exception("Loading bitmap failed.");
  return bitmap;
}
