#pragma once

// 128-bit identifiers in the platform's layout: they name pin categories,
// media major types and subtypes, format types and kernel-streaming property
// sets, and they travel as 16 raw bytes through property sets.

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace varnholt::platform {

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::array<std::uint8_t, 8> data4{};

  friend bool operator==(const Guid&, const Guid&) = default;

  // The 16-byte wire form (little-endian first three fields, as in memory on
  // the platforms we run on).
  std::array<std::uint8_t, 16> ToBytes() const;
  static Guid FromBytes(const std::uint8_t* bytes);

  // "{785E8F49-63A2-4144-AB70-FFB278FA26CE}"
  std::string ToString() const;
  static std::optional<Guid> Parse(std::string_view text);
};

constexpr Guid MakeGuid(std::uint32_t d1, std::uint16_t d2, std::uint16_t d3, std::uint8_t b0,
                        std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4,
                        std::uint8_t b5, std::uint8_t b6, std::uint8_t b7) {
  return Guid{d1, d2, d3, {b0, b1, b2, b3, b4, b5, b6, b7}};
}

// A FOURCC media subtype: the code in data1, the fixed tail of the platform.
constexpr Guid FourCCSubtype(std::uint32_t fourcc) {
  return MakeGuid(fourcc, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71);
}

namespace guids {
// Pin categories.
constexpr Guid PinCategoryCapture =
    MakeGuid(0xFB6C4281, 0x0353, 0x11D1, 0x90, 0x5F, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA);
constexpr Guid PinCategoryPreview =
    MakeGuid(0xFB6C4282, 0x0353, 0x11D1, 0x90, 0x5F, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA);
constexpr Guid PinCategoryStill =
    MakeGuid(0xFB6C428A, 0x0353, 0x11D1, 0x90, 0x5F, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA);
// The property set that reports a pin's category.
constexpr Guid AmPropSetIdPin =
    MakeGuid(0x9B00F101, 0x1567, 0x11D1, 0xB3, 0xF1, 0x00, 0xAA, 0x00, 0x37, 0x61, 0xC5);

// Media major types ("vids", "auds").
constexpr Guid MediaTypeVideo =
    MakeGuid(0x73646976, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71);
constexpr Guid MediaTypeAudio =
    MakeGuid(0x73647561, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71);

// Sound subtype: interleaved little-endian PCM.
constexpr Guid MediaSubtypePcm =
    MakeGuid(0x00000001, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71);

// Format types of a media type's format block.
constexpr Guid FormatVideoInfo =
    MakeGuid(0x05589F80, 0xC356, 0x11CE, 0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A);
constexpr Guid FormatWaveFormatEx =
    MakeGuid(0x05589F81, 0xC356, 0x11CE, 0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A);
constexpr Guid FormatVideoInfo2 =
    MakeGuid(0xF72A76A0, 0xEB0A, 0x11D0, 0xAC, 0xE4, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA);

// Output container subtypes.
constexpr Guid MediaSubtypeAsf =
    MakeGuid(0x3DB80F90, 0x9412, 0x11D1, 0xAD, 0xED, 0x00, 0x00, 0xF8, 0x75, 0x4B, 0x99);
constexpr Guid MediaSubtypeAvi =
    MakeGuid(0xE436EB88, 0x524F, 0x11CE, 0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);

// Kernel-streaming property sets of the camera's flash and video stabilization.
constexpr Guid KsPropSetFlash =
    MakeGuid(0x785E8F49, 0x63A2, 0x4144, 0xAB, 0x70, 0xFF, 0xB2, 0x78, 0xFA, 0x26, 0xCE);
constexpr Guid KsPropSetVideoStabilization =
    MakeGuid(0x43964BD3, 0x7716, 0x404E, 0x8B, 0xE1, 0xD2, 0x99, 0xB2, 0x0E, 0x50, 0xFD);

// Property pages of the generic property frame: the device's controls, and
// the stream format.
constexpr Guid PageDeviceControls =
    MakeGuid(0x5A3C1E10, 0x2F4B, 0x4C6D, 0x9E, 0x71, 0x56, 0x61, 0x72, 0x6E, 0x68, 0x01);
constexpr Guid PageStreamFormat =
    MakeGuid(0x5A3C1E10, 0x2F4B, 0x4C6D, 0x9E, 0x71, 0x56, 0x61, 0x72, 0x6E, 0x68, 0x02);
}  // namespace guids

}  // namespace varnholt::platform
