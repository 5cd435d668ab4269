#pragma once

// A V4L2 camera's two property families over the UVC webcam model.

#include <gtest/gtest.h>

#include <memory>

#include "camera/platform/v4l2/PropertyFamilies.h"
#include "tests/camera/v4l2/FakeUvcCamera.h"

namespace varnholt::test {

class V4l2PropertyTest : public ::testing::Test {
 protected:
  void SetUp() override { Load(FakeUvcCamera::FullWebcam()); }

  // A fresh camera; the families see its controls as they are now.
  void Load(std::vector<FakeControl> controls) {
    auto fake = std::make_unique<FakeUvcCamera>(std::move(controls));
    camera_ = fake.get();
    auto device = std::make_shared<platform::v4l2::V4l2Device>(std::move(fake));
    std::shared_ptr<platform::v4l2::ControlProperties> properties;
    ASSERT_EQ(platform::v4l2::ControlProperties::Create(device, properties), 0);
    procAmp_ = platform::v4l2::MakeVideoProcAmp(properties);
    cameraControl_ = platform::v4l2::MakeCameraControl(properties);
  }

  // Loads the full webcam without the given controls.
  void LoadWithout(std::initializer_list<std::uint32_t> ids) {
    auto controls = FakeUvcCamera::FullWebcam();
    std::erase_if(controls, [&](const FakeControl& c) {
      return std::find(ids.begin(), ids.end(), c.id) != ids.end();
    });
    Load(std::move(controls));
  }

  platform::IPropertyFamily& Family(bool cameraControl) {
    return cameraControl ? static_cast<platform::IPropertyFamily&>(*cameraControl_)
                         : static_cast<platform::IPropertyFamily&>(*procAmp_);
  }

  FakeUvcCamera* camera_ = nullptr;
  std::shared_ptr<platform::IAMVideoProcAmp> procAmp_;
  std::shared_ptr<platform::IAMCameraControl> cameraControl_;
};

}  // namespace varnholt::test
