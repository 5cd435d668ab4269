#include "camera/platform/virtual/TestPicture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace varnholt::platform::virtualcam {
namespace {

// 75 % colour bars in video levels: white, yellow, cyan, green, magenta,
// red, blue, black.
constexpr std::uint8_t kBars[8][3] = {
    {180, 128, 128}, {162, 44, 142}, {131, 156, 44}, {112, 72, 58},
    {84, 184, 198},  {65, 100, 212}, {35, 212, 114}, {16, 128, 128},
};

// Digits 0-9 as 3 x 5 bitmaps, one row per three bits.
constexpr std::uint16_t kDigits[10] = {
    0b111'101'101'101'111, 0b010'110'010'010'111, 0b111'001'111'100'111, 0b111'001'111'001'111,
    0b101'101'111'001'001, 0b111'100'111'001'111, 0b111'100'111'101'111, 0b111'001'010'010'010,
    0b111'101'111'101'111, 0b111'101'111'001'111,
};

std::uint8_t Clamp(double value) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

}  // namespace

TestPicture::TestPicture(int width, int height)
    : width_(std::max(width, 1)), height_(std::max(height, 1)) {
  background_.resize(static_cast<std::size_t>(width_) * height_ * 2);
  const int barsEnd = height_ * 2 / 3;
  const int rampEnd = height_ * 5 / 6;
  const auto rowBytes = static_cast<std::size_t>(width_) * 2;
  for (int y = 0; y < height_; ++y) {
    // The rows of a band are alike, and with an even width their pixels pair
    // alike too: each band's first row is drawn, the rest are copies of it.
    if (width_ % 2 == 0 && y != 0 && y != barsEnd && y != rampEnd) {
      std::memcpy(background_.data() + y * rowBytes, background_.data() + (y - 1) * rowBytes,
                  rowBytes);
      continue;
    }
    for (int x = 0; x < width_; ++x) {
      Yuv colour{16, 128, 128};
      if (y < barsEnd) {
        const auto* bar = kBars[x * 8 / width_];
        colour = {bar[0], bar[1], bar[2]};
      } else if (y < rampEnd) {
        colour.y = static_cast<std::uint8_t>(16 + 219 * x / std::max(width_ - 1, 1));
      }
      Put(background_, x, y, Ink{colour, colour.u});
    }
  }
}

void TestPicture::Put(std::vector<std::uint8_t>& out, int x, int y, Ink ink) const {
  // Pixels pair up in memory order; the pair's two chroma bytes are shared.
  const std::size_t i = static_cast<std::size_t>(y) * width_ + x;
  out[2 * i] = ink.paired.y;
  const std::size_t first = i & ~std::size_t{1};
  if (2 * first + 3 < out.size()) {
    out[2 * first + 1] = ink.paired.u;
    out[2 * first + 3] = ink.paired.v;
  } else {
    out[2 * first + 1] = ink.unpairedU;
  }
}

void TestPicture::Fill(std::vector<std::uint8_t>& out, int x0, int y0, int x1, int y1,
                       Ink ink) const {
  for (int y = std::max(y0, 0); y < std::min(y1, height_); ++y)
    for (int x = std::max(x0, 0); x < std::min(x1, width_); ++x)
      Put(out, x, y, ink);
}

void TestPicture::DrawNumber(std::vector<std::uint8_t>& out, std::uint64_t number, int x, int y,
                             int scale, Ink ink) const {
  constexpr int kDigitCount = 6;
  for (int d = kDigitCount - 1; d >= 0; --d, number /= 10) {
    const std::uint16_t bits = kDigits[number % 10];
    const int left = x + d * 4 * scale;
    for (int row = 0; row < 5; ++row)
      for (int col = 0; col < 3; ++col)
        if (bits & (1u << (14 - row * 3 - col)))
          Fill(out, left + col * scale, y + row * scale, left + (col + 1) * scale,
               y + (row + 1) * scale, ink);
  }
}

void TestPicture::UseSettings(const PictureSettings& s) {
  if (tablesFor_ != s) {
    for (int y = 0; y < 256; ++y)
      luma_[y] = Clamp((y - 128) * s.contrast + 128 + s.brightness);
    const double angle = s.hueDegrees * std::numbers::pi / 180.0;
    const double gain = s.colour ? s.saturation : 0.0;
    const double c = std::cos(angle) * gain;
    const double n = std::sin(angle) * gain;
    chroma_.resize(65536);
    for (int u = 0; u < 256; ++u) {
      for (int v = 0; v < 256; ++v) {
        const double cu = u - 128;
        const double cv = v - 128;
        chroma_[(u << 8) | v] = static_cast<std::uint16_t>((Clamp(128 + cu * c - cv * n) << 8) |
                                                           Clamp(128 + cu * n + cv * c));
      }
    }
    tablesFor_ = s;
    adjusted_ = background_;
    Adjust(adjusted_);
  }
}

void TestPicture::Adjust(std::vector<std::uint8_t>& out) const {
  std::size_t i = 0;
  for (; i + 4 <= out.size(); i += 4) {
    const std::uint16_t uv = chroma_[(out[i + 1] << 8) | out[i + 3]];
    out[i] = luma_[out[i]];
    out[i + 1] = static_cast<std::uint8_t>(uv >> 8);
    out[i + 2] = luma_[out[i + 2]];
    out[i + 3] = static_cast<std::uint8_t>(uv);
  }
  if (i + 2 <= out.size()) {  // a last pixel without a partner
    out[i] = luma_[out[i]];
    out[i + 1] = static_cast<std::uint8_t>(chroma_[(out[i + 1] << 8) | 128] >> 8);
  }
}

TestPicture::Ink TestPicture::Adjusted(Yuv colour) const {
  const std::uint16_t uv = chroma_[(colour.u << 8) | colour.v];
  return {{luma_[colour.y], static_cast<std::uint8_t>(uv >> 8), static_cast<std::uint8_t>(uv)},
          static_cast<std::uint8_t>(chroma_[(colour.u << 8) | 128] >> 8)};
}

int TestPicture::MarkSide(int width, int height) {
  return std::min(std::max(2, std::min(width, height) / 16) & ~1, width & ~1);
}

void TestPicture::Render(std::uint64_t frame, const PictureSettings& settings, bool secondMark,
                         std::vector<std::uint8_t>& out) {
  UseSettings(settings);
  out = adjusted_;
  // The box runs to and fro along the bottom band, a few pixels a frame.
  const int bandTop = height_ * 5 / 6;
  const int side = std::max(height_ - bandTop, 2);
  const int travel = std::max(width_ - side, 1);
  const int step = std::max(width_ / 100, 2);
  const auto position = static_cast<int>((frame * step) % (2 * static_cast<std::uint64_t>(travel)));
  const int x = position < travel ? position : 2 * travel - position;
  Fill(out, x, bandTop, x + side, height_, Adjusted(Yuv{170, 166, 16}));
  const int scale = std::max(1, (height_ - bandTop) / 7);
  const Ink white = Adjusted(Yuv{235, 128, 128});
  DrawNumber(out, frame, scale, bandTop + scale, scale, white);
  // Over the black bar, where it only shows on a second mark.
  const int mark = MarkSide(width_, height_);
  Fill(out, width_ - mark, 0, width_, mark, secondMark ? white : Adjusted(Yuv{16, 128, 128}));
}

}  // namespace varnholt::platform::virtualcam
