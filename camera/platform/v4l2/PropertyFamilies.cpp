#include "camera/platform/v4l2/PropertyFamilies.h"

namespace varnholt::platform::v4l2 {
namespace {

template <class Interface, PropertyFamilyKind kFamily>
class FamilyObject : public Interface,
                     public std::enable_shared_from_this<FamilyObject<Interface, kFamily>> {
 public:
  explicit FamilyObject(std::shared_ptr<ControlProperties> properties)
      : properties_(std::move(properties)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Interface::kIid)
      return InterfaceOf<Interface>(this->shared_from_this());
    return nullptr;
  }

  HResult GetRange(std::int32_t property, std::int32_t& min, std::int32_t& max,
                   std::int32_t& steppingDelta, std::int32_t& defaultValue,
                   std::int32_t& capsFlags) override {
    PropertyRange range;
    if (HResult code = properties_->GetRange(kFamily, property, range); code != hr::Ok)
      return code;
    min = range.min;
    max = range.max;
    steppingDelta = range.step;
    defaultValue = range.defaultValue;
    capsFlags = range.caps;
    return hr::Ok;
  }

  HResult Set(std::int32_t property, std::int32_t value, std::int32_t flags) override {
    return properties_->Set(kFamily, property, value, flags);
  }

  HResult Get(std::int32_t property, std::int32_t& value, std::int32_t& flags) override {
    return properties_->Get(kFamily, property, value, flags);
  }

 private:
  std::shared_ptr<ControlProperties> properties_;
};

}  // namespace

std::shared_ptr<IAMVideoProcAmp> MakeVideoProcAmp(std::shared_ptr<ControlProperties> properties) {
  return std::make_shared<FamilyObject<IAMVideoProcAmp, PropertyFamilyKind::VideoProcAmp>>(
      std::move(properties));
}

std::shared_ptr<IAMCameraControl> MakeCameraControl(std::shared_ptr<ControlProperties> properties) {
  return std::make_shared<FamilyObject<IAMCameraControl, PropertyFamilyKind::CameraControl>>(
      std::move(properties));
}

}  // namespace varnholt::platform::v4l2
