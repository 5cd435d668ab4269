// The YUY2 conversion against the rule computed here from scratch: every
// Y, U, V combination in every kernel, the named colours, the bottom-up row
// order, pairs that span rows, the odd last pixel and refused frames.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "pixels/ConvertYUY2.h"
#include "pixels/ConvertYUY2Kernels.h"
#include "tests/pixels/GuardedBuffer.h"

namespace varnholt::test {
namespace {

using Convert = std::function<bool(const std::uint8_t*, std::size_t, int, int, std::uint32_t*)>;

struct Converter {
  std::string name;
  Convert convert;
};

// The public pair and, through the same row walker, every kernel this CPU
// runs except the one the fast version already uses for ordinary frames.
std::vector<Converter> Converters() {
  std::vector<Converter> all = {{"reference", ConvertYUY2Reference}, {"fast", ConvertYUY2}};
  const std::pair<convert::Kernel, const char*> kernels[] = {
      {convert::Kernel::Scalar, "scalar"},
      {convert::Kernel::Sse2, "sse2"},
      {convert::Kernel::Avx2, "avx2"},
      {convert::Kernel::Avx2Stream, "avx2-stream"}};
  for (const auto& entry : kernels) {
    const convert::Kernel kernel = entry.first;
    const auto& name = entry.second;
    if (convert::KernelFor(kernel) == nullptr || kernel == convert::BestKernel(0))
      continue;
    all.push_back(
        {name, [kernel](const std::uint8_t* s, std::size_t n, int w, int h, std::uint32_t* o) {
           return convert::ConvertYUY2With(kernel, s, n, w, h, o);
         }});
  }
  return all;
}

// The chroma parts of one pixel, each truncated on its own.
struct Terms {
  int r, g, b;
};

Terms ChromaTerms(int u, int v) {
  return {static_cast<int>(std::trunc(1.370705 * (v - 128))),
          static_cast<int>(std::trunc(-0.698001 * (v - 128)) + std::trunc(-0.337633 * (u - 128))),
          static_cast<int>(std::trunc(1.732446 * (u - 128)))};
}

std::uint32_t Channel(int value) {
  return value < 0 ? 0u : value > 255 ? 255u : static_cast<std::uint32_t>(value);
}

std::uint32_t Combine(int y, Terms t) {
  return 0xFF000000u + Channel(y + t.r) * 0x10000 + Channel(y + t.g) * 0x100 + Channel(y + t.b);
}

std::uint32_t Expected(int y, int u, int v) {
  return Combine(y, ChromaTerms(u, v));
}

// The whole frame by the flat-pair model: pixel i takes U and V from the pair
// starting at pixel i & ~1, V = 128 when that pair has no second pixel, and
// lands on output row height - 1 - i / width.
std::vector<std::uint32_t> ExpectedFrame(const std::uint8_t* source, int width, int height) {
  const std::size_t w = static_cast<std::size_t>(width);
  const std::size_t pixels = w * static_cast<std::size_t>(height);
  std::vector<std::uint32_t> out(pixels);
  for (std::size_t i = 0; i < pixels; ++i) {
    const std::size_t pair = i / 2;
    const int u = source[4 * pair + 1];
    const int v = 2 * pair + 1 < pixels ? source[4 * pair + 3] : 128;
    out[(static_cast<std::size_t>(height) - 1 - i / w) * w + i % w] = Expected(source[2 * i], u, v);
  }
  return out;
}

void FillRandom(GuardedBuffer<std::uint8_t>& source, unsigned seed) {
  std::mt19937 random(seed);
  for (std::uint8_t& b : source)
    b = static_cast<std::uint8_t>(random());
}

std::string Describe(std::size_t index, std::uint32_t got, std::uint32_t want) {
  char text[96];
  std::snprintf(text, sizeof text, "pixel %zu: got %08X, want %08X", index, got, want);
  return text;
}

// Counts differing pixels and names the first one, instead of one assertion
// per pixel, so a systematic fault stays readable and the loop stays cheap.
void ExpectSamePixels(const std::uint32_t* got, const std::vector<std::uint32_t>& want) {
  std::size_t wrong = 0;
  std::string first;
  for (std::size_t i = 0; i < want.size(); ++i) {
    if (got[i] != want[i] && wrong++ == 0)
      first = Describe(i, got[i], want[i]);
  }
  EXPECT_EQ(wrong, 0u) << first;
}

TEST(ConvertYUY2, EveryYUVCombinationFollowsTheRuleInEveryKernel) {
  // One single-row frame per U whose 65536 pixels cover every (Y, V) once:
  // V steps every 128 pairs, each pair holds an even Y and the next one.
  constexpr int kWidth = 65536;
  std::vector<std::uint8_t> source(2 * kWidth);
  std::vector<std::uint32_t> want(kWidth);
  std::vector<std::uint32_t> got(kWidth);
  // The scalar kernel shares the reference's tables and arithmetic; the frame
  // tests below check how it picks the bytes.
  std::vector<Converter> converters = Converters();
  std::erase_if(converters, [](const Converter& c) { return c.name == "scalar"; });
  std::vector<std::size_t> wrong(converters.size());
  std::vector<std::string> first(converters.size());
  for (int u = 0; u < 256; ++u) {
    std::uint8_t* p = source.data();
    std::uint32_t* w = want.data();
    for (int v = 0; v < 256; ++v) {
      const Terms terms = ChromaTerms(u, v);
      for (int y = 0; y < 256; y += 2, p += 4, w += 2) {
        p[0] = static_cast<std::uint8_t>(y);
        p[1] = static_cast<std::uint8_t>(u);
        p[2] = static_cast<std::uint8_t>(y + 1);
        p[3] = static_cast<std::uint8_t>(v);
        w[0] = Combine(y, terms);
        w[1] = Combine(y + 1, terms);
      }
    }
    for (std::size_t c = 0; c < converters.size(); ++c) {
      ASSERT_TRUE(converters[c].convert(source.data(), source.size(), kWidth, 1, got.data()));
      const std::uint32_t* g = got.data();
      const std::uint32_t* e = want.data();
      for (int i = 0; i < kWidth; ++i) {
        if (g[i] != e[i] && wrong[c]++ == 0)
          first[c] = "U=" + std::to_string(u) + " " + Describe(i, g[i], e[i]);
      }
    }
  }
  for (std::size_t c = 0; c < converters.size(); ++c)
    EXPECT_EQ(wrong[c], 0u) << converters[c].name << ": " << first[c];
}

TEST(ConvertYUY2, NamedColoursAndClamping) {
  struct Case {
    std::uint8_t y, u, v;
    std::uint32_t pixel;
  };
  const Case cases[] = {
      {0, 128, 128, 0xFF000000u},    // black
      {255, 128, 128, 0xFFFFFFFFu},  // white
      // R = 128 + 174 clamps to 255; G = 128 - 88; B untouched.
      {128, 128, 255, 0xFFFF2880u},
      // R = 128 - 175 clamps to 0; G = 128 + 89.
      {128, 128, 0, 0xFF00D980u},
      // B = 255 + 220 clamps to 255, B = 0 - 221 clamps to 0.
      {255, 255, 128, 0xFFFFD5FFu},
      {0, 0, 128, 0xFF002B00u},
  };
  for (const Converter& c : Converters()) {
    SCOPED_TRACE(c.name);
    for (const Case& k : cases) {
      // Both pixels of the pair share U and V.
      const std::uint8_t source[4] = {k.y, k.u, k.y, k.v};
      std::uint32_t out[2] = {0, 0};
      ASSERT_TRUE(c.convert(source, sizeof source, 2, 1, out));
      EXPECT_EQ(out[0], k.pixel) << "Y=" << int(k.y) << " U=" << int(k.u) << " V=" << int(k.v);
      EXPECT_EQ(out[1], k.pixel);
      EXPECT_EQ(Expected(k.y, k.u, k.v), k.pixel);
    }
  }
}

TEST(ConvertYUY2, FirstSourceRowBecomesTheLastOutputRowWithColumnsKept) {
  // 4 x 3 grey frame (U = V = 128) with Y = 10 * row + col.
  constexpr int kWidth = 4;
  constexpr int kHeight = 3;
  std::uint8_t source[2 * kWidth * kHeight];
  for (int i = 0; i < kWidth * kHeight; ++i) {
    source[2 * i] = static_cast<std::uint8_t>(10 * (i / kWidth) + i % kWidth);
    source[2 * i + 1] = 128;
  }
  const auto grey = [](std::uint32_t y) { return 0xFF000000u | y * 0x010101u; };
  const std::uint32_t want[kWidth * kHeight] = {
      grey(20), grey(21), grey(22), grey(23),  // output row 0 = source row 2
      grey(10), grey(11), grey(12), grey(13),  //
      grey(0),  grey(1),  grey(2),  grey(3),   // output row 2 = source row 0
  };
  for (const Converter& c : Converters()) {
    SCOPED_TRACE(c.name);
    std::uint32_t out[kWidth * kHeight] = {};
    ASSERT_TRUE(c.convert(source, sizeof source, kWidth, kHeight, out));
    EXPECT_TRUE(std::equal(std::begin(out), std::end(out), std::begin(want)));
  }
}

TEST(ConvertYUY2, PairsSpanRowsWhenTheWidthIsOddAndTheLastLonePixelUsesNeutralV) {
  // 3 x 3: pixels 2 and 3 form one pair across the end of source row 0; pixel
  // 8 is alone and has no V byte.
  std::uint8_t source[18];
  for (int i = 0; i < 9; ++i)
    source[2 * i] = static_cast<std::uint8_t>(40 + 20 * i);
  const std::uint8_t chroma[9] = {60, 200, 90, 30, 250, 10, 140, 180, 220};
  for (int i = 0; i < 9; ++i)
    source[2 * i + 1] = chroma[i];
  const auto pixel = [&](int i, int u, int v) { return Expected(40 + 20 * i, u, v); };
  // Output rows bottom-up; each pair's U sits at its first pixel, V at its second.
  const std::uint32_t want[9] = {
      pixel(6, 140, 180), pixel(7, 140, 180), pixel(8, 220, 128),  // source row 2
      pixel(3, 90, 30),   pixel(4, 250, 10),  pixel(5, 250, 10),   // source row 1
      pixel(0, 60, 200),  pixel(1, 60, 200),  pixel(2, 90, 30),    // source row 0
  };
  for (const Converter& c : Converters()) {
    SCOPED_TRACE(c.name);
    GuardedBuffer<std::uint8_t> guarded(sizeof source);
    std::copy(std::begin(source), std::end(source), guarded.begin());
    std::uint32_t out[9] = {};
    ASSERT_TRUE(c.convert(guarded.data(), guarded.size(), 3, 3, out));
    for (int i = 0; i < 9; ++i)
      EXPECT_EQ(out[i], want[i]) << "output pixel " << i;

    // A single pixel: Y and U only, its missing V is not read.
    GuardedBuffer<std::uint8_t> lone(2);
    lone[0] = 100;
    lone[1] = 200;
    std::uint32_t one = 0;
    ASSERT_TRUE(c.convert(lone.data(), lone.size(), 1, 1, &one));
    EXPECT_EQ(one, Expected(100, 200, 128));
  }
}

TEST(ConvertYUY2, RefusedFramesWriteNothingAndReadNothingPastTheSource) {
  constexpr std::uint32_t kUntouched = 0x12345678u;
  for (const Converter& c : Converters()) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint32_t> out(64, kUntouched);
    const auto untouched = [&] {
      return std::all_of(out.begin(), out.end(), [&](std::uint32_t p) { return p == kUntouched; });
    };

    // One byte short, for even and odd pixel counts and kernel-sized rows.
    const std::pair<int, int> sizes[] = {{1, 1}, {2, 1}, {3, 3}, {16, 2}, {33, 1}, {8, 8}};
    for (const auto& [w, h] : sizes) {
      const std::size_t needed = YUY2FrameSize(w, h);
      GuardedBuffer<std::uint8_t> shortSource(needed - 1);
      std::fill(shortSource.begin(), shortSource.end(), std::uint8_t{128});
      EXPECT_FALSE(c.convert(shortSource.data(), shortSource.size(), w, h, out.data()))
          << w << "x" << h;
      EXPECT_FALSE(c.convert(shortSource.data(), 0, w, h, out.data()));
    }
    EXPECT_TRUE(untouched());

    std::uint8_t source[8] = {};
    const std::pair<int, int> badSizes[] = {{0, 1}, {1, 0}, {-2, 1}, {2, -1}, {INT_MIN, INT_MIN}};
    for (const auto& [w, h] : badSizes)
      EXPECT_FALSE(c.convert(source, sizeof source, w, h, out.data())) << w << "x" << h;
    // An output of 4 * INT_MAX * INT_MAX bytes is no addressable object.
    EXPECT_FALSE(c.convert(source, SIZE_MAX, INT_MAX, INT_MAX, out.data()));
    EXPECT_FALSE(c.convert(nullptr, sizeof source, 1, 1, out.data()));
    EXPECT_TRUE(untouched());
  }
}

TEST(ConvertYUY2, EveryFrameSizeMatchesTheRuleWithinItsBuffers) {
  std::vector<std::pair<int, int>> sizes;
  for (int h = 1; h <= 7; ++h)
    for (int w = 1; w <= 33; ++w)
      sizes.emplace_back(w, h);
  // The last one is big enough for the fast version to write around the cache.
  sizes.insert(sizes.end(), {{640, 480}, {641, 3}, {1366, 2}, {17, 65}, {1100, 960}});
  const std::vector<Converter> converters = Converters();
  unsigned seed = 1;
  for (const auto& [w, h] : sizes) {
    // Source and output both end at a guard page: no kernel may step past.
    GuardedBuffer<std::uint8_t> source(YUY2FrameSize(w, h));
    FillRandom(source, seed++);
    const std::vector<std::uint32_t> want = ExpectedFrame(source.data(), w, h);
    for (const Converter& c : converters) {
      SCOPED_TRACE(c.name + " " + std::to_string(w) + "x" + std::to_string(h));
      GuardedBuffer<std::uint32_t> out(want.size());
      ASSERT_TRUE(c.convert(source.data(), source.size(), w, h, out.data()));
      ExpectSamePixels(out.data(), want);
    }
  }
}

TEST(ConvertYUY2, ExtraSourceBytesAreIgnored) {
  GuardedBuffer<std::uint8_t> source(YUY2FrameSize(5, 3) + 7);
  FillRandom(source, 99);
  const std::vector<std::uint32_t> want = ExpectedFrame(source.data(), 5, 3);
  for (const Converter& c : Converters()) {
    SCOPED_TRACE(c.name);
    GuardedBuffer<std::uint32_t> out(want.size());
    ASSERT_TRUE(c.convert(source.data(), source.size(), 5, 3, out.data()));
    ExpectSamePixels(out.data(), want);
  }
}

}  // namespace
}  // namespace varnholt::test
