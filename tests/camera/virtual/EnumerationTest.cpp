// Device lists, property bags and binding, as the component walks them.

#include "tests/camera/virtual/VirtualTestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;
using Names = std::vector<std::string>;

const QByteArray kDevices = R"({
  "cameras": [
    {"friendlyName": "Second", "devicePath": "p2", "description": "Desk camera"},
    {"friendlyName": "First", "devicePath": "p1"},
    {"friendlyName": "First", "devicePath": "p3"}
  ],
  "audioInputs": [
    {"friendlyName": "Mic", "description": "Headset", "waveInId": 3},
    {"friendlyName": "Line"}
  ],
  "videoCompressors": ["VC1", "VC2"],
  "audioCompressors": ["AC"]
})";

class EnumerationTest : public VirtualPlatformTest {};

TEST_F(EnumerationTest, CategoriesListTheirDevicesInDescribedOrder) {
  const auto platform = Load(kDevices);
  // A second camera of one name is told apart by a number.
  EXPECT_EQ(ListedNames(*platform, DeviceCategory::VideoInput),
            (Names{"Second", "First", "First #2"}));
  EXPECT_EQ(ListedNames(*platform, DeviceCategory::AudioInput), (Names{"Mic", "Line"}));
  EXPECT_EQ(ListedNames(*platform, DeviceCategory::VideoCompressor), (Names{"VC1", "VC2"}));
  EXPECT_EQ(ListedNames(*platform, DeviceCategory::AudioCompressor), (Names{"AC"}));
}

TEST_F(EnumerationTest, EmptyCategoryAnswersFalseWithoutEnumerator) {
  const auto full = Load(kDevices);
  const auto empty = Load(R"({"cameras": []})");
  std::shared_ptr<Unknown> fullEnum, emptyEnum;
  ASSERT_EQ(full->CreateInstance(ClassId::SystemDeviceEnum, fullEnum), hr::Ok);
  ASSERT_EQ(empty->CreateInstance(ClassId::SystemDeviceEnum, emptyEnum), hr::Ok);
  for (const auto category : {DeviceCategory::VideoInput, DeviceCategory::AudioInput}) {
    // A left-over enumerator must not survive the empty answer.
    std::shared_ptr<IEnumMoniker> enumerator;
    ASSERT_EQ(Query<ICreateDevEnum>(fullEnum)->CreateClassEnumerator(category, enumerator, 0),
              hr::Ok);
    ASSERT_NE(enumerator, nullptr);
    EXPECT_EQ(Query<ICreateDevEnum>(emptyEnum)->CreateClassEnumerator(category, enumerator, 0),
              hr::False);
    EXPECT_EQ(enumerator, nullptr);
  }
  // Without compressors of its own a description lists FFmpeg's encoders.
  for (const auto category : {DeviceCategory::VideoCompressor, DeviceCategory::AudioCompressor}) {
    std::shared_ptr<IEnumMoniker> enumerator;
    EXPECT_EQ(Query<ICreateDevEnum>(emptyEnum)->CreateClassEnumerator(category, enumerator, 0),
              hr::Ok);
  }
}

TEST_F(EnumerationTest, EnumeratorEndsWithFalseAndStaysThere) {
  const auto platform = Load(OneCamera(""));
  std::shared_ptr<Unknown> object;
  ASSERT_EQ(platform->CreateInstance(ClassId::SystemDeviceEnum, object), hr::Ok);
  std::shared_ptr<IEnumMoniker> enumerator;
  ASSERT_EQ(Query<ICreateDevEnum>(object)->CreateClassEnumerator(DeviceCategory::VideoInput,
                                                                 enumerator, 0),
            hr::Ok);
  std::shared_ptr<IMoniker> moniker;
  EXPECT_EQ(enumerator->Next(moniker), hr::Ok);
  EXPECT_NE(moniker, nullptr);
  EXPECT_EQ(enumerator->Next(moniker), hr::False);
  EXPECT_EQ(moniker, nullptr);
  EXPECT_EQ(enumerator->Next(moniker), hr::False);
}

