#pragma once

// Media types as plain values. The format block keeps the platform's byte
// layout (a video-info header is 88 bytes: two rectangles, bit rates, the
// frame time and a 40-byte bitmap header) because the component's rules
// qualify formats by block type and size.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "camera/platform/Guid.h"

namespace varnholt::platform {

class Unknown;

struct AmMediaType {
  Guid majortype;
  Guid subtype;
  bool bFixedSizeSamples = false;
  bool bTemporalCompression = false;
  std::uint32_t lSampleSize = 0;
  Guid formattype;
  std::shared_ptr<Unknown> pUnk;       // object reference some types carry; usually none
  std::vector<std::uint8_t> pbFormat;  // the format block; its size is cbFormat

  std::size_t cbFormat() const { return pbFormat.size(); }
};

struct Rect32 {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const Rect32&, const Rect32&) = default;
};

// BITMAPINFOHEADER, 40 bytes.
struct BitmapInfoHeader {
  std::uint32_t biSize = 40;
  std::int32_t biWidth = 0;
  std::int32_t biHeight = 0;
  std::uint16_t biPlanes = 1;
  std::uint16_t biBitCount = 0;
  std::uint32_t biCompression = 0;
  std::uint32_t biSizeImage = 0;
  std::int32_t biXPelsPerMeter = 0;
  std::int32_t biYPelsPerMeter = 0;
  std::uint32_t biClrUsed = 0;
  std::uint32_t biClrImportant = 0;

  static constexpr std::size_t kSize = 40;
  void WriteTo(std::uint8_t* out) const;
  static BitmapInfoHeader ReadFrom(const std::uint8_t* in);
};

// VIDEOINFOHEADER, 88 bytes.
struct VideoInfoHeader {
  Rect32 rcSource;
  Rect32 rcTarget;
  std::uint32_t dwBitRate = 0;
  std::uint32_t dwBitErrorRate = 0;
  std::int64_t AvgTimePerFrame = 0;  // 100-ns units
  BitmapInfoHeader bmiHeader;

  static constexpr std::size_t kSize = 88;
  static constexpr std::size_t kBitmapHeaderOffset = 48;
  std::vector<std::uint8_t> ToBytes() const;
  // Reads the first 88 bytes; nullopt when the block is shorter.
  static std::optional<VideoInfoHeader> FromBytes(const std::vector<std::uint8_t>& block);
};

// WAVEFORMATEX, 18 bytes: sound sources deliver 16-bit PCM (format tag 1).
struct WaveFormatEx {
  std::uint16_t wFormatTag = 1;
  std::uint16_t nChannels = 0;
  std::uint32_t nSamplesPerSec = 0;
  std::uint32_t nAvgBytesPerSec = 0;
  std::uint16_t nBlockAlign = 0;
  std::uint16_t wBitsPerSample = 16;
  std::uint16_t cbSize = 0;

  static constexpr std::size_t kSize = 18;
  static WaveFormatEx Pcm16(std::uint32_t sampleRate, std::uint16_t channels);
  std::vector<std::uint8_t> ToBytes() const;
  // Reads the first 18 bytes; nullopt when the block is shorter.
  static std::optional<WaveFormatEx> FromBytes(const std::vector<std::uint8_t>& block);
};

// An audio media type of 16-bit PCM at the rate and channels given.
AmMediaType MakePcmMediaType(std::uint32_t sampleRate, std::uint16_t channels);

constexpr std::uint32_t MakeFourCC(char a, char b, char c, char d) {
  return static_cast<std::uint32_t>(static_cast<std::uint8_t>(a)) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(b)) << 8) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(c)) << 16) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(d)) << 24);
}
constexpr std::uint32_t kFourCCYUY2 = MakeFourCC('Y', 'U', 'Y', '2');  // 0x32595559
constexpr std::uint32_t kFourCCMJPG = MakeFourCC('M', 'J', 'P', 'G');  // 0x47504A4D

// Releases what a media type holds: the format block and the object reference.
void FreeMediaType(AmMediaType& mediaType);

}  // namespace varnholt::platform
