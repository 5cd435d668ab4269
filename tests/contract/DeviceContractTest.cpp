// Finding the camera as a client does: the video input category lists it
// with its name and device path, its moniker binds to a filter, and that
// filter's capture pin is found by its pin category.

#include "tests/contract/ContractSupport.h"

namespace varnholt::contract {
namespace {

using namespace platform;

TEST_F(Contract, CameraIsListedAndBindsToAFilterWithACapturePin) {
  const auto devices = ListVideoInputs(Platform());
  const ListedDevice* listed = nullptr;
  for (const auto& device : devices)
    if (device.friendlyName == Camera().friendlyName)
      listed = &device;
  ASSERT_NE(listed, nullptr) << "\"" << Camera().friendlyName << "\" among " << devices.size()
                             << " devices";
  EXPECT_EQ(listed->devicePath, Camera().devicePath);

  std::shared_ptr<IBaseFilter> filter;
  ASSERT_EQ(listed->moniker->BindToObject(filter), hr::Ok);
  ASSERT_NE(filter, nullptr);
  const auto pin = CapturePin(*filter);
  ASSERT_NE(pin, nullptr) << "no output pin of the capture category";
  // Its formats and stream configuration come with it.
  std::shared_ptr<IEnumMediaTypes> types;
  ASSERT_EQ(pin->EnumMediaTypes(types), hr::Ok);
  std::unique_ptr<AmMediaType> first;
  ASSERT_EQ(types->Next(first), hr::Ok);
  EXPECT_EQ(first->majortype, guids::MediaTypeVideo);
  EXPECT_NE(Query<IAMStreamConfig>(pin), nullptr);
  // Both property families are the filter's.
  EXPECT_NE(Query<IAMVideoProcAmp>(filter), nullptr);
  EXPECT_NE(Query<IAMCameraControl>(filter), nullptr);
}

}  // namespace
}  // namespace varnholt::contract
