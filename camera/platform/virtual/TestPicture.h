#pragma once

// The moving test picture a virtual camera streams, as YUY2 (two bytes a
// pixel, Y U Y V for each pair of pixels in memory order): colour bars over a
// grey ramp, a box that moves every frame and the frame number, all passed
// through the camera's current brightness, contrast, saturation, hue and
// colour switch. A square in the top-right corner, black like the bar under
// it, turns white on a second mark, which recordings are timed by.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "camera/platform/virtual/PictureSettings.h"

namespace varnholt::platform::virtualcam {

class TestPicture {
 public:
  TestPicture(int width, int height);

  // Frame number `frame` into out (resized to width * height * 2 bytes).
  void Render(std::uint64_t frame, const PictureSettings& settings, bool secondMark,
              std::vector<std::uint8_t>& out);

  // The corner square's side in pixels.
  static int MarkSide(int width, int height);

 private:
  struct Yuv {
    std::uint8_t y, u, v;
  };
  // A colour as written into the frame: its pair's bytes, and the U byte of
  // a last pixel without a partner (an odd pixel count), whose V is absent.
  struct Ink {
    Yuv paired;
    std::uint8_t unpairedU;
  };
  void Put(std::vector<std::uint8_t>& out, int x, int y, Ink ink) const;
  void Fill(std::vector<std::uint8_t>& out, int x0, int y0, int x1, int y1, Ink ink) const;
  void DrawNumber(std::vector<std::uint8_t>& out, std::uint64_t number, int x, int y, int scale,
                  Ink ink) const;
  // Brings the tables and the adjusted background up to these settings.
  void UseSettings(const PictureSettings& settings);
  void Adjust(std::vector<std::uint8_t>& out) const;
  // A colour passed through the current settings, as Adjust would pass it.
  Ink Adjusted(Yuv colour) const;

  int width_;
  int height_;
  std::vector<std::uint8_t> background_;
  // The background through the current settings: the moving parts are drawn
  // over a copy of it in adjusted colours, so a frame costs one copy rather
  // than a pass over every pixel.
  std::vector<std::uint8_t> adjusted_;
  // Lookup tables for the current settings: luma, and chroma as (U << 8 | V).
  std::optional<PictureSettings> tablesFor_;
  std::array<std::uint8_t, 256> luma_{};
  std::vector<std::uint16_t> chroma_;
};

}  // namespace varnholt::platform::virtualcam
