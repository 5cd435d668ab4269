#pragma once

// Real JPEG data for the virtual cameras' MJPG formats, made with Qt's JPEG
// image plugin on the streaming thread.

#include <cstdint>
#include <vector>

namespace varnholt::platform::virtualcam {

// Whether Qt's JPEG image plugin was found; without it MJPG cannot stream.
bool JpegEncodingAvailable();

// A YUY2 frame of width x height as one JPEG picture; false when Qt cannot
// write it.
bool EncodeJpeg(const std::vector<std::uint8_t>& yuy2, int width, int height,
                std::vector<std::uint8_t>& jpeg);

}  // namespace varnholt::platform::virtualcam
