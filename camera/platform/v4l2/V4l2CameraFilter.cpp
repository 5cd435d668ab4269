#include "camera/platform/v4l2/V4l2CameraFilter.h"

#include "camera/platform/kit/ListEnumerator.h"
#include "camera/platform/v4l2/ControlWatch.h"
#include "camera/platform/v4l2/PropertyFamilies.h"
#include "camera/platform/v4l2/V4l2CapturePin.h"
#include "camera/platform/v4l2/V4l2ControlList.h"
#include "camera/platform/v4l2/V4l2Errors.h"
#include "camera/platform/v4l2/V4l2Stream.h"

namespace varnholt::platform::v4l2 {
namespace {

class CameraFilter final : public IBaseFilter,
                           public ISpecifyPropertyPages,
                           public V4l2Stream,
                           public std::enable_shared_from_this<CameraFilter> {
 public:
  CameraFilter(std::shared_ptr<V4l2Device> device, std::shared_ptr<StreamFormat> format,
               std::shared_ptr<IPin> pin, const std::string& name,
               std::shared_ptr<ControlProperties> properties)
      : V4l2Stream(device, std::move(format), pin, name),
        device_(std::move(device)),
        pin_(std::move(pin)),
        properties_(std::move(properties)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    // The families and the control list are objects of their own that lead
    // back here, as on the virtual cameras.
    switch (iid) {
      case Iid::BaseFilter:
        return InterfaceOf<IBaseFilter>(shared_from_this());
      case Iid::AMVideoProcAmp:
        return MakeVideoProcAmp(properties_, weak_from_this());
      case Iid::AMCameraControl:
        return MakeCameraControl(properties_, weak_from_this());
      case Iid::ControlList:
        return MakeControlList(device_, weak_from_this());
      case Iid::SpecifyPropertyPages:
        return InterfaceOf<ISpecifyPropertyPages>(shared_from_this());
      default:
        return nullptr;
    }
  }

  HResult EnumPins(std::shared_ptr<IEnumPins>& enumerator) override {
    enumerator = std::make_shared<kit::PinList>(std::vector{pin_});
    return hr::Ok;
  }

  HResult QueryFilterInfo(FilterInfo& info) override {
    DescribeMembership(info);  // the camera's name outside a graph
    return hr::Ok;
  }

  HResult GetPages(std::vector<Guid>& pages) override {
    pages = {guids::PageDeviceControls, guids::PageStreamFormat};
    return hr::Ok;
  }

 private:
  std::shared_ptr<V4l2Device> device_;
  std::shared_ptr<IPin> pin_;
  std::shared_ptr<ControlProperties> properties_;
};

}  // namespace

HResult MakeCameraFilter(std::shared_ptr<V4l2Device> device, const std::string& name,
                         std::shared_ptr<IBaseFilter>& filter,
                         const std::shared_ptr<ControlWatch>& controlWatch) {
  std::shared_ptr<ControlProperties> properties;
  if (int ret = ControlProperties::Create(device, properties); ret < 0)
    return ResultFromErrno(ret);
  if (controlWatch)
    controlWatch->Add(properties);
  auto format = std::make_shared<StreamFormat>(device);
  auto pin = MakeCapturePin(format);
  filter = std::make_shared<CameraFilter>(device, std::move(format), std::move(pin), name,
                                          std::move(properties));
  return hr::Ok;
}

}  // namespace varnholt::platform::v4l2
