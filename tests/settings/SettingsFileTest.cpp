// Settings files saved from and loaded onto a virtual camera, with no
// window in between: the path the command line takes.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "camera/FCamera.h"
#include "camera/platform/virtual/VirtualPlatform.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsTarget.h"

namespace {

using varnholt::platform::virtualcam::VirtualPlatform;

// Brightness manual; white balance automatic; power-line frequency at 50 Hz.
constexpr char kCameras[] = R"({"cameras": [{"friendlyName": "Lab", "devicePath": "lab",
    "videoProcAmp": {
      "Brightness": {"min": 0, "max": 255, "value": 128},
      "WhiteBalance": {"min": 2800, "max": 6500, "value": 4600, "step": 10,
                       "flags": "auto", "caps": ["auto", "manual"]},
      "PowerLineFrequency": {"min": 0, "max": 3, "value": 1}},
    "cameraControl": {},
    "formats": [{"width": 640, "height": 480, "compression": "YUY2"}]}]})";

class SettingsOnCamera : public ::testing::Test {
 protected:
  SettingsOnCamera() : platform_(VirtualPlatform::FromJson(kCameras, state_.path())) {
    camera.SetDeviceName("Lab");
  }
  QString File(const char* name) const { return files_.filePath(name); }
  void Load(const QString& path) {
    const TSettingsFileReading reading = ReadSettingsFile(path, "Lab");
    ASSERT_EQ(reading.Refusal, "");
    TCameraSettingsTarget target(camera);
    ApplyCameraSettings(reading.Settings, target);
  }

 private:
  QTemporaryDir state_;
  QTemporaryDir files_;
  std::shared_ptr<VirtualPlatform> platform_;

 public:
  TFCamera camera{nullptr, platform_};
};

TEST_F(SettingsOnCamera, ASavedStateLoadsBackOntoTheCamera) {
  camera.SetBrightness(200);
  camera.SetWhiteBalanceAuto(false);
  camera.SetWhiteBalance(3000);
  WriteSettingsFile(File("lab.vhx"), "Lab", CurrentCameraSettings(camera));

  camera.SetBrightness(10);
  camera.SetWhiteBalanceAuto(true);
  camera.SetPowerLineFrequency(pf60Hz);
  Load(File("lab.vhx"));
  EXPECT_EQ(camera.Brightness(), 200);
  EXPECT_FALSE(camera.WhiteBalanceAuto());
  EXPECT_EQ(camera.WhiteBalance(), 3000);
  EXPECT_EQ(camera.PowerLineFrequency(), pf50Hz);
}

TEST_F(SettingsOnCamera, KeysTheFileLacksLeaveTheCameraAsItIsAndUselessFilesAreRefused) {
  QFile file(File("part.vhx"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("[Lab]\nBrightness=300\n[Other]\nVolume=5\n");
  file.close();
  camera.SetWhiteBalance(5000);
  Load(File("part.vhx"));
  EXPECT_EQ(camera.Brightness(), 255);  // held at the end of its range
  EXPECT_EQ(camera.WhiteBalance(), 5000);

  EXPECT_EQ(ReadSettingsFile(File("part.vhx"), "Other").Refusal,
            "part.vhx holds no settings for Other");
  EXPECT_TRUE(
      ReadSettingsFile(File("none.vhx"), "Lab").Refusal.startsWith("Cannot load none.vhx: "));
}

}  // namespace
