#include "tests/camera/v4l2/V4l2TestSupport.h"

#include <cstring>

#include "camera/platform/v4l2/ControlProperties.h"

namespace varnholt::test {

std::vector<std::string> SharedNodes::VideoNodes() {
  std::vector<std::string> paths;
  for (const auto& [path, camera] : cameras)
    paths.push_back(path);
  platform::v4l2::SortByNodeNumber(paths);
  return paths;
}

int SharedNodes::Open(const std::string& node,
                      std::unique_ptr<platform::v4l2::IoctlDevice>& device) {
  const auto it = cameras.find(node);
  if (it == cameras.end())
    return -ENOENT;
  device = std::make_unique<ForwardingDevice>(it->second);
  return 0;
}

std::vector<std::uint8_t> Yuy2Frame(int width, int height, std::uint8_t y, std::uint8_t u,
                                    std::uint8_t v) {
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(width) * height * 2);
  for (std::size_t i = 0; i < frame.size(); i += 4) {
    frame[i] = y;
    frame[i + 1] = u;
    frame[i + 2] = y;
    frame[i + 3] = v;
  }
  return frame;
}

const TFCameraFormat* FindFormat(const TFCameraFormats& formats, const char* compression, int width,
                                 int height, std::int64_t frameTime) {
  for (const auto& f : formats)
    if (std::memcmp(f.Compression.Bytes, compression, 4) == 0 && f.Width == width &&
        f.Height == height && f.AvgTimePerFrame == frameTime)
      return &f;
  return nullptr;
}

V4l2CameraTest::V4l2CameraTest() {
  fake_ = std::make_shared<FakeUvcCamera>(FakeUvcCamera::FullWebcam());
  nodes_->cameras["/dev/video0"] = fake_;
  platform_ = std::make_shared<platform::v4l2::V4l2Platform>(nodes_);
  camera_ = std::make_unique<TFCamera>(nullptr, platform_);
  camera_->SetDeviceName("Fake UVC Webcam");
}

void V4l2CameraTest::Select(const char* compression, int width, int height) {
  const TFCameraFormats formats = camera_->SupportedFormats();
  const TFCameraFormat* format = FindFormat(formats, compression, width, height, k30Fps);
  ASSERT_NE(format, nullptr) << compression << " " << width << "x" << height;
  camera_->SetFormat(*format);
}

SnapshotClock::SnapshotClock()
    : now_(std::make_shared<std::chrono::steady_clock::time_point>(
          std::chrono::steady_clock::now())) {
  platform::v4l2::ControlProperties::SetClockForTesting([now = now_] { return *now; });
}

SnapshotClock::~SnapshotClock() {
  platform::v4l2::ControlProperties::SetClockForTesting(nullptr);
}

void SnapshotClock::Expire() {
  *now_ += platform::v4l2::ControlProperties::kSnapshotLifetime;
}

}  // namespace varnholt::test
