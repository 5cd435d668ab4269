// The two property families: ranges, values, flags and the device's checks.

#include "tests/camera/virtual/VirtualTestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;

const std::string kProperties = R"(
  "videoProcAmp": {
    "Brightness": {"min": 0, "max": 255, "step": 1, "default": 128},
    "WhiteBalance": {"min": 2800, "max": 6500, "step": 10, "default": 4600, "value": 5000,
                     "flags": "auto", "caps": ["auto", "manual"]},
    "9": {"min": 0, "max": 10, "flags": 3, "caps": 3},
    "Hue": {"unsupported": true},
    "Gamma": {"min": 1, "max": 5, "fail": {"get": "0x80040218", "set": 5, "range": "0x80004005"}},
    "Saturation": {"min": 1, "max": 5,
                   "fail": {"set": {"code": "0x8004020D", "text": "The device refuses this."}}}
  },
  "cameraControl": {
    "Exposure": {"min": -11, "max": -2, "default": -6, "flags": "auto", "caps": ["auto"]},
    "FocalLength": {"min": 4, "max": 4, "default": 4, "caps": []}
  })";

class PropertyTest : public VirtualPlatformTest {
 protected:
  void SetUp() override {
    platform_ = Load(OneCamera(kProperties));
    filter_ = BindCamera(*platform_);
    ASSERT_NE(filter_, nullptr);
    procAmp_ = Query<IAMVideoProcAmp>(filter_);
    control_ = Query<IAMCameraControl>(filter_);
    ASSERT_NE(procAmp_, nullptr);
    ASSERT_NE(control_, nullptr);
  }

  std::shared_ptr<VirtualPlatform> platform_;
  std::shared_ptr<IBaseFilter> filter_;
  std::shared_ptr<IAMVideoProcAmp> procAmp_;
  std::shared_ptr<IAMCameraControl> control_;
};

constexpr std::int32_t kBrightness = 0, kHue = 2, kSaturation = 3, kGamma = 5, kWhiteBalance = 7,
                       kGain = 9, kExposure = 4, kFocus = 6, kFocalLength = 18;

TEST_F(PropertyTest, RangeAndInitialValuesFollowTheDescription) {
  std::int32_t min, max, step, def, caps;
  ASSERT_EQ(procAmp_->GetRange(kWhiteBalance, min, max, step, def, caps), hr::Ok);
  EXPECT_EQ((std::array{min, max, step, def, caps}), (std::array{2800, 6500, 10, 4600, 3}));
  ASSERT_EQ(procAmp_->GetRange(kBrightness, min, max, step, def, caps), hr::Ok);
  EXPECT_EQ(caps, kPropertyFlagsManual);

  std::int32_t value = 0, flags = 0;
  ASSERT_EQ(procAmp_->Get(kWhiteBalance, value, flags), hr::Ok);
  EXPECT_EQ(value, 5000);
  EXPECT_EQ(flags, kPropertyFlagsAuto);
  // Without "value" the property starts at its default, in manual mode.
  ASSERT_EQ(procAmp_->Get(kBrightness, value, flags), hr::Ok);
  EXPECT_EQ(value, 128);
  EXPECT_EQ(flags, kPropertyFlagsManual);
  // Odd flags are presented as described, for callers that must cope with them.
  ASSERT_EQ(procAmp_->Get(kGain, value, flags), hr::Ok);
  EXPECT_EQ(flags, 3);
}

TEST_F(PropertyTest, SetStoresValueAndFlagsAsGiven) {
  ASSERT_EQ(procAmp_->Set(kWhiteBalance, 3203, kPropertyFlagsManual), hr::Ok);
  std::int32_t value = 0, flags = 0;
  ASSERT_EQ(procAmp_->Get(kWhiteBalance, value, flags), hr::Ok);
  EXPECT_EQ(value, 3203);  // no alignment to the step
  EXPECT_EQ(flags, kPropertyFlagsManual);

  ASSERT_EQ(control_->Set(kExposure, -3, kPropertyFlagsAuto), hr::Ok);
  ASSERT_EQ(control_->Get(kExposure, value, flags), hr::Ok);
  EXPECT_EQ(value, -3);
  EXPECT_EQ(flags, kPropertyFlagsAuto);
  // The families are separate: id 4 of the other family is Sharpness, which
  // this camera lacks.
  EXPECT_EQ(procAmp_->Get(kExposure, value, flags), hr::PropIdUnsupported);
}

