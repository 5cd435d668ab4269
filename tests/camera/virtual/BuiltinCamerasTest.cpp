// The built-in set: the cameras a user sees without any description file.

#include <algorithm>
#include <tuple>

#include "tests/camera/virtual/VirtualTestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;

constexpr const char* kHd = "Varnholt Virtual HD Webcam";
constexpr const char* kBasic = "Varnholt Virtual Basic Camera";
constexpr const char* kCard = "Varnholt Virtual Capture Card";
constexpr const char* kDepth = "Varnholt Virtual Depth Camera";
constexpr const char* kDocument = "Varnholt Virtual Document Camera";

class BuiltinCamerasTest : public VirtualPlatformTest {
 protected:
  void SetUp() override { platform_ = Load(VirtualPlatform::BuiltinCamerasJson()); }

  // Ids of a family whose Get succeeds, among 0..19.
  static std::vector<std::int32_t> SupportedIds(IPropertyFamily& family) {
    std::vector<std::int32_t> ids;
    for (std::int32_t id = 0; id < 20; ++id) {
      std::int32_t value, flags;
      if (family.Get(id, value, flags) == hr::Ok)
        ids.push_back(id);
    }
    return ids;
  }

  std::shared_ptr<VirtualPlatform> platform_;
};

TEST_F(BuiltinCamerasTest, FiveCamerasWithAudioAndCompressors) {
  EXPECT_EQ(ListedNames(*platform_, DeviceCategory::VideoInput),
            (std::vector<std::string>{kHd, kBasic, kCard, kDepth, kDocument}));
  EXPECT_FALSE(ListedNames(*platform_, DeviceCategory::AudioInput).empty());
  EXPECT_FALSE(ListedNames(*platform_, DeviceCategory::VideoCompressor).empty());
  EXPECT_FALSE(ListedNames(*platform_, DeviceCategory::AudioCompressor).empty());
}

TEST_F(BuiltinCamerasTest, HdWebcamHasEverySliderAndBothBlocks) {
  const auto filter = BindCamera(*platform_, 0);
  const auto procAmp = Query<IAMVideoProcAmp>(filter);
  const auto control = Query<IAMCameraControl>(filter);
  // Brightness..Gain and power-line frequency; pan..focus.
  EXPECT_EQ(SupportedIds(*procAmp), (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 13}));
  EXPECT_EQ(SupportedIds(*control), (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6}));

  std::int32_t min, max, step, def, caps, value, flags;
  ASSERT_EQ(procAmp->GetRange(13, min, max, step, def, caps), hr::Ok);
  EXPECT_EQ((std::array{min, max, def}), (std::array{0, 3, 1}));
  ASSERT_EQ(procAmp->GetRange(7, min, max, step, def, caps), hr::Ok);
  EXPECT_EQ((std::array{min, max, step, def, caps}), (std::array{2800, 6500, 10, 4600, 3}));
  ASSERT_EQ(procAmp->Get(7, value, flags), hr::Ok);
  EXPECT_EQ(flags, kPropertyFlagsAuto);
  ASSERT_EQ(control->GetRange(4, min, max, step, def, caps), hr::Ok);
  EXPECT_EQ((std::array{min, max, def}), (std::array{-11, -2, -6}));

  const auto blocks = Query<IKsPropertySet>(filter);
  std::vector<std::uint8_t> probe(1);
  std::uint32_t returned;
  EXPECT_EQ(blocks->Get(guids::KsPropSetFlash, 0, {}, probe, returned), hr::MoreData);
  EXPECT_EQ(blocks->Get(guids::KsPropSetVideoStabilization, 0, {}, probe, returned), hr::MoreData);

  // Still pin first, then capture; the capture pin has a YUY2/MJPG twin.
  const auto pins = Pins(*filter);
  ASSERT_EQ(pins.size(), 2u);
  EXPECT_EQ(CapturePin(*filter), pins[1]);
  std::shared_ptr<IEnumMediaTypes> formats;
  ASSERT_EQ(pins[1]->EnumMediaTypes(formats), hr::Ok);
  std::vector<std::unique_ptr<AmMediaType>> types;
  std::unique_ptr<AmMediaType> type;
  while (formats->Next(type) == hr::Ok)
    types.push_back(std::move(type));
  const auto shape = [](const AmMediaType& m) {
    const auto h = *VideoInfoHeader::FromBytes(m.pbFormat);
    return std::tuple(m.formattype, h.bmiHeader.biWidth, h.bmiHeader.biHeight,
                      h.bmiHeader.biBitCount, h.AvgTimePerFrame);
  };
  bool twin = false;
  for (const auto& a : types)
    for (const auto& b : types)
      twin |= a->subtype == FourCCSubtype(kFourCCYUY2) &&
              b->subtype == FourCCSubtype(kFourCCMJPG) && shape(*a) == shape(*b);
  EXPECT_TRUE(twin);
}

