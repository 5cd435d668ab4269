#pragma once

// The first built-in camera (camera/platform/virtual/BuiltinCameras.json),
// which the virtual backend offers and the virtual DirectShow cameras
// register under the same name and path.

#include "tests/contract/ContractRig.h"

namespace varnholt::contract {

inline KnownCamera BuiltinHdWebcam() {
  using platform::PropertyFamilyKind;
  KnownCamera camera;
  camera.friendlyName = "Varnholt Virtual HD Webcam";
  camera.devicePath =
      R"(\\?\usb#vid_1d6b&pid_0c01&mi_00#6&2f1a7b3c&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global)";
  camera.properties = {
      {PropertyFamilyKind::VideoProcAmp, 0, 0, 255, 1, 128, platform::kPropertyFlagsManual},
      {PropertyFamilyKind::CameraControl, 3, 100, 500, 1, 100, platform::kPropertyFlagsManual},
  };
  // Digital multiplier and privacy, which it does not describe.
  camera.missing[0] = 10;
  camera.missing[1] = 8;
  camera.otherWidth = 1280;
  camera.otherHeight = 720;
  return camera;
}

}  // namespace varnholt::contract
