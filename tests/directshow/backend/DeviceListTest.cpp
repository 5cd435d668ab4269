// The device list over the system device enumerator: an empty category, a
// capture source appearing in it, binding it and walking its filter, and
// the watch that notices it come and go.

#include <gtest/gtest.h>

#include <atomic>
#include <optional>

#include "camera/platform/directshow/DeviceWatcher.h"
#include "camera/platform/directshow/DirectShowPlatform.h"
#include "camera/platform/directshow/Identifiers.h"
#include "tests/directshow/backend/BackendTestSupport.h"

namespace varnholt::platform::directshow {
namespace {

using testing::RegisteredDevice;
using testing::WaitFor;

// "Testkamera" with letters outside ASCII, to see names cross as UTF-8.
const std::string kDeviceName = "Varnholt Testkamera \xC3\xBC\xE2\x82\xAC";

std::shared_ptr<ICreateDevEnum> DeviceEnumerator(Platform& platform) {
  std::shared_ptr<Unknown> object;
  EXPECT_EQ(platform.CreateInstance(ClassId::SystemDeviceEnum, object), hr::Ok);
  return Query<ICreateDevEnum>(object);
}

// The bag of the moniker named name in the video category, and the moniker.
struct Found {
  std::shared_ptr<IMoniker> moniker;
  std::shared_ptr<IPropertyBag> bag;
};
std::optional<Found> FindDevice(ICreateDevEnum& devices, const std::string& name) {
  std::shared_ptr<IEnumMoniker> monikers;
  if (devices.CreateClassEnumerator(DeviceCategory::VideoInput, monikers, 0) != hr::Ok)
    return std::nullopt;
  std::shared_ptr<IMoniker> moniker;
  while (monikers->Next(moniker) == hr::Ok) {
    std::shared_ptr<IPropertyBag> bag;
    PropVariant friendly;
    if (moniker->BindToStorage(bag) == hr::Ok && bag->Read("FriendlyName", friendly) == hr::Ok &&
        friendly == PropVariant(name))
      return Found{moniker, bag};
  }
  EXPECT_EQ(moniker, nullptr);  // the end delivers nothing
  return std::nullopt;
}

TEST(DeviceList, EmptyCategoryAnswersSFalseWithoutEnumeratorAsTheSystemDoes) {
  DirectShowPlatform platform;
  const auto devices = DeviceEnumerator(platform);
  ASSERT_NE(devices, nullptr);
  ComPtr<::ICreateDevEnum> system;
  ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                             IID_ICreateDevEnum, system.ReceiveVoid()),
            S_OK);
  // Without a camera or microphone the categories are empty, unless virtual
  // cameras were registered: then the video one lists them.
  int empty = 0;
  for (const auto category : {DeviceCategory::VideoInput, DeviceCategory::AudioInput}) {
    ComPtr<::IEnumMoniker> raw;
    const HRESULT expected = system->CreateClassEnumerator(ComCategory(category), raw.Receive(), 0);
    std::shared_ptr<IEnumMoniker> monikers;
    EXPECT_EQ(devices->CreateClassEnumerator(category, monikers, 0), expected);
    EXPECT_EQ(monikers == nullptr, expected == S_FALSE);
    empty += expected == S_FALSE;
  }
  EXPECT_GE(empty, 1) << "no empty category to see the S_FALSE answer on";
}

TEST(DeviceList, RegisteredSourceIsListedReadAndBoundToItsFilter) {
  DirectShowPlatform platform;
  RegisteredDevice device(kClsidSampleGrabber, kDeviceName);
  ASSERT_TRUE(device.registered());
  const auto devices = DeviceEnumerator(platform);
  ASSERT_NE(devices, nullptr);
  const auto found = FindDevice(*devices, kDeviceName);
  ASSERT_TRUE(found);

  // The bag: strings as UTF-8, WaveInID as an integer, a missing name fails.
  PropVariant value;
  EXPECT_EQ(found->bag->Read("DevicePath", value), hr::Ok);
  EXPECT_EQ(value, PropVariant("\\\\?\\varnholt#" + kDeviceName));
  EXPECT_EQ(found->bag->Read("WaveInID", value), hr::Ok);
  EXPECT_EQ(value, PropVariant(std::int32_t{7}));
  EXPECT_TRUE(Failed(found->bag->Read("NoSuchValue", value)));
  EXPECT_EQ(value, PropVariant());

  // The moniker and the bag are objects of their own, each answering itself.
  EXPECT_EQ(Query<IMoniker>(found->moniker), found->moniker);
  EXPECT_EQ(Query<IPropertyBag>(found->moniker), nullptr);
  EXPECT_EQ(Query<IPropertyBag>(found->bag), found->bag);

  std::shared_ptr<IBaseFilter> filter;
  ASSERT_EQ(found->moniker->BindToObject(filter), hr::Ok);
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(Query<IBaseFilter>(filter), filter);
  // Its interfaces lead to one another; the capture families it lacks are absent.
  const auto grabber = Query<ISampleGrabber>(filter);
  ASSERT_NE(grabber, nullptr);
  EXPECT_EQ(Query<IBaseFilter>(grabber), filter);
  EXPECT_EQ(Query<IAMVideoProcAmp>(filter), nullptr);
  EXPECT_EQ(Query<IAMCameraControl>(filter), nullptr);
  EXPECT_EQ(Query<IControlList>(filter), nullptr);

  // Its pins: one in, one out, each an object with its own answers.
  std::shared_ptr<IEnumPins> pins;
  ASSERT_EQ(filter->EnumPins(pins), hr::Ok);
  int inputs = 0, outputs = 0;
  std::shared_ptr<IPin> pin;
  while (pins->Next(pin) == hr::Ok) {
    PinDirection direction;
    ASSERT_EQ(pin->QueryDirection(direction), hr::Ok);
    (direction == PinDirection::Input ? inputs : outputs)++;
    std::string id;
    EXPECT_EQ(pin->QueryId(id), hr::Ok);
    EXPECT_FALSE(id.empty());
    EXPECT_EQ(Query<IPin>(pin), pin);
    EXPECT_EQ(Query<IBaseFilter>(pin), nullptr);
    std::shared_ptr<IEnumMediaTypes> types;
    EXPECT_EQ(types != nullptr, Succeeded(pin->EnumMediaTypes(types)));
  }
  EXPECT_EQ(pin, nullptr);
  EXPECT_EQ(inputs, 1);
  EXPECT_EQ(outputs, 1);

  FilterInfo info;
  ASSERT_EQ(filter->QueryFilterInfo(info), hr::Ok);
  EXPECT_EQ(info.pGraph, nullptr);  // in no graph yet

  device.Remove();
  EXPECT_FALSE(FindDevice(*devices, kDeviceName));
}

TEST(DeviceList, WatchReportsASourceComingAndGoing) {
  std::atomic<int> reports{0};
  auto watch = StartDeviceWatcher([&] { ++reports; }, std::chrono::milliseconds(50));
  ASSERT_NE(watch, nullptr);
  {
    RegisteredDevice device(kClsidSampleGrabber, kDeviceName + " 2");
    ASSERT_TRUE(device.registered());
    EXPECT_TRUE(WaitFor([&] { return reports >= 1; }, std::chrono::seconds(10)));
    const int seen = reports;
    device.Remove();
    EXPECT_TRUE(WaitFor([&] { return reports > seen; }, std::chrono::seconds(10)));
  }
  watch.reset();  // ends the thread, waiting for it

  DirectShowPlatform platform;
  EXPECT_NE(platform.WatchDevices([] {}), nullptr);
}

}  // namespace
}  // namespace varnholt::platform::directshow
