// libFuzzer target for virtual camera descriptions (the JSON a user may
// point VARNHOLT_VIRTUAL_CAMERAS at): the parser must refuse bad text with
// its error, never crash or hang; a description it accepts must give
// cameras the component can list, bind and read, whatever ranges, formats
// and faults it describes.

#include <cstdint>

#include "camera/FCamera.h"
#include "camera/platform/virtual/DescriptionParser.h"
#include "camera/platform/virtual/VirtualCameraSet.h"
#include "camera/platform/virtual/VirtualPlatform.h"
#include "fuzz/FuzzSupport.h"

using namespace varnholt::platform::virtualcam;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  varnholt::fuzz::StartApplication();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
  CameraSetDescription description;
  try {
    description = ParseCameraSet(json, QStringLiteral("fuzz.json"));
  } catch (const VirtualCameraError& error) {
    varnholt::fuzz::Require(QByteArray(error.what()).startsWith("fuzz.json"),
                            "a refusal names its source");
    return 0;
  }
  // Only read: the state folder stays empty, so every run sees the
  // description as written.
  auto platform = std::make_shared<VirtualPlatform>(
      std::make_shared<VirtualCameraSet>(description, varnholt::fuzz::ScratchFolder()));
  TFCamera camera(nullptr, platform);
  try {
    const TFVideoCaptureDevices devices = camera.Devices();
    for (std::size_t i = 0; i < devices.size() && i < 4; ++i) {
      camera.SetDeviceName(devices[i].Name);
      varnholt::fuzz::ReadEverything(camera);
    }
  } catch (const varnholt::Exception&) {
  }
  return 0;
}
