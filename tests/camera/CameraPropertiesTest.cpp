// The camera-control and video-processing property families, the enumerated
// members, and the flash and stabilization blocks.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "camera/PropertyKeys.h"
#include "tests/camera/CameraTestSupport.h"

namespace varnholt::test {
namespace {

using ::testing::ElementsAre;

class CameraProperties : public ::testing::Test, public FakeCameraRig {
 protected:
  void SetUp() override {
    device = platform->AddCamera("Cam", "/dev/cam");
    camera->SetDeviceName("Cam");
  }
  FakeProperty& Vpa(std::int32_t id) { return device->videoProcAmp[id]; }
  FakeProperty& Cc(std::int32_t id) { return device->cameraControl[id]; }
  std::vector<std::string> Sets() const { return platform->LogOf("set "); }

  std::shared_ptr<FakeDevice> device;
};

// ---- The failure table, for both families ---------------------------------------

TEST_F(CameraProperties, AFamilyWithoutItsInterfaceIsUnsupportedAndNamedWhenUsed) {
  device->hasVideoProcAmp = false;
  device->hasCameraControl = false;
  Vpa(0).value = 1;
  EXPECT_FALSE(camera->BrightnessSupported());
  EXPECT_FALSE(camera->PowerLineFrequencySupported());
  EXPECT_FALSE(camera->ZoomSupported());
  EXPECT_EQ(CameraErrorOf([&] { camera->Brightness(); }),
            "Cannot retrieve 'IAMVideoProcAmp' interface");
  EXPECT_EQ(CameraErrorOf([&] { camera->SetBrightnessAuto(true); }),
            "Cannot retrieve 'IAMVideoProcAmp' interface");
  EXPECT_EQ(CameraErrorOf([&] { camera->GammaRange(); }),
            "Cannot retrieve 'IAMVideoProcAmp' interface");
  EXPECT_EQ(CameraErrorOf([&] { camera->Focus(); }),
            "Cannot retrieve 'IAMCameraControl' interface");
  EXPECT_EQ(CameraErrorOf([&] { camera->ScanModeAuto(); }),
            "Cannot retrieve 'IAMCameraControl' interface");
}

TEST_F(CameraProperties, UnsupportedCodesMakeTheTestFalseAndReadsRaise) {
  Vpa(1).getResult = hr::PropIdUnsupported;
  Cc(5).getResult = hr::PropSetUnsupported;
  EXPECT_FALSE(camera->ContrastSupported());
  EXPECT_FALSE(camera->IrisSupported());
  EXPECT_FALSE(camera->HueSupported());  // not described at all: unsupported as well

  const OleError error = OleErrorOf([&] { camera->Contrast(); });
  EXPECT_TRUE(error.raised);
  EXPECT_EQ(error.code, hr::PropIdUnsupported);
  EXPECT_EQ(error.message, "Element not found");
  EXPECT_EQ(OleErrorOf([&] { camera->IrisRange(); }).code, hr::PropSetUnsupported);
}

TEST_F(CameraProperties, OtherFailuresKeepThePropertySupportedButRaiseOnUse) {
  Vpa(0).getResult = hr::Fail;
  Cc(3).getResult = MakeHResult(0x80040218);
  platform->errorTexts[MakeHResult(0x80040218)] = "The camera is resting.";

  EXPECT_TRUE(camera->BrightnessSupported());
  EXPECT_TRUE(camera->ZoomSupported());
  const OleError generic = OleErrorOf([&] { camera->Brightness(); });
  EXPECT_EQ(generic.code, hr::Fail);
  EXPECT_EQ(generic.message, "Unspecified error");  // no platform text: the system's
  const OleError own = OleErrorOf([&] { camera->SetZoom(150); });
  EXPECT_EQ(own.code, MakeHResult(0x80040218));
  EXPECT_EQ(own.message, "The camera is resting.");
  EXPECT_TRUE(Sets().empty());  // the failing get stopped the write
}

TEST_F(CameraProperties, ARefusedWriteRaisesAndIsNotRetried) {
  Vpa(3) = FakeProperty{.value = 10, .flags = 2, .setResult = hr::InvalidArg};
  const OleError error = OleErrorOf([&] { camera->SetSaturation(500); });
  EXPECT_EQ(error.code, hr::InvalidArg);
  EXPECT_EQ(error.message, "The parameter is incorrect");
  EXPECT_EQ(Sets().size(), 1u);
  EXPECT_EQ(Vpa(3).value, 10);
}

// ---- Values, flags and ranges -------------------------------------------------------

TEST_F(CameraProperties, WritingAValueKeepsTheModeInForceAndIsNotClamped) {
  Vpa(0) = FakeProperty{.value = 5, .flags = kPropertyFlagsAuto, .min = 0, .max = 10};
  camera->SetBrightness(42);
  EXPECT_THAT(Sets(), ElementsAre("set VideoProcAmp 0 42 1"));
  EXPECT_TRUE(camera->BrightnessAuto());
  EXPECT_EQ(camera->Brightness(), 42);

  Cc(4) = FakeProperty{.value = -6, .flags = kPropertyFlagsManual};
  camera->SetExposure(-3);
  EXPECT_EQ(Sets().back(), "set CameraControl 4 -3 2");
}

TEST_F(CameraProperties, WritingAutoSendsTheCurrentValueWithTheNewFlags) {
  Vpa(7) = FakeProperty{.value = 4600, .flags = kPropertyFlagsManual};
  camera->SetWhiteBalanceAuto(true);
  camera->SetWhiteBalanceAuto(false);
  EXPECT_THAT(Sets(), ElementsAre("set VideoProcAmp 7 4600 1", "set VideoProcAmp 7 4600 2"));
}

TEST_F(CameraProperties, OnlyFlagsOfExactlyOneReadAsAutomatic) {
  for (const auto& [flags, expected] :
       std::vector<std::pair<std::int32_t, bool>>{{1, true}, {2, false}, {3, false}, {0, false}}) {
    Cc(6).flags = flags;
    EXPECT_EQ(camera->FocusAuto(), expected) << flags;
  }
}

TEST_F(CameraProperties, RangesCarryTheCapabilityBits) {
  Vpa(9) = FakeProperty{.min = -5, .max = 255, .step = 3, .def = 7, .caps = 3};
  EXPECT_EQ(camera->GainRange(), (TFRange{-5, 255, 3, 7, true, true}));
  Vpa(9).caps = 1;
  EXPECT_EQ(camera->GainRange(), (TFRange{-5, 255, 3, 7, true, false}));
  Vpa(9).caps = 2;
  EXPECT_EQ(camera->GainRange(), (TFRange{-5, 255, 3, 7, false, true}));
}

TEST_F(CameraProperties, SupportedTestsIgnoreTheValueAndDoNotWrite) {
  Vpa(8) = FakeProperty{};
  EXPECT_TRUE(camera->BacklightCompensationSupported());
  EXPECT_THAT(platform->LogOf("get"), ElementsAre("get VideoProcAmp 8"));
  EXPECT_TRUE(Sets().empty());
}

// ---- Every member reaches its own family and id -------------------------------------

TEST_F(CameraProperties, EachMemberUsesItsPlatformId) {
  struct Member {
    std::function<std::int32_t(TFCamera&)> read;
    const char* family;
    std::int32_t id;
  };
  const std::vector<Member> members = {
      {[](TFCamera& c) { return c.Brightness(); }, "VideoProcAmp", 0},
      {[](TFCamera& c) { return c.Contrast(); }, "VideoProcAmp", 1},
      {[](TFCamera& c) { return c.Hue(); }, "VideoProcAmp", 2},
      {[](TFCamera& c) { return c.Saturation(); }, "VideoProcAmp", 3},
      {[](TFCamera& c) { return c.Sharpness(); }, "VideoProcAmp", 4},
      {[](TFCamera& c) { return c.Gamma(); }, "VideoProcAmp", 5},
      {[](TFCamera& c) { return c.ColorEnable(); }, "VideoProcAmp", 6},
      {[](TFCamera& c) { return c.WhiteBalance(); }, "VideoProcAmp", 7},
      {[](TFCamera& c) { return c.BacklightCompensation(); }, "VideoProcAmp", 8},
      {[](TFCamera& c) { return c.Gain(); }, "VideoProcAmp", 9},
      {[](TFCamera& c) { return c.DigitalMultiplier(); }, "VideoProcAmp", 10},
      {[](TFCamera& c) { return c.DigitalMultiplierLimit(); }, "VideoProcAmp", 11},
      {[](TFCamera& c) { return static_cast<std::int32_t>(c.PowerLineFrequency()); },
       "VideoProcAmp", 13},
      {[](TFCamera& c) { return c.Pan(); }, "CameraControl", 0},
      {[](TFCamera& c) { return c.Tilt(); }, "CameraControl", 1},
      {[](TFCamera& c) { return c.Roll(); }, "CameraControl", 2},
      {[](TFCamera& c) { return c.Zoom(); }, "CameraControl", 3},
      {[](TFCamera& c) { return c.Exposure(); }, "CameraControl", 4},
      {[](TFCamera& c) { return c.Iris(); }, "CameraControl", 5},
      {[](TFCamera& c) { return c.Focus(); }, "CameraControl", 6},
      {[](TFCamera& c) { return static_cast<std::int32_t>(c.ScanMode()); }, "CameraControl", 7},
      {[](TFCamera& c) { return c.FocalLength(); }, "CameraControl", 18},
  };
  for (const Member& m : members) {
    platform->log.clear();
    // Only the member's own id exists; any other id would raise "unsupported".
    device->videoProcAmp.clear();
    device->cameraControl.clear();
    (std::string(m.family) == "VideoProcAmp" ? Vpa(m.id) : Cc(m.id)).value = 1;
    EXPECT_NO_THROW(m.read(*camera)) << m.family << " " << m.id;
    EXPECT_EQ(platform->LogOf("get").back(),
              "get " + std::string(m.family) + " " + std::to_string(m.id));
  }
}

TEST_F(CameraProperties, TheKeyTableListsTheSeventeenRowsWithTheirAccessors) {
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"BacklightCompensation", "VideoProcAmp 8"},
      {"Brightness", "VideoProcAmp 0"},
      {"ColorEnable", "VideoProcAmp 6"},
      {"Contrast", "VideoProcAmp 1"},
      {"Exposure", "CameraControl 4"},
      {"Focus", "CameraControl 6"},
      {"Gain", "VideoProcAmp 9"},
      {"Gamma", "VideoProcAmp 5"},
      {"Hue", "VideoProcAmp 2"},
      {"Iris", "CameraControl 5"},
      {"Pan", "CameraControl 0"},
      {"Roll", "CameraControl 2"},
      {"Saturation", "VideoProcAmp 3"},
      {"Sharpness", "VideoProcAmp 4"},
      {"Tilt", "CameraControl 1"},
      {"WhiteBalance", "VideoProcAmp 7"},
      {"Zoom", "CameraControl 3"},
  };
  ASSERT_EQ(kPropertyKeys.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const TFPropertyKey& key = kPropertyKeys[i];
    EXPECT_EQ(key.Name, expected[i].first);
    device->videoProcAmp.clear();
    device->cameraControl.clear();
    const auto space = expected[i].second.find(' ');
    const std::string family = expected[i].second.substr(0, space);
    const std::int32_t id = std::stoi(expected[i].second.substr(space + 1));
    (family == "VideoProcAmp" ? Vpa(id) : Cc(id)) =
        FakeProperty{.value = 3, .flags = 2, .min = 1, .max = 9, .caps = 3};
    platform->log.clear();
    EXPECT_TRUE((camera.get()->*key.Supported)());
    (camera.get()->*key.SetValue)(7);
    EXPECT_EQ((camera.get()->*key.Value)(), 7);
    (camera.get()->*key.SetAuto)(true);
    EXPECT_TRUE((camera.get()->*key.IsAuto)());
    EXPECT_EQ((camera.get()->*key.Range)().Max, 9);
    EXPECT_EQ(Sets().front(), "set " + expected[i].second + " 7 2") << key.Name;
  }
}

