// A camera that misbehaves, as every backend must report it: unplugged, it
// leaves the list and its bound filter fails; busy, it does not run until
// free; a call chosen to fail answers its code until cleared.

#include <algorithm>
#include <string>
#include <vector>

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

struct Step {
  std::string name;
  HResult code;
};

// Run, and where it succeeds (a graph that starts in the background) the
// state and Stop after it: where a failure to start shows.
void RunSteps(IMediaControl& control, std::vector<Step>& steps) {
  steps.push_back({"Run", control.Run()});
  if (Failed(steps.back().code))
    return;
  std::int32_t state = kStateStopped;
  steps.push_back({"GetState", control.GetState(5000, state)});
  steps.push_back({"Stop", control.Stop()});
}

// The first failing step answers the busy code, unless the rig says that
// step answers a code of its own; then a later step carries it, if any.
void ExpectBusyReported(const ContractRig& rig, const std::vector<Step>& steps) {
  const auto failure =
      std::find_if(steps.begin(), steps.end(), [](const Step& s) { return Failed(s.code); });
  ASSERT_NE(failure, steps.end()) << "a busy camera ran";
  const auto why =
      failure->code == hr::Busy ? std::nullopt : rig.Cannot("the busy code from " + failure->name);
  if (why) {
    ::testing::Test::RecordProperty("gap", *why);
    if (failure + 1 != steps.end()) {
      EXPECT_TRUE(
          std::any_of(failure + 1, steps.end(), [](const Step& s) { return s.code == hr::Busy; }))
          << "no step after " << failure->name << " answers the busy code";
    }
    return;
  }
  EXPECT_EQ(failure->code, hr::Busy) << failure->name << " answers " << std::hex << failure->code;
}

TEST_F(Contract, BusyCameraDoesNotRunUntilFree) {
  {
    const auto camera = BindKnownCamera(Platform(), Camera());
    ASSERT_NE(camera, nullptr);
    rig_->MakeBusy(true);
    CaptureGraph capture;
    std::vector<Step> steps = {{"connecting", capture.Build(Platform(), camera)}};
    if (Succeeded(steps.back().code))
      RunSteps(*capture.control, steps);
    ExpectBusyReported(*rig_, steps);
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

TEST_F(Contract, CameraTakenAfterConnectingDoesNotRun) {
  if (const auto why = rig_->Cannot("busy after connecting"))
    GTEST_SKIP() << *why;
  const auto camera = BindKnownCamera(Platform(), Camera());
  ASSERT_NE(camera, nullptr);
  CaptureGraph capture;
  ASSERT_TRUE(Succeeded(capture.Build(Platform(), camera)));
  rig_->MakeBusy(true);
  std::vector<Step> steps;
  RunSteps(*capture.control, steps);
  ExpectBusyReported(*rig_, steps);
  EXPECT_EQ(capture.counter->Frames(), 0);
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
