// A camera that misbehaves, as every backend must report it: unplugged, it
// leaves the list and its bound filter fails; busy, it does not run until
// free; a call chosen to fail answers its code until cleared.

#include <algorithm>

#include "tests/contract/ContractSupport.h"

namespace varnholt::contract {
namespace {

using namespace platform;

TEST_F(Contract, UnpluggedCameraLeavesTheListAndItsBoundFilterFails) {
  const auto filter = BindKnownCamera(Platform(), Camera());
  ASSERT_NE(filter, nullptr);
  const auto procAmp = Query<IAMVideoProcAmp>(filter);
  const auto control = Query<IAMCameraControl>(filter);
  const auto pin = CapturePin(*filter);
  const auto config = Query<IAMStreamConfig>(pin);
  ASSERT_TRUE(procAmp && control && pin && config);
  const std::int32_t id = KnownOf(Camera(), PropertyFamilyKind::VideoProcAmp).id;
  const std::int32_t controlId = KnownOf(Camera(), PropertyFamilyKind::CameraControl).id;
  std::int32_t value = 0, flags = 0, n = 0;
  ASSERT_EQ(procAmp->Get(id, value, flags), hr::Ok);

  rig_->Unplug();
  EXPECT_FALSE(IsListed(Platform(), Camera()));
  std::unique_ptr<AmMediaType> type;
  std::shared_ptr<IEnumMediaTypes> types;
  // A write first: it reaches the device on every backend, where a read
  // may still be answered from what the backend read just before.
  const struct {
    const char* call;
    HResult code;
  } calls[] = {
      {"IAMVideoProcAmp.Set", procAmp->Set(id, value, kPropertyFlagsManual)},
      {"IAMVideoProcAmp.Get", procAmp->Get(id, value, flags)},
      {"IAMVideoProcAmp.GetRange", procAmp->GetRange(id, n, n, n, n, n)},
      {"IAMCameraControl.Get", control->Get(controlId, value, flags)},
      {"IAMStreamConfig.GetFormat", config->GetFormat(type)},
      {"IPin.EnumMediaTypes", pin->EnumMediaTypes(types)},
  };
  for (const auto& call : calls)
    EXPECT_EQ(call.code, hr::DeviceNotConnected)
        << call.call << " answers " << std::hex << call.code;

  // Back again it is a new device: listed and bindable, while the filter
  // bound before stays dead.
  rig_->Replug();
  const auto again = BindKnownCamera(Platform(), Camera());
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(Query<IAMVideoProcAmp>(again)->Get(id, value, flags), hr::Ok);
  EXPECT_EQ(procAmp->Get(id, value, flags), hr::DeviceNotConnected);
}

TEST_F(Contract, BusyCameraDoesNotRunUntilFree) {
  {
    const auto camera = BindKnownCamera(Platform(), Camera());
    ASSERT_NE(camera, nullptr);
    rig_->MakeBusy(true);
    // Where the failure shows differs: connecting, Run, or (a graph that
    // starts in the background) the state or Stop after it.
    CaptureGraph capture;
    std::vector<HResult> codes = {capture.Build(Platform(), camera)};
    if (Succeeded(codes.back()))
      codes.push_back(capture.control->Run());
    if (Succeeded(codes.back())) {
      std::int32_t state = kStateStopped;
      codes.push_back(capture.control->GetState(5000, state));
      codes.push_back(capture.control->Stop());
    }
    const auto failure = std::find_if(codes.begin(), codes.end(), Failed);
    ASSERT_NE(failure, codes.end()) << "a busy camera ran";
    const auto lost = rig_->Cannot("the busy code from connecting");
    if (lost && failure == codes.begin())
      RecordProperty("gap", *lost);
    else
      EXPECT_EQ(*failure, hr::Busy)
          << "step " << (failure - codes.begin()) << " answers " << std::hex << *failure;
    EXPECT_EQ(capture.counter->Frames(), 0);
  }
  // Free again, a new graph runs.
  rig_->MakeBusy(false);
  const auto camera = BindKnownCamera(Platform(), Camera());
  ASSERT_NE(camera, nullptr);
  CaptureGraph capture;
  ASSERT_TRUE(Succeeded(capture.Build(Platform(), camera)));
  ASSERT_TRUE(Succeeded(capture.control->Run()));
  EXPECT_TRUE(capture.counter->WaitFor(1)) << "no frame once free";
}

TEST_F(Contract, ChosenFailingCallAnswersItsCodeUntilCleared) {
  const auto filter = BindKnownCamera(Platform(), Camera());
  ASSERT_NE(filter, nullptr);
  const struct {
    const char* point;
    PropertyFamilyKind family;
    HResult code;
  } cases[] = {
      {"IAMVideoProcAmp.Set", PropertyFamilyKind::VideoProcAmp, hr::AccessDenied},
      {"IAMCameraControl.Set", PropertyFamilyKind::CameraControl, hr::Busy},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.point);
    std::shared_ptr<IPropertyFamily> family;
    if (c.family == PropertyFamilyKind::VideoProcAmp)
      family = Query<IAMVideoProcAmp>(filter);
    else
      family = Query<IAMCameraControl>(filter);
    ASSERT_NE(family, nullptr);
    const KnownProperty* known = &KnownOf(Camera(), c.family);
    std::int32_t before = 0, flags = 0, value = 0;
    ASSERT_EQ(family->Get(known->id, before, flags), hr::Ok);
    const std::int32_t wanted = before == known->max ? known->min : known->max;

    rig_->FailCall(c.point, c.code);
    EXPECT_EQ(family->Set(known->id, wanted, kPropertyFlagsManual), c.code);
    EXPECT_EQ(family->Set(known->id, wanted, kPropertyFlagsManual), c.code) << "a second time too";
    // Only that call fails, and it did nothing.
    ASSERT_EQ(family->Get(known->id, value, flags), hr::Ok);
    EXPECT_EQ(value, before);

    rig_->ClearCall(c.point);
    EXPECT_EQ(family->Set(known->id, wanted, kPropertyFlagsManual), hr::Ok);
    ASSERT_EQ(family->Get(known->id, value, flags), hr::Ok);
    EXPECT_EQ(value, wanted);
  }
}

}  // namespace
}  // namespace varnholt::contract