// ---- Enumerated members ---------------------------------------------------------------

TEST_F(CameraProperties, PowerLineFrequencyTranslatesBothWays) {
  const std::vector<std::pair<std::int32_t, TFPowerLineFrequency>> reads = {
      {0, pfDisabled}, {1, pf50Hz}, {2, pf60Hz}, {3, pfAuto}, {5, pfUnknown}, {-1, pfUnknown}};
  for (const auto& [device_value, expected] : reads) {
    Vpa(13).value = device_value;
    EXPECT_EQ(camera->PowerLineFrequency(), expected) << device_value;
  }
  const std::vector<std::pair<TFPowerLineFrequency, std::int32_t>> writes = {
      {pf50Hz, 1}, {pf60Hz, 2}, {pfAuto, 3}, {pfUnknown, 0}, {pfDisabled, 0}};
  for (const auto& [value, device_value] : writes) {
    camera->SetPowerLineFrequency(value);
    EXPECT_EQ(Vpa(13).value, device_value) << int(value);
  }
  Vpa(13).flags = 1;
  EXPECT_TRUE(camera->PowerLineFrequencyAuto());
  camera->SetPowerLineFrequencyAuto(false);
  EXPECT_EQ(Vpa(13).flags, 2);
}

TEST_F(CameraProperties, ScanModeAndColorEnabledTranslateBothWays) {
  for (const auto& [v, expected] : std::vector<std::pair<std::int32_t, TFScanMode>>{
           {0, smInterlace}, {1, smProgressive}, {2, smUnknown}}) {
    Cc(7).value = v;
    EXPECT_EQ(camera->ScanMode(), expected);
  }
  camera->SetScanMode(smProgressive);
  EXPECT_EQ(Cc(7).value, 1);
  camera->SetScanMode(smUnknown);
  EXPECT_EQ(Cc(7).value, 0);
  camera->SetScanModeAuto(true);
  EXPECT_EQ(Cc(7).flags, 1);

  Vpa(6).value = 5;
  EXPECT_TRUE(camera->ColorEnabled());
  camera->SetColorEnabled(false);
  EXPECT_EQ(Vpa(6).value, 0);
  EXPECT_FALSE(camera->ColorEnabled());
  camera->SetColorEnabled(true);
  EXPECT_EQ(Vpa(6).value, 1);
  EXPECT_TRUE(camera->ColorEnabledSupported());
  device->videoProcAmp.erase(6);
  EXPECT_FALSE(camera->ColorEnabledSupported());
}

