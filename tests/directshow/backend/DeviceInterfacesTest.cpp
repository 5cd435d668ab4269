// A camera's stream configuration and property family through ours, over a
// system object of the test's own that behaves like a driver's: formats
// handed out as the system allocates them, values and codes as it answers.

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "camera/platform/directshow/ComObject.h"
#include "camera/platform/directshow/Identifiers.h"
#include "camera/platform/directshow/MediaTypes.h"
#include "tests/directshow/backend/BackendTestSupport.h"

namespace varnholt::platform::directshow {
namespace {

// What a driver's capture pin and filter offer, in one object: the stream
// configuration with two YUY2 formats, and brightness (id 0) alone in the
// video-processing family.
class DriverObject final : public ::IAMStreamConfig, public ::IAMVideoProcAmp {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IAMStreamConfig))
      *out = static_cast<::IAMStreamConfig*>(this);
    else if (IsEqualIID(iid, IID_IAMVideoProcAmp))
      *out = static_cast<::IAMVideoProcAmp*>(this);
    else
      *out = nullptr;
    if (!*out)
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }

  HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE* type) override {
    set = FromComMediaType(*type);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetFormat(AM_MEDIA_TYPE** type) override {
    *type = NewComMediaType(Format(640));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int* count, int* size) override {
    *count = 2;
    *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override {
    if (index < 0 || index >= 2)
      return S_FALSE;
    std::memset(caps, 0xAB, sizeof(VIDEO_STREAM_CONFIG_CAPS));  // all of it is ours to write
    *type = NewComMediaType(Format(index == 0 ? 640 : 320));
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* initial,
                                     LONG* caps) override {
    if (property != 0)
      return MakeHResult(0x80070490);
    *min = -64, *max = 64, *step = 1, *initial = 0, *caps = 3;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Set(LONG property, LONG value, LONG flags) override {
    if (property != 0)
      return MakeHResult(0x80070490);
    brightness = value;
    brightnessFlags = flags;
    setThread = GetCurrentThreadId();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Get(LONG property, LONG* value, LONG* flags) override {
    if (property != 0)
      return MakeHResult(0x80070490);
    *value = brightness;
    *flags = brightnessFlags;
    return S_OK;
  }

  // Each format carries a reference to the object it came from, as some do.
  AmMediaType Format(std::int32_t width) {
    VideoInfoHeader info;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = width * 3 / 4;
    info.bmiHeader.biBitCount = 16;
    info.bmiHeader.biCompression = kFourCCYUY2;
    AmMediaType type;
    type.majortype = guids::MediaTypeVideo;
    type.subtype = FourCCSubtype(kFourCCYUY2);
    type.formattype = guids::FormatVideoInfo;
    type.pbFormat = info.ToBytes();
    type.pUnk = WrapObject(static_cast<::IAMStreamConfig*>(this));
    return type;
  }

  std::atomic<ULONG> references{1};
  AmMediaType set;
  LONG brightness = 0, brightnessFlags = 0;
  std::atomic<DWORD> setThread{0};
};

std::int32_t Width(const AmMediaType& type) {
  return VideoInfoHeader::FromBytes(type.pbFormat)->bmiHeader.biWidth;
}

TEST(DeviceInterfaces, StreamFormatsCrossBothWaysAndTheSystemsCopiesAreFreed) {
  DriverObject driver;
  {
    const auto config = Wrap<IAMStreamConfig>(static_cast<::IAMStreamConfig*>(&driver));
    ASSERT_NE(config, nullptr);
    std::unique_ptr<AmMediaType> current;
    ASSERT_EQ(config->GetFormat(current), hr::Ok);
    ASSERT_TRUE(current);
    EXPECT_EQ(current->subtype, FourCCSubtype(kFourCCYUY2));
    EXPECT_EQ(Width(*current), 640);
    std::int32_t count = 0;
    ASSERT_EQ(config->GetNumberOfCapabilities(count), hr::Ok);
    ASSERT_EQ(count, 2);
    std::unique_ptr<AmMediaType> second;
    ASSERT_EQ(config->GetStreamCaps(1, second), hr::Ok);
    EXPECT_EQ(Width(*second), 320);
    EXPECT_EQ(config->GetStreamCaps(2, second), hr::False);
    EXPECT_EQ(second, nullptr);

    AmMediaType wanted = driver.Format(320);
    ASSERT_EQ(config->SetFormat(wanted), hr::Ok);
    EXPECT_EQ(driver.set.pbFormat, wanted.pbFormat);
    EXPECT_EQ(driver.set.formattype, guids::FormatVideoInfo);
  }
  driver.set = AmMediaType{};
  // Every format the driver handed out was given back with its reference.
  EXPECT_EQ(driver.references, 1u);
}

TEST(DeviceInterfaces, PropertyFamilyPassesValuesAndCodesFromAnyThread) {
  DriverObject driver;
  {
    const auto config = Wrap<IAMStreamConfig>(static_cast<::IAMStreamConfig*>(&driver));
    const auto procAmp = Query<IAMVideoProcAmp>(config);
    ASSERT_NE(procAmp, nullptr);
    EXPECT_EQ(Query<IAMStreamConfig>(procAmp), config);
    std::int32_t min = 0, max = 0, step = 0, initial = 99, caps = 0;
    ASSERT_EQ(procAmp->GetRange(0, min, max, step, initial, caps), hr::Ok);
    EXPECT_EQ(min, -64);
    EXPECT_EQ(max, 64);
    EXPECT_EQ(step, 1);
    EXPECT_EQ(initial, 0);
    EXPECT_EQ(caps, kPropertyFlagsAuto | kPropertyFlagsManual);
    EXPECT_EQ(procAmp->GetRange(13, min, max, step, initial, caps), hr::PropIdUnsupported);
    EXPECT_EQ(min, -64);  // untouched on failure

    // A value written from a thread that never set COM up, as the writer's.
    HResult written = hr::Fail;
    std::thread writer([&] { written = procAmp->Set(0, -12, kPropertyFlagsManual); });
    writer.join();
    EXPECT_EQ(written, hr::Ok);
    EXPECT_NE(driver.setThread, GetCurrentThreadId());
    std::int32_t value = 0, flags = 0;
    ASSERT_EQ(procAmp->Get(0, value, flags), hr::Ok);
    EXPECT_EQ(value, -12);
    EXPECT_EQ(flags, kPropertyFlagsManual);
    EXPECT_EQ(procAmp->Set(13, 1, kPropertyFlagsManual), hr::PropIdUnsupported);
  }
  EXPECT_EQ(driver.references, 1u);
}

}  // namespace
}  // namespace varnholt::platform::directshow
