#include "camera/platform/v4l2/V4l2CameraFilter.h"

#include "camera/platform/v4l2/PropertyFamilies.h"
#include "camera/platform/v4l2/V4l2ControlList.h"
#include "camera/platform/v4l2/V4l2Errors.h"

namespace varnholt::platform::v4l2 {
namespace {

class CameraFilter final : public IBaseFilter, public std::enable_shared_from_this<CameraFilter> {
 public:
  CameraFilter(std::string name, std::shared_ptr<ControlProperties> properties,
               std::shared_ptr<IControlList> controls)
      : name_(std::move(name)),
        controls_(std::move(controls)),
        procAmp_(MakeVideoProcAmp(properties)),
        cameraControl_(MakeCameraControl(properties)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    switch (iid) {
      case Iid::BaseFilter:
        return InterfaceOf<IBaseFilter>(shared_from_this());
      case Iid::AMVideoProcAmp:
        return procAmp_;
      case Iid::AMCameraControl:
        return cameraControl_;
      case Iid::ControlList:
        return controls_;
      default:
        return nullptr;
    }
  }

  HResult EnumPins(std::shared_ptr<IEnumPins>& enumerator) override {
    enumerator.reset();
    return hr::NotImpl;  // capture pins come with streaming
  }

  HResult QueryFilterInfo(FilterInfo& info) override {
    info.achName = name_;
    info.pGraph.reset();
    return hr::Ok;
  }

 private:
  std::string name_;
  std::shared_ptr<IControlList> controls_;
  std::shared_ptr<IAMVideoProcAmp> procAmp_;
  std::shared_ptr<IAMCameraControl> cameraControl_;
};

}  // namespace

HResult MakeCameraFilter(std::shared_ptr<V4l2Device> device, const std::string& name,
                         std::shared_ptr<IBaseFilter>& filter) {
  std::shared_ptr<ControlProperties> properties;
  if (int ret = ControlProperties::Create(device, properties); ret < 0)
    return ResultFromErrno(ret);
  filter = std::make_shared<CameraFilter>(name, std::move(properties),
                                          MakeControlList(std::move(device)));
  return hr::Ok;
}

}  // namespace varnholt::platform::v4l2
