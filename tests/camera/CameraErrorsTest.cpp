// The component's error checks and the texts they carry.

#include <gtest/gtest.h>

#include "tests/camera/CameraTestSupport.h"

namespace varnholt::test {
namespace {

TEST(CameraErrors, ConditionAndInterfaceChecksRaiseTheirMessages) {
  EXPECT_EQ(CameraErrorOf([] { CheckCondition(false, "Format not found"); }), "Format not found");
  EXPECT_EQ(CameraErrorOf([] { CheckCondition(true, "x"); }), "<no exception>");
  EXPECT_EQ(CameraErrorOf([] { CheckInterface(std::shared_ptr<int>(), "Capture IPin"); }),
            "Cannot retrieve 'Capture IPin' interface");
  EXPECT_EQ(CameraErrorOf([] { CheckInterface(std::make_shared<int>(1), "x"); }), "<no exception>");
}

TEST(CameraErrors, CheckHResultPrefersThePlatformsTextCutTo160Characters) {
  FakePlatform platform;
  EXPECT_FALSE(OleErrorOf([&] { CheckHResult(hr::Ok, platform); }).raised);
  EXPECT_FALSE(OleErrorOf([&] { CheckHResult(hr::False, platform); }).raised);
  EXPECT_FALSE(OleErrorOf([&] { CheckHResult(0x00040237, platform); }).raised);

  platform.errorTexts[hr::Busy] = std::string(200, 'x');
  const OleError longText = OleErrorOf([&] { CheckHResult(hr::Busy, platform); });
  EXPECT_EQ(longText.code, hr::Busy);
  EXPECT_EQ(longText.message, std::string(160, 'x'));

  // Characters, not bytes: a multi-byte character at the cut is kept whole.
  std::string umlauts;
  for (int i = 0; i < 170; ++i)
    umlauts += "\xC3\xA4";
  platform.errorTexts[hr::Busy] = umlauts;
  EXPECT_EQ(OleErrorOf([&] { CheckHResult(hr::Busy, platform); }).message, umlauts.substr(0, 320));
}

TEST(CameraErrors, WithoutAPlatformTextTheSystemMessageOrTheCodeIsUsed) {
  FakePlatform platform;
  EXPECT_EQ(OleErrorOf([&] { CheckHResult(hr::AccessDenied, platform); }).message,
            "Access is denied");
  const OleError unknown = OleErrorOf([&] { CheckHResult(MakeHResult(0x8004ABCD), platform); });
  EXPECT_EQ(unknown.message, "OLE error 8004ABCD");
  EXPECT_EQ(unknown.code, MakeHResult(0x8004ABCD));
  EXPECT_EQ(OleErrorOf([] { CheckPlatformError(hr::NotImpl); }).message, "Not implemented");
  EXPECT_FALSE(OleErrorOf([] { CheckPlatformError(hr::False); }).raised);
}

TEST(CameraErrors, OnlyTheTwoUnsupportedCodesCountAsUnsupported) {
  EXPECT_TRUE(IsUnsupportedProperty(MakeHResult(0x80070492)));
  EXPECT_TRUE(IsUnsupportedProperty(MakeHResult(0x80070490)));
  EXPECT_FALSE(IsUnsupportedProperty(MakeHResult(0x80070491)));
  EXPECT_FALSE(IsUnsupportedProperty(hr::Fail));
  EXPECT_FALSE(IsUnsupportedProperty(hr::Ok));
}

}  // namespace
}  // namespace varnholt::test
