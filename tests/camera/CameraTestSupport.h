#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <cstring>
#include <memory>
#include <string>

#include "camera/FCamera.h"
#include "tests/camera/FakePlatform.h"

namespace varnholt::test {

// The message of the EFCameraError that f raises, or a marker when it raises
// something else or nothing.
template <class F>
std::string CameraErrorOf(F&& f) {
  try {
    f();
  } catch (const EFCameraError& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return std::string("<other exception: ") + e.what() + ">";
  }
  return "<no exception>";
}

struct OleError {
  bool raised = false;
  HResult code = 0;
  std::string message;
};

template <class F>
OleError OleErrorOf(F&& f) {
  OleError result;
  try {
    f();
  } catch (const EOleSysError& e) {
    result.raised = true;
    result.code = e.ErrorCode();
    result.message = e.Message();
  } catch (const std::exception& e) {
    result.message = std::string("<other exception: ") + e.what() + ">";
  }
  return result;
}

// Whether two bitmaps are the same: format, size, resolution and every byte
// of every row.
inline void ExpectSameBitmap(const QImage& actual, const QImage& expected) {
  ASSERT_EQ(actual.format(), expected.format());
  ASSERT_EQ(actual.size(), expected.size());
  EXPECT_EQ(actual.dotsPerMeterX(), expected.dotsPerMeterX());
  EXPECT_EQ(actual.dotsPerMeterY(), expected.dotsPerMeterY());
  const auto rowBytes = static_cast<std::size_t>(actual.width() * actual.depth() / 8);
  for (int y = 0; y < actual.height(); ++y)
    ASSERT_EQ(std::memcmp(actual.constScanLine(y), expected.constScanLine(y), rowBytes), 0)
        << "row " << y;
}

// A camera on a fake platform; the platform outlives the camera.
struct FakeCameraRig {
  std::shared_ptr<FakePlatform> platform = std::make_shared<FakePlatform>();
  std::unique_ptr<TFCamera> camera = std::make_unique<TFCamera>(nullptr, platform);

  ~FakeCameraRig() { camera.reset(); }
};

}  // namespace varnholt::test
