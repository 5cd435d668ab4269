// Kernel-streaming property sets: the flash and stabilization blocks on the
// filter, the category on each pin; and the video control.

#include "tests/camera/virtual/VirtualTestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;

using Bytes = std::vector<std::uint8_t>;

Bytes Words(std::uint32_t mode, std::uint32_t flags) {
  Bytes out(8);
  for (int i = 0; i < 4; ++i) {
    out[i] = static_cast<std::uint8_t>(mode >> (8 * i));
    out[4 + i] = static_cast<std::uint8_t>(flags >> (8 * i));
  }
  return out;
}

class BlockTest : public VirtualPlatformTest {
 protected:
  void SetUp() override {
    platform_ = Load(OneCamera(R"(
      "flash": {"mode": 2, "flags": "auto"},
      "stabilization": {"mode": 3, "flags": 2, "fail": {"set": "0x80070005"}})"));
    properties_ = Query<IKsPropertySet>(BindCamera(*platform_));
    ASSERT_NE(properties_, nullptr);
  }

  HResult Get(const Guid& set, Bytes& data, std::uint32_t id = 0) {
    returned_ = 0;
    return properties_->Get(set, id, {}, data, returned_);
  }

  std::shared_ptr<VirtualPlatform> platform_;
  std::shared_ptr<IKsPropertySet> properties_;
  std::uint32_t returned_ = 0;
};

TEST_F(BlockTest, GetAnswersTheTwoWords) {
  Bytes data(8);
  ASSERT_EQ(Get(guids::KsPropSetFlash, data), hr::Ok);
  EXPECT_EQ(data, Words(2, 1));
  EXPECT_EQ(returned_, 8u);
  Bytes larger(12);
  ASSERT_EQ(Get(guids::KsPropSetVideoStabilization, larger), hr::Ok);
  EXPECT_EQ(Bytes(larger.begin(), larger.begin() + 8), Words(3, 2));
}

TEST_F(BlockTest, ShortBufferOfAPresentBlockAsksForMore) {
  // The "supported" probe: a one-byte read must not look like a missing set.
  Bytes probe(1);
  EXPECT_EQ(Get(guids::KsPropSetFlash, probe), hr::MoreData);
  EXPECT_EQ(returned_, 8u);
}

TEST_F(BlockTest, MissingBlocksAndIdsAnswerTheUnsupportedCodes) {
  const auto bare = Load(R"({"cameras": [{"friendlyName": "B", "devicePath": "b"}]})");
  const auto properties = Query<IKsPropertySet>(BindCamera(*bare));
  Bytes data(8);
  std::uint32_t returned = 0;
  EXPECT_EQ(properties->Get(guids::KsPropSetFlash, 0, {}, data, returned), hr::PropSetUnsupported);
  Bytes probe(1);
  EXPECT_EQ(properties->Get(guids::KsPropSetVideoStabilization, 0, {}, probe, returned),
            hr::PropSetUnsupported);
  EXPECT_EQ(properties->Set(guids::KsPropSetFlash, 0, {}, Words(0, 2)), hr::PropSetUnsupported);
  // The pin set is not the filter's.
  EXPECT_EQ(Get(guids::AmPropSetIdPin, data), hr::PropSetUnsupported);
  EXPECT_EQ(Get(guids::KsPropSetFlash, data, 1), hr::PropIdUnsupported);

  std::uint32_t support = 0;
  EXPECT_EQ(properties_->QuerySupported(guids::KsPropSetFlash, 0, support), hr::Ok);
  EXPECT_EQ(support, 3u);
  EXPECT_EQ(properties->QuerySupported(guids::KsPropSetFlash, 0, support), hr::PropSetUnsupported);
}

TEST_F(BlockTest, SetValidatesAndStoresTheWords) {
  ASSERT_EQ(properties_->Set(guids::KsPropSetFlash, 0, {}, Words(1, 2)), hr::Ok);
  Bytes data(8);
  ASSERT_EQ(Get(guids::KsPropSetFlash, data), hr::Ok);
  EXPECT_EQ(data, Words(1, 2));

  EXPECT_EQ(properties_->Set(guids::KsPropSetFlash, 0, {}, Words(3, 2)), hr::InvalidArg);
  EXPECT_EQ(properties_->Set(guids::KsPropSetFlash, 0, {}, Words(0, 3)), hr::InvalidArg);
  EXPECT_EQ(properties_->Set(guids::KsPropSetFlash, 0, {}, Bytes(4)), hr::InsufficientBuffer);
  EXPECT_EQ(properties_->Set(guids::KsPropSetVideoStabilization, 0, {}, Words(4, 1)),
            hr::AccessDenied);
  ASSERT_EQ(Get(guids::KsPropSetFlash, data), hr::Ok);
  EXPECT_EQ(data, Words(1, 2));
}

class PinTest : public VirtualPlatformTest {};

TEST_F(PinTest, PinsComeInDescribedOrderWithTheirCategories) {
  const auto platform = Load(OneCamera(R"("pins": [
    {"category": "still"}, {"category": "capture"}, {"category": "preview"},
    {"category": "capture", "ksPropertySet": false}])"));
  const auto filter = BindCamera(*platform);
  const auto pins = Pins(*filter);
  ASSERT_EQ(pins.size(), 4u);

  const std::pair<const char*, Guid> expected[] = {{"Still", guids::PinCategoryStill},
                                                   {"Capture", guids::PinCategoryCapture},
                                                   {"Preview", guids::PinCategoryPreview}};
  for (std::size_t i = 0; i < 3; ++i) {
    std::string id;
    ASSERT_EQ(pins[i]->QueryId(id), hr::Ok);
    EXPECT_EQ(id, expected[i].first);
    PinDirection direction = PinDirection::Input;
    ASSERT_EQ(pins[i]->QueryDirection(direction), hr::Ok);
    EXPECT_EQ(direction, PinDirection::Output);
    std::array<std::uint8_t, 16> category{};
    std::uint32_t returned = 0;
    ASSERT_EQ(Query<IKsPropertySet>(pins[i])->Get(guids::AmPropSetIdPin, 0, {}, category, returned),
              hr::Ok);
    EXPECT_EQ(Guid::FromBytes(category.data()), expected[i].second);
    EXPECT_EQ(returned, 16u);
    EXPECT_EQ(Query<IAMStreamConfig>(pins[i]) != nullptr, i == 1) << id;
  }
  std::string id;
  ASSERT_EQ(pins[3]->QueryId(id), hr::Ok);
  EXPECT_EQ(id, "Capture 2");
  EXPECT_EQ(Query<IKsPropertySet>(pins[3]), nullptr);
  EXPECT_EQ(CapturePin(*filter), pins[1]);
}

TEST_F(PinTest, CategoryLookupRefusesShortBuffersAndOtherSets) {
  const auto platform = Load(OneCamera(""));
  const auto pins = Pins(*BindCamera(*platform));
  ASSERT_EQ(pins.size(), 1u);  // one capture pin when none are described
  const auto properties = Query<IKsPropertySet>(pins[0]);
  Bytes small(15);
  std::uint32_t returned = 0;
  EXPECT_EQ(properties->Get(guids::AmPropSetIdPin, 0, {}, small, returned), hr::MoreData);
  EXPECT_EQ(returned, 16u);
  Bytes data(16);
  EXPECT_EQ(properties->Get(guids::AmPropSetIdPin, 1, {}, data, returned), hr::PropIdUnsupported);
  EXPECT_EQ(properties->Get(guids::KsPropSetFlash, 0, {}, data, returned), hr::PropSetUnsupported);
  EXPECT_NE(properties->Set(guids::AmPropSetIdPin, 0, {}, data), hr::Ok);
}

TEST_F(PinTest, VideoControlHasNoModesForItsOwnPins) {
  const auto platform = Load(OneCamera(""));
  const auto filter = BindCamera(*platform);
  const auto control = Query<IAMVideoControl>(filter);
  ASSERT_NE(control, nullptr);
  const auto pin = Pins(*filter).at(0);
  std::int32_t caps = -1, mode = -1;
  EXPECT_EQ(control->GetCaps(pin, caps), hr::Ok);
  EXPECT_EQ(caps, 0);
  EXPECT_EQ(control->GetMode(pin, mode), hr::Ok);
  EXPECT_EQ(mode, 0);
  EXPECT_EQ(control->SetMode(pin, 0), hr::Ok);
  EXPECT_EQ(control->SetMode(pin, 1), hr::InvalidArg);
  EXPECT_EQ(control->GetCaps(nullptr, caps), hr::Pointer);
  // A pin of another filter is not this filter's.
  const auto other = Pins(*BindCamera(*platform)).at(0);
  EXPECT_EQ(control->GetCaps(other, caps), hr::InvalidArg);
}

}  // namespace
}  // namespace varnholt::test
