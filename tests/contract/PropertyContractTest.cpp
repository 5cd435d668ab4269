// Both property families as the component uses them: ranges, values read
// back after a write, a refused value that leaves the old one, and the
// "unsupported" answers for a property the camera does not have.

#include "tests/contract/ContractSupport.h"

namespace varnholt::contract {
namespace {

using namespace platform;

std::shared_ptr<IPropertyFamily> FamilyOf(const std::shared_ptr<IBaseFilter>& filter,
                                          PropertyFamilyKind kind) {
  if (kind == PropertyFamilyKind::VideoProcAmp)
    return Query<IAMVideoProcAmp>(filter);
  return Query<IAMCameraControl>(filter);
}

const char* NameOf(PropertyFamilyKind kind) {
  return kind == PropertyFamilyKind::VideoProcAmp ? "IAMVideoProcAmp" : "IAMCameraControl";
}

bool IsUnsupported(HResult code) {
  return code == hr::PropIdUnsupported || code == hr::PropSetUnsupported;
}

TEST_F(Contract, PropertiesOfBothFamiliesRoundTripAndKeepTheirValueWhenRefused) {
  const auto filter = BindKnownCamera(Platform(), Camera());
  ASSERT_NE(filter, nullptr);
  bool seen[kPropertyFamilyCount] = {};
  for (const KnownProperty& known : Camera().properties) {
    SCOPED_TRACE(std::string(NameOf(known.family)) + " property " + std::to_string(known.id));
    seen[static_cast<std::size_t>(known.family)] = true;
    const auto family = FamilyOf(filter, known.family);
    ASSERT_NE(family, nullptr);

    std::int32_t min = 0, max = 0, step = 0, def = 0, caps = 0;
    ASSERT_EQ(family->GetRange(known.id, min, max, step, def, caps), hr::Ok);
    EXPECT_EQ(min, known.min);
    EXPECT_EQ(max, known.max);
    EXPECT_EQ(step, known.step);
    EXPECT_EQ(def, known.defaultValue);
    EXPECT_EQ(caps, known.caps);

    std::int32_t value = 0, flags = 0;
    ASSERT_EQ(family->Get(known.id, value, flags), hr::Ok);
    const std::int32_t wanted =
        value == known.min + known.step ? known.min : known.min + known.step;
    ASSERT_EQ(family->Set(known.id, wanted, kPropertyFlagsManual), hr::Ok);
    ASSERT_EQ(family->Get(known.id, value, flags), hr::Ok);
    EXPECT_EQ(value, wanted);
    EXPECT_EQ(flags, kPropertyFlagsManual);

    // Beyond either end, or automatic where it has no automatic mode:
    // refused, and the value stays.
    EXPECT_EQ(family->Set(known.id, known.max + known.step, kPropertyFlagsManual), hr::InvalidArg);
    EXPECT_EQ(family->Set(known.id, known.min - known.step, kPropertyFlagsManual), hr::InvalidArg);
    ASSERT_EQ(known.caps & kPropertyFlagsAuto, 0) << "the rig names a property without auto";
    EXPECT_EQ(family->Set(known.id, known.min, kPropertyFlagsAuto), hr::InvalidArg);
    ASSERT_EQ(family->Get(known.id, value, flags), hr::Ok);
    EXPECT_EQ(value, wanted);
  }
  EXPECT_TRUE(seen[0] && seen[1]) << "the rig names a property of each family";
}

TEST_F(Contract, PropertiesTheCameraLacksAnswerAnUnsupportedCode) {
  const auto filter = BindKnownCamera(Platform(), Camera());
  ASSERT_NE(filter, nullptr);
  for (const auto kind : {PropertyFamilyKind::VideoProcAmp, PropertyFamilyKind::CameraControl}) {
    const std::int32_t id = Camera().missing[static_cast<std::size_t>(kind)];
    SCOPED_TRACE(std::string(NameOf(kind)) + " property " + std::to_string(id));
    const auto family = FamilyOf(filter, kind);
    ASSERT_NE(family, nullptr);
    std::int32_t n = 0, value = 0, flags = 0;
    const HResult codes[] = {family->GetRange(id, n, n, n, n, n), family->Get(id, value, flags),
                             family->Set(id, 0, kPropertyFlagsManual)};
    for (const HResult code : codes)
      EXPECT_TRUE(IsUnsupported(code)) << std::hex << code;
  }
}

}  // namespace
}  // namespace varnholt::contract
