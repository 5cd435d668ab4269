#include "camera/platform/v4l2/PropertyFamilies.h"

#include "camera/platform/kit/PropertyFamilyObject.h"

namespace varnholt::platform::v4l2 {

std::shared_ptr<IAMVideoProcAmp> MakeVideoProcAmp(std::shared_ptr<ControlProperties> properties,
                                                  std::weak_ptr<Unknown> owner) {
  return std::make_shared<kit::PropertyFamilyObject<IAMVideoProcAmp, ControlProperties,
                                                    PropertyFamilyKind::VideoProcAmp>>(
      std::move(properties), std::move(owner));
}

std::shared_ptr<IAMCameraControl> MakeCameraControl(std::shared_ptr<ControlProperties> properties,
                                                    std::weak_ptr<Unknown> owner) {
  return std::make_shared<kit::PropertyFamilyObject<IAMCameraControl, ControlProperties,
                                                    PropertyFamilyKind::CameraControl>>(
      std::move(properties), std::move(owner));
}

}  // namespace varnholt::platform::v4l2
