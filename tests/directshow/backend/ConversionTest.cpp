// Conversions between our values and the system's: text, identifiers and
// media types, including who owns a media type's block and object.

#include <gtest/gtest.h>

#include <atomic>

#include "camera/platform/directshow/ComObject.h"
#include "camera/platform/directshow/Identifiers.h"
#include "camera/platform/directshow/MediaTypes.h"
#include "camera/platform/directshow/Utf8.h"

namespace varnholt::platform::directshow {
namespace {

// A system object that counts its references.
class Counted final : public ::IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!IsEqualIID(iid, IID_IUnknown)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  std::atomic<ULONG> references{1};
};

TEST(Utf8, RoundTripsEveryPlaneAndEmptyText) {
  const std::string text =
      "Kamera \xC3\xBC \xE6\x91\x84\xE5\x83\x8F \xF0\x9F\x93\xB7";  // ü, 摄像, 📷
  const std::wstring wide = ToUtf16(text);
  EXPECT_EQ(wide, L"Kamera \u00FC \u6444\u50CF \U0001F4F7");
  EXPECT_EQ(wide.size(), 14u);  // the camera is a surrogate pair
  EXPECT_EQ(ToUtf8(wide), text);
  EXPECT_EQ(ToUtf8(wide.c_str()), text);
  EXPECT_EQ(ToUtf16(""), L"");
  EXPECT_EQ(ToUtf8(std::wstring_view()), "");
  EXPECT_EQ(ToUtf8(static_cast<const wchar_t*>(nullptr)), "");
  // A broken sequence costs one character, not the string.
  EXPECT_EQ(ToUtf16("a\xFF"
                    "b"),
            L"a\uFFFDb");
}

TEST(Identifiers, OurGuidsAreTheSystems) {
  EXPECT_EQ(FromGuid(MEDIATYPE_Video), guids::MediaTypeVideo);
  EXPECT_EQ(FromGuid(FORMAT_VideoInfo), guids::FormatVideoInfo);
  EXPECT_EQ(FromGuid(FORMAT_VideoInfo2), guids::FormatVideoInfo2);
  EXPECT_EQ(FromGuid(PIN_CATEGORY_CAPTURE), guids::PinCategoryCapture);
  EXPECT_EQ(FromGuid(AMPROPSETID_Pin), guids::AmPropSetIdPin);
  EXPECT_EQ(FromGuid(MEDIASUBTYPE_Avi), guids::MediaSubtypeAvi);
  EXPECT_EQ(FromGuid(MEDIASUBTYPE_YUY2), FourCCSubtype(kFourCCYUY2));
  EXPECT_TRUE(IsEqualGUID(ToGuid(guids::PinCategoryStill), PIN_CATEGORY_STILL));
  EXPECT_EQ(FromGuid(ToGuid(guids::KsPropSetFlash)), guids::KsPropSetFlash);
  // Every interface of the framework has its system id; ours alone have none.
  for (int i = 0; i <= static_cast<int>(Iid::PreparedPicture); ++i) {
    const auto iid = static_cast<Iid>(i);
    const bool oursAlone =
        iid == Iid::ControlList || iid == Iid::CurrentPicture || iid == Iid::PreparedPicture;
    EXPECT_EQ(ComIid(iid) == nullptr, oursAlone) << i;
  }
  EXPECT_TRUE(IsEqualGUID(*ComIid(Iid::KsPropertySet), IID_IKsPropertySet));
}

AmMediaType VideoType(std::shared_ptr<Unknown> object) {
  VideoInfoHeader info;
  info.rcSource = {0, 0, 640, 480};
  info.AvgTimePerFrame = 333333;
  info.bmiHeader.biWidth = 640;
  info.bmiHeader.biHeight = 480;
  info.bmiHeader.biBitCount = 16;
  info.bmiHeader.biCompression = kFourCCYUY2;
  info.bmiHeader.biSizeImage = 640 * 480 * 2;
  AmMediaType type;
  type.majortype = guids::MediaTypeVideo;
  type.subtype = FourCCSubtype(kFourCCYUY2);
  type.bFixedSizeSamples = true;
  type.bTemporalCompression = false;
  type.lSampleSize = 640 * 480 * 2;
  type.formattype = guids::FormatVideoInfo;
  type.pbFormat = info.ToBytes();
  type.pUnk = std::move(object);
  return type;
}

void ExpectSameType(const AmMediaType& a, const AmMediaType& b) {
  EXPECT_EQ(a.majortype, b.majortype);
  EXPECT_EQ(a.subtype, b.subtype);
  EXPECT_EQ(a.bFixedSizeSamples, b.bFixedSizeSamples);
  EXPECT_EQ(a.bTemporalCompression, b.bTemporalCompression);
  EXPECT_EQ(a.lSampleSize, b.lSampleSize);
  EXPECT_EQ(a.formattype, b.formattype);
  EXPECT_EQ(a.pbFormat, b.pbFormat);
  EXPECT_EQ(ComOf(a.pUnk), ComOf(b.pUnk));
}

TEST(MediaTypes, RoundTripKeepsEveryFieldAndEveryReferenceIsGivenBack) {
  Counted object;
  {
    const AmMediaType ours = VideoType(WrapObject(&object));
    ASSERT_EQ(object.references, 2u);  // ours holds one

    AM_MEDIA_TYPE* system = NewComMediaType(ours);
    ASSERT_NE(system, nullptr);
    EXPECT_TRUE(IsEqualGUID(system->majortype, MEDIATYPE_Video));
    EXPECT_TRUE(IsEqualGUID(system->formattype, FORMAT_VideoInfo));
    EXPECT_EQ(system->bFixedSizeSamples, TRUE);
    ASSERT_EQ(system->cbFormat, sizeof(VIDEOINFOHEADER));
    EXPECT_NE(system->pbFormat, ours.pbFormat.data());  // a block of its own
    EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER*>(system->pbFormat)->AvgTimePerFrame, 333333);
    EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER*>(system->pbFormat)->bmiHeader.biWidth, 640);
    EXPECT_EQ(system->pUnk, &object);
    EXPECT_EQ(object.references, 3u);

    const AmMediaType back = FromComMediaType(*system);
    ExpectSameType(back, ours);
    EXPECT_EQ(back.pUnk, ours.pUnk);  // the object is still the one of ours
    DeleteComMediaType(system);
    EXPECT_EQ(object.references, 2u);

    // A borrowed view takes nothing and copies nothing.
    AM_MEDIA_TYPE view = BorrowComMediaType(ours);
    EXPECT_EQ(view.pbFormat, ours.pbFormat.data());
    EXPECT_EQ(view.pUnk, &object);
    EXPECT_EQ(object.references, 2u);
    ExpectSameType(FromComMediaType(view), ours);
  }
  EXPECT_EQ(object.references, 1u);

  // An empty type stays empty both ways; freeing twice is harmless.
  AM_MEDIA_TYPE* empty = NewComMediaType(AmMediaType{});
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->pbFormat, nullptr);
  EXPECT_EQ(empty->pUnk, nullptr);
  EXPECT_TRUE(FromComMediaType(*empty).pbFormat.empty());
  FreeComMediaType(*empty);
  DeleteComMediaType(empty);
}

}  // namespace
}  // namespace varnholt::platform::directshow