// ---- Flash and stabilization blocks ---------------------------------------------------------

class CameraBlocks : public CameraProperties {
 protected:
  std::array<std::uint32_t, 2>& Flash() { return device->blocks[guids::KsPropSetFlash.ToString()]; }
  std::array<std::uint32_t, 2>& Stabilization() {
    return device->blocks[guids::KsPropSetVideoStabilization.ToString()];
  }
};

TEST_F(CameraBlocks, WritesAreReadModifyWritesOfTheWholeBlock) {
  Flash() = {2, 2};
  camera->SetFlashControl(fcUnknown);
  EXPECT_EQ(Flash(), (std::array<std::uint32_t, 2>{2, 1}));
  camera->SetFlashMode(fmOn);
  EXPECT_EQ(Flash(), (std::array<std::uint32_t, 2>{1, 1}));
  camera->SetFlashMode(fmUnknown);
  camera->SetFlashControl(fcManual);
  EXPECT_EQ(Flash(), (std::array<std::uint32_t, 2>{0, 2}));
  EXPECT_EQ(platform->LogOf("ksget").front(), "ksget " + guids::KsPropSetFlash.ToString() + " 8");

  Stabilization() = {4, 1};
  camera->SetVideoStabilizationMode(vmLow);
  EXPECT_EQ(Stabilization(), (std::array<std::uint32_t, 2>{3, 1}));
  camera->SetVideoStabilizationControl(vcManual);
  EXPECT_EQ(Stabilization(), (std::array<std::uint32_t, 2>{3, 2}));
  camera->SetVideoStabilizationControl(vcAuto);
  camera->SetVideoStabilizationMode(vmOff);
  EXPECT_EQ(Stabilization(), (std::array<std::uint32_t, 2>{0, 1}));
}