TEST_F(PropertyTest, SetRejectsWhatTheDeviceCannotDo) {
  struct Case {
    const char* what;
    std::int32_t id;
    std::int32_t value;
    std::int32_t flags;
    bool cameraControl;
  };
  const Case cases[] = {
      {"flags neither auto nor manual", kBrightness, 10, 3, false},
      {"no flags", kBrightness, 10, 0, false},
      {"auto without the auto capability", kBrightness, 10, kPropertyFlagsAuto, false},
      {"manual without the manual capability", kExposure, -5, kPropertyFlagsManual, true},
      {"read-only property", kFocalLength, 4, kPropertyFlagsManual, true},
      {"below the minimum", kBrightness, -1, kPropertyFlagsManual, false},
      {"above the maximum", kWhiteBalance, 6501, kPropertyFlagsAuto, false},
  };
  for (const auto& c : cases) {
    IPropertyFamily& family = c.cameraControl ? static_cast<IPropertyFamily&>(*control_)
                                              : static_cast<IPropertyFamily&>(*procAmp_);
    std::int32_t before = 0, beforeFlags = 0, after = 0, afterFlags = 0;
    ASSERT_EQ(family.Get(c.id, before, beforeFlags), hr::Ok) << c.what;
    EXPECT_EQ(family.Set(c.id, c.value, c.flags), hr::InvalidArg) << c.what;
    ASSERT_EQ(family.Get(c.id, after, afterFlags), hr::Ok) << c.what;
    EXPECT_EQ(std::pair(after, afterFlags), std::pair(before, beforeFlags)) << c.what;
  }
}

TEST_F(PropertyTest, MissingPropertiesAndSetsAnswerTheUnsupportedCodes) {
  std::int32_t value, flags, min, max, step, def, caps;
  for (const std::int32_t id : {kHue, 4 /* not described */, 99, -1}) {
    EXPECT_EQ(procAmp_->Get(id, value, flags), hr::PropIdUnsupported) << id;
    EXPECT_EQ(procAmp_->Set(id, 1, kPropertyFlagsManual), hr::PropIdUnsupported) << id;
    EXPECT_EQ(procAmp_->GetRange(id, min, max, step, def, caps), hr::PropIdUnsupported) << id;
  }
  EXPECT_EQ(control_->Get(kFocus, value, flags), hr::PropIdUnsupported);

  // A family the description leaves out is a missing set.
  const auto bare = Load(R"({"cameras": [{"friendlyName": "Bare", "devicePath": "bare"}]})");
  const auto filter = BindCamera(*bare);
  const auto procAmp = Query<IAMVideoProcAmp>(filter);
  ASSERT_NE(procAmp, nullptr);
  EXPECT_EQ(procAmp->Get(kBrightness, value, flags), hr::PropSetUnsupported);
  EXPECT_EQ(procAmp->Set(kBrightness, 1, kPropertyFlagsManual), hr::PropSetUnsupported);
  EXPECT_EQ(procAmp->GetRange(kBrightness, min, max, step, def, caps), hr::PropSetUnsupported);
}

TEST_F(PropertyTest, InjectedFaultsAnswerTheirCodesAndTexts) {
  std::int32_t value, flags, min, max, step, def, caps;
  EXPECT_EQ(procAmp_->Get(kGamma, value, flags), MakeHResult(0x80040218));
  EXPECT_EQ(procAmp_->Set(kGamma, 2, kPropertyFlagsManual), 5);
  EXPECT_EQ(procAmp_->GetRange(kGamma, min, max, step, def, caps), hr::Fail);
  // A fault that fails one call leaves the others working.
  EXPECT_EQ(procAmp_->Get(kSaturation, value, flags), hr::Ok);
  EXPECT_EQ(procAmp_->Set(kSaturation, 2, kPropertyFlagsManual), MakeHResult(0x8004020D));

  EXPECT_EQ(platform_->ErrorText(MakeHResult(0x8004020D)), "The device refuses this.");
  EXPECT_EQ(ErrorMessage(*platform_, MakeHResult(0x8004020D)), "The device refuses this.");
  // Codes without a text fall back to the system's message.
  EXPECT_EQ(platform_->ErrorText(MakeHResult(0x80040218)), "");
  EXPECT_EQ(ErrorMessage(*platform_, hr::Fail), SystemMessage(hr::Fail));
}

TEST_F(PropertyTest, FamiliesReachTheFilterThroughQueryInterface) {
  EXPECT_EQ(Query<IBaseFilter>(procAmp_), filter_);
  EXPECT_NE(Query<IAMCameraControl>(procAmp_), nullptr);
  EXPECT_NE(Query<IKsPropertySet>(control_), nullptr);
  EXPECT_EQ(Query<IPin>(procAmp_), nullptr);
}

TEST_F(PropertyTest, InterfacesTheDescriptionSwitchesOffAreAbsent) {
  struct Case {
    const char* key;
    Iid iid;
  };
  const Case cases[] = {
      {"videoProcAmp", Iid::AMVideoProcAmp},        {"cameraControl", Iid::AMCameraControl},
      {"ksPropertySet", Iid::KsPropertySet},        {"videoControl", Iid::AMVideoControl},
      {"propertyPages", Iid::SpecifyPropertyPages},
  };
  for (const auto& c : cases) {
    const auto platform =
        Load(OneCamera(std::string(R"("interfaces": {")") + c.key + R"(": false})"));
    const auto filter = BindCamera(*platform);
    ASSERT_NE(filter, nullptr);
    for (const auto& other : cases)
      EXPECT_EQ(filter->QueryInterface(other.iid) == nullptr, &other == &c)
          << c.key << " off, asking for " << other.key;
  }
}

}  // namespace
}  // namespace varnholt::test