TEST_F(EnumerationTest, PropertyBagsCarryTheDescribedValues) {
  const auto platform = Load(kDevices);
  const auto cameras = Monikers(*platform, DeviceCategory::VideoInput);
  ASSERT_EQ(cameras.size(), 3u);
  std::shared_ptr<IPropertyBag> bag;
  ASSERT_EQ(cameras[0]->BindToStorage(bag), hr::Ok);
  EXPECT_EQ(ReadString(*bag, "FriendlyName"), "Second");
  EXPECT_EQ(ReadString(*bag, "DevicePath"), "p2");
  EXPECT_EQ(ReadString(*bag, "Description"), "Desk camera");
  EXPECT_EQ(ReadString(*bag, "NoSuchValue"), "<fails>");

  // Without a description the bag has none, and the read fails.
  ASSERT_EQ(cameras[1]->BindToStorage(bag), hr::Ok);
  EXPECT_EQ(ReadString(*bag, "Description"), "<fails>");

  const auto audio = Monikers(*platform, DeviceCategory::AudioInput);
  ASSERT_EQ(audio.size(), 2u);
  ASSERT_EQ(audio[0]->BindToStorage(bag), hr::Ok);
  PropVariant waveIn;
  ASSERT_EQ(bag->Read("WaveInID", waveIn), hr::Ok);
  EXPECT_EQ(std::get<std::int32_t>(waveIn), 3);
  EXPECT_EQ(ReadString(*bag, "Description"), "Headset");
  // Without a number an input has its place in the list.
  ASSERT_EQ(audio[1]->BindToStorage(bag), hr::Ok);
  ASSERT_EQ(bag->Read("WaveInID", waveIn), hr::Ok);
  EXPECT_EQ(std::get<std::int32_t>(waveIn), 1);
}

TEST_F(EnumerationTest, BindFaultsAnswerTheirCodes) {
  const auto platform = Load(R"({"cameras": [
    {"friendlyName": "Broken bag", "devicePath": "a", "fail": {"bindStorage": "0x80070005"}},
    {"friendlyName": "Broken filter", "devicePath": "b", "fail": {"bindFilter": -2147467259}},
    {"friendlyName": "Good", "devicePath": "c"}
  ]})");
  EXPECT_EQ(ListedNames(*platform, DeviceCategory::VideoInput), (Names{"Broken filter", "Good"}));

  const auto monikers = Monikers(*platform, DeviceCategory::VideoInput);
  ASSERT_EQ(monikers.size(), 3u);
  std::shared_ptr<IPropertyBag> bag;
  EXPECT_EQ(monikers[0]->BindToStorage(bag), hr::AccessDenied);
  std::shared_ptr<IBaseFilter> filter;
  EXPECT_EQ(monikers[1]->BindToObject(filter), hr::Fail);
  EXPECT_EQ(filter, nullptr);
  EXPECT_EQ(monikers[2]->BindToObject(filter), hr::Ok);
  EXPECT_NE(filter, nullptr);
}

TEST_F(EnumerationTest, FilterAnswersItsNameAndPages) {
  const auto platform = Load(kDevices);
  const auto filter = BindCamera(*platform, 1);
  ASSERT_NE(filter, nullptr);
  FilterInfo info;
  ASSERT_EQ(filter->QueryFilterInfo(info), hr::Ok);
  EXPECT_EQ(info.achName, "First");
  EXPECT_EQ(info.pGraph, nullptr);

  const auto pages = Query<ISpecifyPropertyPages>(filter);
  ASSERT_NE(pages, nullptr);
  std::vector<Guid> ids;
  ASSERT_EQ(pages->GetPages(ids), hr::Ok);
  EXPECT_EQ(ids, (std::vector<Guid>{guids::PageDeviceControls, guids::PageStreamFormat}));
  EXPECT_EQ(Query<IBaseFilter>(pages), filter);
}

TEST_F(EnumerationTest, CompressorsBindToAFilterWithTheirName) {
  const auto platform = Load(kDevices);
  const auto monikers = Monikers(*platform, DeviceCategory::VideoCompressor);
  ASSERT_EQ(monikers.size(), 2u);
  std::shared_ptr<IBaseFilter> filter;
  ASSERT_EQ(monikers[1]->BindToObject(filter), hr::Ok);
  FilterInfo info;
  ASSERT_EQ(filter->QueryFilterInfo(info), hr::Ok);
  EXPECT_EQ(info.achName, "VC2");
  EXPECT_TRUE(Pins(*filter).empty());
  EXPECT_EQ(Query<IAMVideoProcAmp>(filter), nullptr);
}

TEST_F(EnumerationTest, GraphObjectsAreTheSharedOnes) {
  const auto platform = Load(kDevices);
  for (const auto id : {ClassId::FilterGraph, ClassId::CaptureGraphBuilder2, ClassId::SampleGrabber,
                        ClassId::NullRenderer, ClassId::VideoMixingRenderer9}) {
    std::shared_ptr<Unknown> object;
    EXPECT_EQ(platform->CreateInstance(id, object), hr::Ok);
    EXPECT_NE(object, nullptr);
  }
  // A frame needs an object to show.
  EXPECT_EQ(platform->ShowPropertyFrame(0, 0, 0, "Test", {}, {}, 0), hr::InvalidArg);
  EXPECT_EQ(platform->Name(), "virtual");
}

}  // namespace
}  // namespace varnholt::test
