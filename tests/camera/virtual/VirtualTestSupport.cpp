#include "tests/camera/virtual/VirtualTestSupport.h"

namespace varnholt::test {

using namespace varnholt::platform;

QByteArray OneCamera(const std::string& body) {
  std::string camera = R"({"friendlyName": "Test", "devicePath": "test-path")";
  if (!body.empty())
    camera += ", " + body;
  return QByteArray::fromStdString(R"({"cameras": [)" + camera + "}]}");
}

std::shared_ptr<VirtualPlatform> VirtualPlatformTest::Load(const QByteArray& json) {
  return VirtualPlatform::FromJson(json, stateDir_.path());
}

std::vector<std::shared_ptr<IMoniker>> Monikers(Platform& platform, DeviceCategory category) {
  std::shared_ptr<Unknown> object;
  EXPECT_EQ(platform.CreateInstance(ClassId::SystemDeviceEnum, object), hr::Ok);
  const auto devEnum = Query<ICreateDevEnum>(object);
  std::vector<std::shared_ptr<IMoniker>> monikers;
  if (!devEnum) {
    ADD_FAILURE() << "no device enumerator";
    return monikers;
  }
  std::shared_ptr<IEnumMoniker> enumerator;
  const HResult code = devEnum->CreateClassEnumerator(category, enumerator, 0);
  EXPECT_EQ(code == hr::False, enumerator == nullptr);
  if (!enumerator)
    return monikers;
  std::shared_ptr<IMoniker> moniker;
  while (enumerator->Next(moniker) == hr::Ok)
    monikers.push_back(moniker);
  return monikers;
}

std::string ReadString(IPropertyBag& bag, const std::string& name) {
  PropVariant value;
  if (bag.Read(name, value) != hr::Ok)
    return "<fails>";
  const auto* text = std::get_if<std::string>(&value);
  return text ? *text : "<not a string>";
}

std::vector<std::string> ListedNames(Platform& platform, DeviceCategory category) {
  std::vector<std::string> names;
  for (const auto& moniker : Monikers(platform, category)) {
    std::shared_ptr<IPropertyBag> bag;
    if (moniker->BindToStorage(bag) == hr::Ok)
      names.push_back(ReadString(*bag, "FriendlyName"));
  }
  return names;
}

std::shared_ptr<IBaseFilter> BindCamera(Platform& platform, std::size_t index) {
  const auto monikers = Monikers(platform, DeviceCategory::VideoInput);
  if (index >= monikers.size()) {
    ADD_FAILURE() << "no video input " << index;
    return nullptr;
  }
  std::shared_ptr<IBaseFilter> filter;
  EXPECT_EQ(monikers[index]->BindToObject(filter), hr::Ok);
  return filter;
}

std::vector<std::shared_ptr<IPin>> Pins(IBaseFilter& filter) {
  std::vector<std::shared_ptr<IPin>> pins;
  std::shared_ptr<IEnumPins> enumerator;
  EXPECT_EQ(filter.EnumPins(enumerator), hr::Ok);
  std::shared_ptr<IPin> pin;
  while (enumerator && enumerator->Next(pin) == hr::Ok)
    pins.push_back(pin);
  return pins;
}

std::shared_ptr<IPin> CapturePin(IBaseFilter& filter) {
  for (const auto& pin : Pins(filter)) {
    const auto properties = Query<IKsPropertySet>(pin);
    std::array<std::uint8_t, 16> category{};
    std::uint32_t returned = 0;
    if (properties && properties->Get(guids::AmPropSetIdPin, 0, {}, category, returned) == hr::Ok &&
        Guid::FromBytes(category.data()) == guids::PinCategoryCapture)
      return pin;
  }
  return nullptr;
}

}  // namespace varnholt::test
