#include "camera/platform/directshow/vcam/MovingPicture.h"

#include <algorithm>

namespace varnholt::vcam {
namespace {

struct Yuv {
  int y, u, v;
};

// 75 % bars in video levels: white, yellow, cyan, green, magenta, red,
// blue, black.
constexpr Yuv kBars[8] = {{180, 128, 128}, {162, 44, 142}, {131, 156, 44}, {112, 72, 58},
                          {84, 184, 198},  {65, 100, 212}, {35, 212, 114}, {16, 128, 128}};
constexpr Yuv kBox = {235, 128, 128};

std::uint8_t Clamp(int value) {
  return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

// The picture's colour at (x, y), y counted from the top.
struct Scene {
  int width, height, boxLeft, boxTop, boxSide, lumaOffset;

  Yuv At(int x, int y) const {
    Yuv c = kBars[std::min(7, x * 8 / width)];
    if (x >= boxLeft && x < boxLeft + boxSide && y >= boxTop && y < boxTop + boxSide)
      c = kBox;
    c.y += lumaOffset;
    return c;
  }
};

void RenderRgb(const Scene& s, std::uint8_t* image) {
  const std::size_t stride = (static_cast<std::size_t>(s.width) * 3 + 3) & ~std::size_t{3};
  for (int y = 0; y < s.height; ++y) {
    // Bottom-up: the last row in memory is the top of the picture.
    std::uint8_t* row = image + stride * static_cast<std::size_t>(s.height - 1 - y);
    for (int x = 0; x < s.width; ++x) {
      const Yuv c = s.At(x, y);
      const int d = c.u - 128, e = c.v - 128, l = 298 * (c.y - 16);
      row[3 * x + 0] = Clamp((l + 516 * d + 128) >> 8);            // blue
      row[3 * x + 1] = Clamp((l - 100 * d - 208 * e + 128) >> 8);  // green
      row[3 * x + 2] = Clamp((l + 409 * e + 128) >> 8);            // red
    }
  }
}

void RenderYuy2(const Scene& s, std::uint8_t* image) {
  for (int y = 0; y < s.height; ++y) {
    std::uint8_t* row = image + static_cast<std::size_t>(y) * s.width * 2;
    for (int x = 0; x + 1 < s.width; x += 2) {
      const Yuv a = s.At(x, y), b = s.At(x + 1, y);
      row[2 * x + 0] = Clamp(a.y);
      row[2 * x + 1] = Clamp(a.u);
      row[2 * x + 2] = Clamp(b.y);
      row[2 * x + 3] = Clamp(a.v);
    }
  }
}

void RenderNv12(const Scene& s, std::uint8_t* image) {
  const std::size_t plane = static_cast<std::size_t>(s.width) * s.height;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      image[static_cast<std::size_t>(y) * s.width + x] = Clamp(s.At(x, y).y);
  for (int y = 0; y + 1 < s.height; y += 2)
    for (int x = 0; x + 1 < s.width; x += 2) {
      const Yuv c = s.At(x, y);
      std::uint8_t* uv = image + plane + static_cast<std::size_t>(y / 2) * s.width + x;
      uv[0] = Clamp(c.u);
      uv[1] = Clamp(c.v);
    }
}

}  // namespace

int BoxLeft(int width, std::uint64_t frame) {
  const int side = std::max(2, width / 8);
  const int travel = std::max(1, width - side);
  return static_cast<int>((frame * 4) % static_cast<std::uint64_t>(travel));
}

void RenderMovingPicture(const VideoFormat& format, std::uint64_t frame, int lumaOffset,
                         std::uint8_t* image) {
  const int side = std::max(2, format.width / 8);
  const Scene scene{format.width,
                    format.height,
                    BoxLeft(format.width, frame),
                    std::max(0, format.height / 2 - side / 2),
                    side,
                    lumaOffset};
  switch (format.pixels) {
    case Pixels::Yuy2:
      RenderYuy2(scene, image);
      break;
    case Pixels::Nv12:
      RenderNv12(scene, image);
      break;
    case Pixels::Rgb24:
      RenderRgb(scene, image);
      break;
  }
}

}  // namespace varnholt::vcam