TEST_F(BuiltinCamerasTest, BasicCameraIsSparse) {
  const auto monikers = Monikers(*platform_, DeviceCategory::VideoInput);
  std::shared_ptr<IPropertyBag> bag;
  ASSERT_EQ(monikers.at(1)->BindToStorage(bag), hr::Ok);
  EXPECT_EQ(ReadString(*bag, "Description"), "<fails>");

  const auto filter = BindCamera(*platform_, 1);
  EXPECT_EQ(Query<IAMCameraControl>(filter), nullptr);
  const auto ids = SupportedIds(*Query<IAMVideoProcAmp>(filter));
  EXPECT_GE(ids.size(), 4u);
  EXPECT_LE(ids.size(), 5u);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), 13), 0);
}

TEST_F(BuiltinCamerasTest, CaptureCardHasFormatsButNoProperty) {
  const auto filter = BindCamera(*platform_, 2);
  const auto procAmp = Query<IAMVideoProcAmp>(filter);
  const auto control = Query<IAMCameraControl>(filter);
  ASSERT_NE(procAmp, nullptr);
  ASSERT_NE(control, nullptr);
  EXPECT_TRUE(SupportedIds(*procAmp).empty());
  EXPECT_TRUE(SupportedIds(*control).empty());
  std::unique_ptr<AmMediaType> current;
  EXPECT_EQ(Query<IAMStreamConfig>(CapturePin(*filter))->GetFormat(current), hr::Ok);
}

TEST_F(BuiltinCamerasTest, DepthCameraOffersOnlyVideoInfo2Formats) {
  const auto filter = BindCamera(*platform_, 3);
  std::shared_ptr<IEnumMediaTypes> types;
  ASSERT_EQ(CapturePin(*filter)->EnumMediaTypes(types), hr::Ok);
  int count = 0;
  for (std::unique_ptr<AmMediaType> type; types->Next(type) == hr::Ok; ++count)
    EXPECT_EQ(type->formattype, guids::FormatVideoInfo2);
  EXPECT_EQ(count, 2);
  EXPECT_FALSE(SupportedIds(*Query<IAMVideoProcAmp>(filter)).empty());
}

TEST_F(BuiltinCamerasTest, DocumentCameraHasPropertiesButNoFormat) {
  const auto filter = BindCamera(*platform_, 4);
  std::shared_ptr<IEnumMediaTypes> types;
  ASSERT_EQ(CapturePin(*filter)->EnumMediaTypes(types), hr::Ok);
  std::unique_ptr<AmMediaType> type;
  EXPECT_EQ(types->Next(type), hr::False);
  EXPECT_EQ(SupportedIds(*Query<IAMVideoProcAmp>(filter)).size(), 2u);
  EXPECT_EQ(SupportedIds(*Query<IAMCameraControl>(filter)).size(), 2u);
}

}  // namespace
}  // namespace varnholt::test
