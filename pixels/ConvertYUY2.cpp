#include "pixels/ConvertYUY2.h"

#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "pixels/ConvertYUY2Kernels.h"

namespace varnholt {
namespace {

// One entry per byte value: each term truncated on its own, as the rule says.
struct Tables {
  std::int16_t rV[256];
  std::int16_t gV[256];
  std::int16_t gU[256];
  std::int16_t bU[256];
};

Tables BuildTables() {
  Tables t{};
  for (int x = 0; x < 256; ++x) {
    const double d = x - 128;
    t.rV[x] = static_cast<std::int16_t>(std::trunc(1.370705 * d));
    t.gV[x] = static_cast<std::int16_t>(std::trunc(-0.698001 * d));
    t.gU[x] = static_cast<std::int16_t>(std::trunc(-0.337633 * d));
    t.bU[x] = static_cast<std::int16_t>(std::trunc(1.732446 * d));
  }
  return t;
}

const Tables& GetTables() {
  static const Tables tables = BuildTables();
  return tables;
}

// Spelled out rather than std::clamp: debug builds run the exhaustive test
// through here and do not inline.
inline std::uint32_t Clamp(int value) {
  return value < 0 ? 0u : value > 255 ? 255u : static_cast<std::uint32_t>(value);
}

inline std::uint32_t Pixel(const Tables& t, int y, int u, int v) {
  return 0xFF000000u | Clamp(y + t.rV[v]) << 16 | Clamp(y + t.gV[v] + t.gU[u]) << 8 |
         Clamp(y + t.bU[u]);
}

// The pixel count of an acceptable frame, or 0. The output (4 bytes per
// pixel, twice the source) must be an object size the compiler can address,
// which also keeps every index computed below inside size_t.
std::size_t AcceptedPixels(const std::uint8_t* source, std::size_t sourceSize, int width,
                           int height, const std::uint32_t* output) {
  if (width <= 0 || height <= 0 || source == nullptr || output == nullptr)
    return 0;
  std::size_t pixels = 0;
  std::size_t outputBytes = 0;
  if (__builtin_mul_overflow(static_cast<std::size_t>(width), static_cast<std::size_t>(height),
                             &pixels) ||
      __builtin_mul_overflow(pixels, std::size_t{4}, &outputBytes) ||
      outputBytes > static_cast<std::size_t>(PTRDIFF_MAX))
    return 0;
  return sourceSize / 2 >= pixels ? pixels : 0;
}

// Row by row so the kernel sees whole pairs in one output row. With an odd
// width every other row starts with the second pixel of a pair begun on the
// row above and ends with the first pixel of a pair finished on the row below;
// those single pixels go through the tables.
void WalkRows(convert::PairKernel kernel, const std::uint8_t* source, std::size_t pixels,
              std::size_t width, std::size_t height, std::uint32_t* output) {
  const Tables& t = GetTables();
  for (std::size_t row = 0; row < height; ++row) {
    const std::size_t first = row * width;
    std::uint32_t* line = output + (height - 1 - row) * width;
    std::size_t col = 0;
    if (first % 2 != 0) {
      const std::uint8_t* p = source + 2 * first;
      line[0] = Pixel(t, p[0], p[-1], p[1]);
      col = 1;
    }
    const std::size_t pairs = (width - col) / 2;
    kernel(source + 2 * (first + col), pairs, line + col);
    col += 2 * pairs;
    if (col < width) {
      const std::size_t i = first + col;
      const std::uint8_t* p = source + 2 * i;
      line[col] = Pixel(t, p[0], p[1], i + 1 < pixels ? p[3] : 128);
    }
  }
}

}  // namespace

namespace convert {

// Outputs from this size on are written around the cache: that spares reading
// each output line before overwriting it, 4 of 10 bytes of memory traffic per
// pixel. Smaller ones are likely still cached when the painter or the image
// encoder reads them next, so they are stored normally.
constexpr std::size_t kStreamFromBytes = std::size_t{4} << 20;

void ConvertPairsScalar(const std::uint8_t* source, std::size_t pairs, std::uint32_t* output) {
  const Tables& t = GetTables();
  for (std::size_t k = 0; k < pairs; ++k, source += 4, output += 2) {
    output[0] = Pixel(t, source[0], source[1], source[3]);
    output[1] = Pixel(t, source[2], source[1], source[3]);
  }
}

PairKernel KernelFor(Kernel kernel) {
  switch (kernel) {
    case Kernel::Scalar:
      return ConvertPairsScalar;
#if defined(__x86_64__)
    case Kernel::Sse2:
      return ConvertPairsSse2;
    case Kernel::Avx2:
      return __builtin_cpu_supports("avx2") ? ConvertPairsAvx2 : nullptr;
    case Kernel::Avx2Stream:
      return __builtin_cpu_supports("avx2") ? ConvertPairsAvx2Stream : nullptr;
#else
    case Kernel::Sse2:
    case Kernel::Avx2:
    case Kernel::Avx2Stream:
      return nullptr;
#endif
  }
  return nullptr;
}

Kernel BestKernel(std::size_t outputBytes) {
  if (outputBytes >= kStreamFromBytes && KernelFor(Kernel::Avx2Stream) != nullptr)
    return Kernel::Avx2Stream;
  for (Kernel k : {Kernel::Avx2, Kernel::Sse2})
    if (KernelFor(k) != nullptr)
      return k;
  return Kernel::Scalar;
}

bool ConvertYUY2With(Kernel kernel, const std::uint8_t* source, std::size_t sourceSize, int width,
                     int height, std::uint32_t* output) {
  const PairKernel pairKernel = KernelFor(kernel);
  const std::size_t pixels = AcceptedPixels(source, sourceSize, width, height, output);
  if (pairKernel == nullptr || pixels == 0)
    return false;
  WalkRows(pairKernel, source, pixels, static_cast<std::size_t>(width),
           static_cast<std::size_t>(height), output);
  return true;
}

}  // namespace convert

bool ConvertYUY2(const std::uint8_t* source, std::size_t sourceSize, int width, int height,
                 std::uint32_t* output) {
  static const convert::PairKernel cached = convert::KernelFor(convert::BestKernel(0));
  static const convert::PairKernel streamed = convert::KernelFor(convert::BestKernel(SIZE_MAX));
  const std::size_t pixels = AcceptedPixels(source, sourceSize, width, height, output);
  if (pixels == 0)
    return false;
  WalkRows(pixels * 4 >= convert::kStreamFromBytes ? streamed : cached, source, pixels,
           static_cast<std::size_t>(width), static_cast<std::size_t>(height), output);
  return true;
}

// Front to back over the flat pixel sequence, so a pair may span two rows.
// When the pixel count is odd the last pixel has no V byte of its own; it is
// converted with V = 128, the neutral chroma value.
bool ConvertYUY2Reference(const std::uint8_t* source, std::size_t sourceSize, int width, int height,
                          std::uint32_t* output) {
  const std::size_t pixels = AcceptedPixels(source, sourceSize, width, height, output);
  if (pixels == 0)
    return false;
  const Tables& t = GetTables();
  const std::size_t w = static_cast<std::size_t>(width);
  // Unsigned, so stepping past the top row after the last pixel is harmless.
  std::size_t lineStart = (static_cast<std::size_t>(height) - 1) * w;
  std::size_t col = 0;
  const auto put = [&](std::uint32_t pixel) {
    output[lineStart + col] = pixel;
    if (++col == w) {
      col = 0;
      lineStart -= w;
    }
  };
  for (std::size_t i = 0; i < pixels; i += 2) {
    const std::uint8_t* p = source + 2 * i;
    const bool whole = i + 1 < pixels;
    const int v = whole ? p[3] : 128;
    put(Pixel(t, p[0], p[1], v));
    if (whole)
      put(Pixel(t, p[2], p[1], v));
  }
  return true;
}

}  // namespace varnholt
