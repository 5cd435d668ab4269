// The virtual camera's own control list and the pages its objects name.

#include "tests/camera/frame/FrameTestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;
using Type = ControlInfo::Type;

const std::string kCustom = R"(
  "videoProcAmp": {
    "PowerLineFrequency": {"min": 1, "max": 2, "default": 1},
    "Hue": {"unsupported": true},
    "42": {"min": 0, "max": 9},
    "Gamma": {"min": 1, "max": 5, "fail": {"set": {"code": "0x8007001F", "text": "Gamma is locked."}}}
  },
  "cameraControl": {
    "ScanMode": {"min": 0, "max": 1},
    "Exposure": {"min": -11, "max": -2, "default": -6, "flags": "auto", "caps": ["auto"]},
    "FocalLength": {"min": 4, "max": 4, "default": 4, "caps": []}
  },
  "flash": {"mode": 1, "flags": "auto"},
  "stabilization": {"mode": 4},
  "pins": [{"category": "still"}])";

std::vector<std::string> Names(const std::vector<ControlInfo>& list) {
  std::vector<std::string> names;
  for (const auto& c : list)
    names.push_back(c.name);
  return names;
}

TEST_F(FrameTest, ControlListFollowsTheDescription) {
  auto list = Controls(Query<IControlList>(BindCamera(*Builtin())));
  EXPECT_EQ(Names(list), (std::vector<std::string>{"Brightness",
                                                   "Contrast",
                                                   "Hue",
                                                   "Saturation",
                                                   "Sharpness",
                                                   "Gamma",
                                                   "Color Enable",
                                                   "White Balance, Auto",
                                                   "White Balance",
                                                   "Backlight Compensation",
                                                   "Gain, Auto",
                                                   "Gain",
                                                   "Power Line Frequency",
                                                   "Pan",
                                                   "Tilt",
                                                   "Roll",
                                                   "Zoom",
                                                   "Exposure, Auto",
                                                   "Exposure",
                                                   "Iris",
                                                   "Focus, Auto",
                                                   "Focus",
                                                   "Flash Mode",
                                                   "Stabilization Mode"}));
  EXPECT_EQ(Find(list, "Gamma").group, "Video Proc Amp");
  EXPECT_EQ(Find(list, "Pan").group, "Camera Control");
  EXPECT_EQ(Find(list, "Flash Mode").group, "Camera Control");
  const ControlInfo wb = Find(list, "White Balance");
  EXPECT_EQ(wb.type, Type::Integer);
  EXPECT_EQ((std::array{wb.minimum, wb.maximum, wb.step, wb.defaultValue}),
            (std::array<std::int64_t, 4>{2800, 6500, 10, 4600}));
  EXPECT_TRUE(wb.inactive);  // described as automatic
  EXPECT_FALSE(Find(list, "Gain").inactive);
  EXPECT_EQ(Find(list, "White Balance, Auto").type, Type::Boolean);
  EXPECT_EQ(Find(list, "Color Enable").type, Type::Boolean);
  EXPECT_EQ(Find(list, "Power Line Frequency").menu.size(), 4u);
  EXPECT_EQ(Find(list, "Stabilization Mode").menu.size(), 5u);

  list = Controls(Query<IControlList>(BindCamera(*Load(OneCamera(kCustom)))));
  EXPECT_EQ(Names(list),
            (std::vector<std::string>{"Gamma", "Power Line Frequency", "Video Proc Amp 42",
                                      "Exposure, Auto", "Exposure", "Scan Mode", "Focal Length",
                                      "Flash Mode", "Stabilization Mode"}));
  using Menu = std::vector<std::pair<std::int64_t, std::string>>;
  EXPECT_EQ(Find(list, "Power Line Frequency").menu, (Menu{{1, "50 Hz"}, {2, "60 Hz"}}));
  EXPECT_EQ(Find(list, "Scan Mode").menu, (Menu{{0, "Interlaced"}, {1, "Progressive"}}));
  EXPECT_EQ(Find(list, "Flash Mode").menu, (Menu{{0, "Off"}, {1, "On"}, {2, "Auto"}}));
  // Without the manual capability nothing can be set, not even the switch.
  EXPECT_TRUE(Find(list, "Focal Length").readOnly);
  EXPECT_TRUE(Find(list, "Exposure").readOnly);
  EXPECT_TRUE(Find(list, "Exposure, Auto").readOnly);
  EXPECT_FALSE(Find(list, "Gamma").readOnly);
}

