#pragma once

// Checks the vivid and uvcvideo suites share: a property by its row key,
// the "unsupported" answer to every call, the driver's own formats and frame
// times read on a separate descriptor, and the contents of a still picture.

#include <QByteArray>
#include <atomic>
#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "camera/FCamera.h"
#include "camera/PropertyKeys.h"

namespace varnholt::test {

// The platform's "unsupported" code (ERROR_NOT_FOUND as an HRESULT).
inline constexpr std::uint32_t kUnsupported = 0x80070490;

// The row key by its name ("WhiteBalance"); throws for an unknown name.
const TFPropertyKey& Key(const std::string& name);

// The property's support check says no and every other call raises the
// platform's "unsupported" code; adds a failure for each call that does not.
void ExpectUnsupported(TFCamera& camera, const TFPropertyKey& key);

// The property is supported and its range through the component is the
// expected one: bounds, step, default, and the automatic and manual
// capabilities. Adds a failure for each field that differs.
void ExpectRange(TFCamera& camera, const TFPropertyKey& key, const TFRange& expected);

std::string FourCC(const TFFourCC& f);

// The frame intervals the driver offers for YUYV at one size, in 100-ns
// units rounded to the nearest, as the backend rounds them.
std::set<std::int64_t> DriverFrameTimes(const std::string& node, int width, int height);

struct DriverFormat {
  std::uint32_t width = 0, height = 0, pixelFormat = 0;
  std::int64_t frameTime = 0;  // 100 ns
};
DriverFormat CurrentDriverFormat(const std::string& node);

// The camera's YUY2 format of that size (the first listed); Width 0 if none.
TFCameraFormat Yuy2Format(TFCamera& camera, int width, int height);

// What a grabbing camera has handed over so far.
struct Grabbed {
  std::atomic<int> frames{0};
  std::atomic<bool> timesRise{true};  // every frame's time above the last
  std::atomic<double> lastTime{-1};
};
// Starts the camera streaming into the sample grabber and counts its frames.
// Shared, so a test that stops early leaves the camera's handler nothing
// dangling.
std::shared_ptr<Grabbed> StartGrabbing(TFCamera& camera);

// After the camera went while grabbing: no frame arrives any more (watched
// for a few seconds), and the last picture is still there to be saved.
void ExpectStreamEndedKeepingTheLastPicture(TFCamera& camera, const Grabbed& grabbed);

// How many colours the first pixel row of a 32-bit BMP holds.
int DistinctColoursInFirstRow(const QByteArray& bmp, int width);
// The mean of R, G and B over a 32-bit BMP's pixels.
double MeanLevel(const QByteArray& bmp);

}  // namespace varnholt::test
