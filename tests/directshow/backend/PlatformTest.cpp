// The platform's own services: every class it creates and the answers its
// objects give, the device families as objects of their own, and the
// system's error texts.

#include <gtest/gtest.h>

#include <set>

#include "camera/platform/directshow/DirectShowPlatform.h"
#include "camera/platform/directshow/Identifiers.h"
#include "tests/directshow/backend/BackendTestSupport.h"

namespace varnholt::platform::directshow {
namespace {

// Every interface we can ask for by type, and whether a system object has
// it: our answer must follow the system's, each answer being the object
// itself (asking the answer again gives the same answer).
template <class T>
void ExpectAnswerFollowsSystem(const std::shared_ptr<Unknown>& object, std::set<Iid>& answered) {
  const auto answer = Query<T>(object);
  void* raw = nullptr;
  const bool systemHasIt =
      SUCCEEDED(ComOf(object)->QueryInterface(*ComIid(T::kIid), &raw)) && raw != nullptr;
  if (raw)
    static_cast<::IUnknown*>(raw)->Release();
  EXPECT_EQ(answer != nullptr, systemHasIt) << static_cast<int>(T::kIid);
  if (!answer)
    return;
  answered.insert(T::kIid);
  EXPECT_EQ(Query<T>(answer), answer) << static_cast<int>(T::kIid);
  EXPECT_EQ(ComOf(answer), ComOf(object));
}

std::set<Iid> Answers(const std::shared_ptr<Unknown>& object) {
  std::set<Iid> answered;
  ExpectAnswerFollowsSystem<ICreateDevEnum>(object, answered);
  ExpectAnswerFollowsSystem<IMoniker>(object, answered);
  ExpectAnswerFollowsSystem<IPropertyBag>(object, answered);
  ExpectAnswerFollowsSystem<IBaseFilter>(object, answered);
  ExpectAnswerFollowsSystem<IPin>(object, answered);
  ExpectAnswerFollowsSystem<IAMVideoControl>(object, answered);
  ExpectAnswerFollowsSystem<IAMStreamConfig>(object, answered);
  ExpectAnswerFollowsSystem<IKsPropertySet>(object, answered);
  ExpectAnswerFollowsSystem<ISpecifyPropertyPages>(object, answered);
  ExpectAnswerFollowsSystem<IGraphBuilder>(object, answered);
  ExpectAnswerFollowsSystem<IMediaControl>(object, answered);
  ExpectAnswerFollowsSystem<IMediaEvent>(object, answered);
  ExpectAnswerFollowsSystem<ICaptureGraphBuilder2>(object, answered);
  ExpectAnswerFollowsSystem<ISampleGrabber>(object, answered);
  ExpectAnswerFollowsSystem<IVMRFilterConfig9>(object, answered);
  ExpectAnswerFollowsSystem<IVMRWindowlessControl9>(object, answered);
  ExpectAnswerFollowsSystem<IFileSinkFilter>(object, answered);
  ExpectAnswerFollowsSystem<IMediaSample>(object, answered);
  // Enumerators are objects of their own; the rest exist only in the
  // shared graph objects.
  EXPECT_EQ(Query<IEnumPins>(object), nullptr);
  EXPECT_EQ(Query<IControlList>(object), nullptr);
  EXPECT_EQ(Query<ICurrentPicture>(object), nullptr);
  EXPECT_EQ(Query<IPreparedPicture>(object), nullptr);
  return answered;
}

bool Has(const std::set<Iid>& answered, std::initializer_list<Iid> wanted) {
  for (const Iid iid : wanted)
    if (!answered.count(iid))
      return false;
  return true;
}

TEST(Platform, CreatesEveryClassAndAnswersAsTheSystemObject) {
  DirectShowPlatform platform;
  EXPECT_EQ(platform.Name(), "directshow");
  struct Row {
    ClassId classId;
    std::initializer_list<Iid> wanted;
  };
  const Row rows[] = {
      {ClassId::SystemDeviceEnum, {Iid::CreateDevEnum}},
      {ClassId::FilterGraph, {Iid::GraphBuilder, Iid::MediaControl, Iid::MediaEvent}},
      {ClassId::CaptureGraphBuilder2, {Iid::CaptureGraphBuilder2}},
      {ClassId::SampleGrabber, {Iid::BaseFilter, Iid::SampleGrabber}},
      {ClassId::NullRenderer, {Iid::BaseFilter}},
      // The windowless control only once windowless (GraphTest).
      {ClassId::VideoMixingRenderer9, {Iid::BaseFilter, Iid::VMRFilterConfig9}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.classId));
    std::shared_ptr<Unknown> object;
    const HResult code = platform.CreateInstance(row.classId, object);
    if (row.classId == ClassId::VideoMixingRenderer9 && !testing::HaveDisplay()) {
      // Without a display the system refuses it, and so do we, unchanged.
      EXPECT_TRUE(Failed(code));
      EXPECT_EQ(object, nullptr);
      continue;
    }
    ASSERT_EQ(code, hr::Ok);
    ASSERT_NE(object, nullptr);
    EXPECT_TRUE(Has(Answers(object), row.wanted));
  }
}

TEST(Platform, PropertyFamilyIsAnObjectOfItsOwnThatLeadsBackToTheDevice) {
  // The system's own capture filter has the video-processing family and a
  // capture pin that names its category, as a camera's filter does.
  ASSERT_EQ(EnsureCom(), S_OK);
  ComPtr<::IUnknown> system;
  ASSERT_EQ(CoCreateInstance(CLSID_VfwCapture, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             system.ReceiveVoid()),
            S_OK);
  auto filter = Wrap<IBaseFilter>(system.get());
  ASSERT_NE(filter, nullptr);
  auto procAmp = Query<IAMVideoProcAmp>(filter);
  ASSERT_NE(procAmp, nullptr);
  EXPECT_NE(static_cast<void*>(procAmp.get()), static_cast<void*>(filter.get()));
  EXPECT_EQ(Query<IAMVideoProcAmp>(procAmp), procAmp);
  EXPECT_EQ(Query<IBaseFilter>(procAmp), filter);
  EXPECT_EQ(Query<IAMCameraControl>(procAmp), Query<IAMCameraControl>(filter));

  // The capture pin: found as the component finds it, by its category.
  std::shared_ptr<IEnumPins> pins;
  ASSERT_EQ(filter->EnumPins(pins), hr::Ok);
  std::shared_ptr<IPin> pin;
  ASSERT_EQ(pins->Next(pin), hr::Ok);
  const auto properties = Query<IKsPropertySet>(pin);
  ASSERT_NE(properties, nullptr);
  EXPECT_EQ(Query<IPin>(properties), pin);
  std::array<std::uint8_t, 16> category{};
  std::uint32_t returned = 0;
  ASSERT_EQ(properties->Get(guids::AmPropSetIdPin, 0, {}, category, returned), hr::Ok);
  EXPECT_EQ(returned, 16u);
  EXPECT_EQ(Guid::FromBytes(category.data()), guids::PinCategoryCapture);

  // Once the filter is gone, the family answers only for itself.
  pins.reset();
  pin.reset();
  filter.reset();
  system.Reset();
  EXPECT_EQ(Query<IAMVideoProcAmp>(procAmp), procAmp);
  EXPECT_EQ(Query<IBaseFilter>(procAmp), nullptr);
}

TEST(Platform, ErrorTextsComeFromTheSystemWithoutLineBreaks) {
  DirectShowPlatform platform;
  // The wording differs between Windows and Wine, except for this one.
  EXPECT_EQ(platform.ErrorText(hr::PropIdUnsupported), "Element not found.");
  for (const HResult code : {hr::Fail, hr::AccessDenied, hr::PropSetUnsupported}) {
    const std::string text = platform.ErrorText(code);
    EXPECT_FALSE(text.empty()) << HexCode(code);
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
    EXPECT_NE(text.back(), ' ');
    EXPECT_EQ(text.find("0x"), std::string::npos) << text;  // no placeholder
    EXPECT_EQ(ErrorMessage(platform, code), text);
  }
  // No text anywhere: empty, and the component falls back to its own.
  EXPECT_EQ(platform.ErrorText(MakeHResult(0x8004FFFE)), "");
  EXPECT_EQ(ErrorMessage(platform, MakeHResult(0x8004FFFE)),
            SystemMessage(MakeHResult(0x8004FFFE)));
}

TEST(Platform, PropertyFrameTakesOnlyThisPlatformsObjects) {
  DirectShowPlatform platform;
  class Foreign final : public Unknown {
   public:
    std::shared_ptr<void> QueryInterface(Iid) override { return nullptr; }
  };
  EXPECT_EQ(platform.ShowPropertyFrame(0, 0, 0, "Camera", {std::make_shared<Foreign>()}, {}, 0),
            hr::InvalidArg);
}

}  // namespace
}  // namespace varnholt::platform::directshow