TEST_F(FrameTest, ControlWritesShareTheDeviceState) {
  const auto filter = BindCamera(*Builtin());
  const auto list = Query<IControlList>(filter);
  const auto procAmp = Query<IAMVideoProcAmp>(filter);
  auto controls = Controls(list);
  const std::uint32_t autoWb = Find(controls, "White Balance, Auto").id;
  const std::uint32_t wb = Find(controls, "White Balance").id;

  // Switching automatic off keeps the value and makes the value control count.
  ASSERT_EQ(list->SetValue(autoWb, 0), hr::Ok);
  EXPECT_EQ(ProcAmp(*procAmp, 7), (std::pair{4600, kPropertyFlagsManual}));
  EXPECT_FALSE(Find(Controls(list), "White Balance").inactive);
  ASSERT_EQ(list->SetValue(wb, 3000), hr::Ok);
  EXPECT_EQ(ProcAmp(*procAmp, 7), (std::pair{3000, kPropertyFlagsManual}));
  ASSERT_EQ(procAmp->Set(7, 5000, kPropertyFlagsAuto), hr::Ok);
  std::int64_t value = 0;
  ASSERT_EQ(list->GetValue(wb, value), hr::Ok);
  EXPECT_EQ(value, 5000);
  ASSERT_EQ(list->GetValue(autoWb, value), hr::Ok);
  EXPECT_EQ(value, 1);

  // A mode menu changes the mode and leaves the control flags alone.
  ASSERT_EQ(list->SetValue(Find(controls, "Stabilization Mode").id, 2), hr::Ok);
  std::array<std::uint8_t, 8> block{};
  std::uint32_t returned = 0;
  ASSERT_EQ(Query<IKsPropertySet>(filter)->Get(guids::KsPropSetVideoStabilization, 0, {}, block,
                                               returned),
            hr::Ok);
  EXPECT_EQ(block, (std::array<std::uint8_t, 8>{2, 0, 0, 0, 1, 0, 0, 0}));

  // What the device does not offer is refused.
  EXPECT_EQ(list->SetValue(wb, 9000), hr::InvalidArg);
  EXPECT_EQ(list->SetValue(autoWb, 2), hr::InvalidArg);
  EXPECT_EQ(list->SetValue(Find(controls, "Flash Mode").id, 3), hr::InvalidArg);
  EXPECT_EQ(list->SetValue(999, 0), hr::InvalidArg);
  EXPECT_EQ(Query<IBaseFilter>(list), filter);

  const auto custom = Load(OneCamera(kCustom));
  const auto customList = Query<IControlList>(BindCamera(*custom));
  controls = Controls(customList);
  EXPECT_EQ(customList->SetValue(Find(controls, "Power Line Frequency").id, 0), hr::InvalidArg);
  EXPECT_EQ(customList->SetValue(Find(controls, "Gamma").id, 2), MakeHResult(0x8007001F));
  ASSERT_EQ(custom->SetConnected("test-path", false), hr::Ok);
  EXPECT_EQ(customList->GetControls(controls), hr::DeviceNotConnected);
}

TEST_F(FrameTest, FilterAndCapturePinNameTheirPages) {
  const auto filter = BindCamera(*Builtin());
  EXPECT_EQ(Pages(filter), (std::vector{guids::PageDeviceControls, guids::PageStreamFormat}));
  const auto pins = Pins(*filter);
  ASSERT_EQ(pins.size(), 2u);
  EXPECT_EQ(Query<ISpecifyPropertyPages>(pins[0]), nullptr);  // the still pin
  EXPECT_EQ(Pages(Query<IAMStreamConfig>(pins[1])), (std::vector{guids::PageStreamFormat}));

  // Without a stream configuration there is no format page to offer.
  EXPECT_EQ(Pages(BindCamera(*Load(OneCamera(kCustom)))), (std::vector{guids::PageDeviceControls}));

  const auto without = BindCamera(*Load(OneCamera(R"("interfaces": {"propertyPages": false})")));
  EXPECT_EQ(Query<ISpecifyPropertyPages>(without), nullptr);
  EXPECT_EQ(Query<ISpecifyPropertyPages>(CapturePin(*without)), nullptr);
  EXPECT_NE(Query<IControlList>(without), nullptr);
}

}  // namespace
}  // namespace varnholt::test
