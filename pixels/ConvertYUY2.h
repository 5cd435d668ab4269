#pragma once

// Packed 4:2:2 ("YUY2": Y0 U Y1 V per pixel pair) to 32-bit ARGB pixels.
//
// The source is read front to back, two bytes per pixel; U and V are taken
// at the first pixel of each pair and shared by both. Per pixel, with trunc
// toward zero applied to each term on its own and clamp to 0..255:
//   R = clamp(Y + trunc( 1.370705 * (V - 128)))
//   G = clamp(Y + trunc(-0.698001 * (V - 128)) + trunc(-0.337633 * (U - 128)))
//   B = clamp(Y + trunc( 1.732446 * (U - 128)))
// and the pixel is 0xFF000000 + R * 0x10000 + G * 0x100 + B. Source row r
// (0 = first in memory) becomes output row height - 1 - r: the output is a
// bottom-up bitmap.

#include <cstddef>
#include <cstdint>

namespace varnholt {

// The number of source bytes a width x height frame needs (2 per pixel).
constexpr std::size_t YUY2FrameSize(int width, int height) {
  return width > 0 && height > 0 ? static_cast<std::size_t>(width) * height * 2 : 0;
}

// Converts one frame into width * height pixels at output. Answers false and
// writes nothing when the size is not positive or sourceSize is shorter than
// YUY2FrameSize(width, height): a short buffer is never read past its end.
bool ConvertYUY2(const std::uint8_t* source, std::size_t sourceSize, int width, int height,
                 std::uint32_t* output);

// The plain table-driven conversion, kept as the reference the fast one must
// equal bit for bit (tests and benchmarks compare the two).
bool ConvertYUY2Reference(const std::uint8_t* source, std::size_t sourceSize, int width, int height,
                          std::uint32_t* output);

}  // namespace varnholt
