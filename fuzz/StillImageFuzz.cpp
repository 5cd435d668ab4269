// libFuzzer target for still images of fuzzed frames: a YUY2 or MJPG frame
// of any bytes under a format of any size, turned into the bitmap a
// renderer hands out (FrameToDib) and into a caller's picture memory
// (FrameToPicture). Besides crashes: both forms agree on every pixel, a
// bitmap's header says its size, nothing is read past the frame, and no
// JPEG is decoded to more pixels than its format has.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "camera/platform/MediaType.h"
#include "camera/platform/graph/DibImage.h"
#include "fuzz/FuzzSupport.h"

using namespace varnholt::platform;
using varnholt::fuzz::Require;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  varnholt::fuzz::StartApplication();  // the JPEG plugin comes with the application
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  graph::VideoFormat format;
  const std::uint8_t kind = input.ConsumeIntegral<std::uint8_t>();
  format.fourcc = kind % 3 == 0   ? kFourCCYUY2
                  : kind % 3 == 1 ? kFourCCMJPG
                                  : input.ConsumeIntegral<std::uint32_t>();
  format.width = input.ConsumeIntegral<std::int16_t>();
  format.height = input.ConsumeIntegral<std::int16_t>();
  // A JPEG may claim as many pixels as its format has, and decoding a
  // picture of a thousand million of them tests nothing but the memory:
  // MJPG formats stay camera-sized.
  if (format.fourcc == kFourCCMJPG) {
    format.width %= 2048;
    format.height %= 2048;
  }
  // The frame in memory of its own size, so that a read past it is seen.
  const std::vector<std::uint8_t> frame = input.ConsumeRemainingBytes<std::uint8_t>();

  std::vector<std::uint8_t> dib(3, 0xAB);  // reused memory, as the renderer's is
  const HResult dibCode = graph::FrameToDib(format, frame, dib);

  std::vector<std::uint8_t> picture;
  std::int32_t pictureWidth = 0, pictureHeight = 0;
  const HResult pictureCode = graph::FrameToPicture(
      format, frame, [&](std::int32_t width, std::int32_t height) -> ICurrentPicture::Target {
        Require(width > 0 && height > 0, "a picture has a size");
        // Larger than any camera's picture: the caller would refuse it too.
        if (std::int64_t{width} * height > (1 << 24))
          return {};
        pictureWidth = width;
        pictureHeight = height;
        picture.assign(std::size_t(width) * std::size_t(height) * 4, 0);
        return {picture.data(), std::ptrdiff_t(width) * 4};
      });
  if (dibCode != hr::Ok || pictureCode != hr::Ok)
    return 0;
  if (format.fourcc == kFourCCMJPG)
    Require(std::int64_t{pictureWidth} * pictureHeight <=
                std::int64_t{format.width} * std::abs(std::int64_t{format.height}),
            "a JPEG has no more pixels than its format");

  Require(dib.size() >= BitmapInfoHeader::kSize, "a bitmap has a header");
  const BitmapInfoHeader header = BitmapInfoHeader::ReadFrom(dib.data());
  Require(header.biWidth == pictureWidth && header.biHeight == pictureHeight,
          "both forms have one size");
  Require(dib.size() == BitmapInfoHeader::kSize + picture.size(), "the header says the size");
  const std::size_t rowBytes = std::size_t(pictureWidth) * 4;
  for (std::int32_t y = 0; y < pictureHeight; ++y)
    Require(std::memcmp(dib.data() + BitmapInfoHeader::kSize +
                            std::size_t(pictureHeight - 1 - y) * rowBytes,
                        picture.data() + std::size_t(y) * rowBytes, rowBytes) == 0,
            "both forms hold the same pixels");
  return 0;
}
