// The generic property frame's control list on vivid, whose test controls
// hold every kind a driver can offer: menus with gaps, integer menus,
// buttons, 64-bit integers, strings, bitmasks, arrays and read-only values.

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "camera/platform/HResult.h"
#include "camera/platform/Interfaces.h"
#include "tests/vm/VividFixture.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;
using Type = ControlInfo::Type;
using Menu = std::vector<std::pair<std::int64_t, std::string>>;

class ControlList : public VividTest {
 protected:
  void SetUp() override {
    VividTest::SetUp();
    if (HasFatalFailure())
      return;
    list = Query<IControlList>(camera->CaptureFilter());
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetControls(controls), hr::Ok);
  }
  const ControlInfo* Find(const std::string& name) const {
    auto it = std::find_if(controls.begin(), controls.end(),
                           [&](const ControlInfo& c) { return c.name == name; });
    return it == controls.end() ? nullptr : &*it;
  }

  std::shared_ptr<IControlList> list;
  std::vector<ControlInfo> controls;
};

TEST_F(ControlList, EveryKindIsListedInItsGroupAndEveryValueReads) {
  ASSERT_GE(controls.size(), 30u);
  const ControlInfo* brightness = Find("Brightness");
  ASSERT_NE(brightness, nullptr);
  EXPECT_EQ(brightness->group, "User Controls");
  EXPECT_EQ(brightness->type, Type::Integer);
  EXPECT_EQ((std::array{brightness->minimum, brightness->maximum, brightness->step,
                        brightness->defaultValue}),
            (std::array<std::int64_t, 4>{0, 255, 1, 128}));
  const ControlInfo* pattern = Find("Test Pattern");
  ASSERT_NE(pattern, nullptr);
  EXPECT_EQ(pattern->group, "Vivid Controls");
  EXPECT_EQ(pattern->type, Type::Menu);
  EXPECT_EQ(pattern->menu.size(), 22u);
  EXPECT_EQ(pattern->menu.front(), (std::pair<std::int64_t, std::string>{0, "75% Colorbar"}));

  // Every listed value that can be read is read without error: the frame
  // shows them all at once.
  for (const ControlInfo& c : controls) {
    if (c.type == Type::Button)
      continue;  // write-only
    std::int64_t value = 0;
    EXPECT_EQ(list->GetValue(c.id, value), hr::Ok) << c.name;
  }
}

TEST_F(ControlList, MenusKeepTheirGapsAndIntegerMenusShowTheirNumbers) {
  const ControlInfo* menu = Find("Menu");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->type, Type::Menu);
  EXPECT_EQ(menu->menu, (Menu{{1, "Menu Item 1"}, {3, "Menu Item 3"}, {4, "Menu Item 4"}}));
  EXPECT_EQ(menu->defaultValue, 3);

  const ControlInfo* integers = Find("Integer Menu");
  ASSERT_NE(integers, nullptr);
  EXPECT_EQ(integers->type, Type::Menu);
  ASSERT_EQ(integers->menu.size(), 7u);  // index 1 is a hole
  EXPECT_EQ(integers->menu.front(), (std::pair<std::int64_t, std::string>{2, "2"}));
  EXPECT_EQ(integers->menu.back(), (std::pair<std::int64_t, std::string>{8, "42"}));

  // A menu value in a gap is refused by the driver, a listed one is taken.
  EXPECT_NE(list->SetValue(menu->id, 2), hr::Ok);
  EXPECT_EQ(list->SetValue(menu->id, 4), hr::Ok);
  std::int64_t value = 0;
  EXPECT_EQ(list->GetValue(menu->id, value), hr::Ok);
  EXPECT_EQ(value, 4);
  EXPECT_EQ(list->SetValue(menu->id, 3), hr::Ok);
}

TEST_F(ControlList, SixtyFourBitValuesCrossWhole) {
  const ControlInfo* wide = Find("Integer 64 Bits");
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(wide->type, Type::Integer);
  EXPECT_EQ(wide->minimum, std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(wide->maximum, std::numeric_limits<std::int64_t>::max());
  const std::int64_t big = (std::int64_t{1} << 40) + 5;
  ASSERT_EQ(list->SetValue(wide->id, big), hr::Ok);
  std::int64_t value = 0;
  EXPECT_EQ(list->GetValue(wide->id, value), hr::Ok);
  EXPECT_EQ(value, big);
  EXPECT_EQ(list->SetValue(wide->id, 0), hr::Ok);
}

TEST_F(ControlList, ReadOnlyButtonsAndControlsWithoutAWidgetAreShownForWhatTheyAre) {
  const ControlInfo* readOnly = Find("Read-Only Integer 32 Bits");
  ASSERT_NE(readOnly, nullptr);
  EXPECT_TRUE(readOnly->readOnly);
  std::int64_t before = 0;
  ASSERT_EQ(list->GetValue(readOnly->id, before), hr::Ok);
  EXPECT_NE(list->SetValue(readOnly->id, before + 1), hr::Ok);
  std::int64_t after = 0;
  EXPECT_EQ(list->GetValue(readOnly->id, after), hr::Ok);
  EXPECT_EQ(after, before);
  EXPECT_FALSE(Find("Brightness")->readOnly);

  const ControlInfo* button = Find("Button");
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->type, Type::Button);
  EXPECT_EQ(Find("Boolean")->type, Type::Boolean);

  // Strings, bitmasks and arrays have no widget in the frame and are left
  // out rather than shown wrongly.
  for (const char* name : {"String", "Bitmask", "U32 1 Element Array", "U16 8x16 Matrix"})
    EXPECT_EQ(Find(name), nullptr) << name;
}

TEST_F(ControlList, GainIsInactiveWhileAutogainHoldsIt) {
  const ControlInfo* gain = Find("Gain");
  const ControlInfo* autogain = Find("Gain, Automatic");
  ASSERT_NE(gain, nullptr);
  ASSERT_NE(autogain, nullptr);
  EXPECT_TRUE(gain->inactive);
  EXPECT_EQ(autogain->type, Type::Boolean);

  ASSERT_EQ(list->SetValue(autogain->id, 0), hr::Ok);
  ASSERT_EQ(list->GetControls(controls), hr::Ok);
  EXPECT_FALSE(Find("Gain")->inactive);
  EXPECT_EQ(list->SetValue(Find("Gain")->id, 66), hr::Ok);
  EXPECT_EQ(RawControl(node, V4L2_CID_GAIN), 66);
  EXPECT_EQ(camera->Gain(), 66);  // the frame and the rows see one driver
}

}  // namespace
}  // namespace varnholt::test