TEST_F(CameraBlocks, ReadsTranslateEachWord) {
  const std::vector<std::pair<std::uint32_t, TFFlashMode>> flash = {
      {0, fmOff}, {1, fmOn}, {2, fmAuto}, {3, fmUnknown}};
  for (const auto& [word, mode] : flash) {
    Flash() = {word, 1};
    EXPECT_EQ(camera->FlashMode(), mode);
  }
  Flash() = {0, 2};
  EXPECT_EQ(camera->FlashControl(), fcManual);
  Flash() = {0, 0};
  EXPECT_EQ(camera->FlashControl(), fcUnknown);

  const std::vector<std::pair<std::uint32_t, TFVideoStabilizationMode>> modes = {
      {0, vmOff}, {1, vmHigh}, {2, vmMedium}, {3, vmLow}, {4, vmAuto}, {9, vmUnknown}};
  for (const auto& [word, mode] : modes) {
    Stabilization() = {word, 1};
    EXPECT_EQ(camera->VideoStabilizationMode(), mode);
    EXPECT_EQ(camera->VideoStabilizationControl(), vcAuto);
  }
}

TEST_F(CameraBlocks, SupportedTestsProbeWithOneByteAndOnlyUnsupportedCodesSayNo) {
  Flash() = {0, 1};
  EXPECT_TRUE(camera->FlashModeSupported());
  EXPECT_TRUE(camera->FlashControlSupported());
  EXPECT_EQ(platform->LogOf("ksget").front(), "ksget " + guids::KsPropSetFlash.ToString() + " 1");
  EXPECT_FALSE(camera->VideoStabilizationModeSupported());  // no such set on the device
  EXPECT_FALSE(camera->VideoStabilizationControlSupported());
  device->blockResult = hr::Fail;
  EXPECT_TRUE(camera->VideoStabilizationModeSupported());
}

TEST_F(CameraBlocks, FailuresUseTheSystemsMessageNotThePlatformsText) {
  platform->errorTexts[hr::PropSetUnsupported] = "capture framework text";
  platform->errorTexts[hr::NoInterface] = "capture framework text";
  const OleError missingSet = OleErrorOf([&] { camera->FlashMode(); });
  EXPECT_EQ(missingSet.code, hr::PropSetUnsupported);
  EXPECT_EQ(missingSet.message, "The property set specified does not exist on the object");

  device->hasKsPropertySet = false;
  for (auto call : std::vector<std::function<void()>>{
           [&] { camera->FlashModeSupported(); }, [&] { camera->SetFlashMode(fmOn); },
           [&] { camera->VideoStabilizationControl(); }}) {
    const OleError noInterface = OleErrorOf(call);
    EXPECT_EQ(noInterface.code, hr::NoInterface);
    EXPECT_EQ(noInterface.message, "No such interface supported");
  }
}

}  // namespace
}  // namespace varnholt::test
