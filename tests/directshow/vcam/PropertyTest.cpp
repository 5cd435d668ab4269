// The camera's settings as a client reads and writes them: the two property
// families with the description's ranges, a refused value, power-line
// frequency through the kernel-streaming property set, the pin's formats
// through IAMStreamConfig, and the cameras' property page.

// ks.h and ksmedia.h after dshow.h: they take its definitions.
#include <dshow.h>
#include <ks.h>
#include <ksmedia.h>

#include <commctrl.h>
#include <ocidl.h>

#include "camera/platform/directshow/vcam/CameraTable.h"
#include "camera/platform/directshow/vcam/FaultControl.h"
#include "camera/platform/directshow/vcam/Registration.h"
#include "tests/directshow/WindowTree.h"
#include "tests/directshow/vcam/VcamTestSupport.h"

namespace varnholt::vcam::test {
namespace {

using Properties = VcamTest;

TEST_F(Properties, FamiliesAnswerTheDescribedRangesAndKeepValuesWhileLoaded) {
  ComRef<IBaseFilter> camera = BindCamera(kHdWebcam);
  ASSERT_TRUE(camera);
  ComRef<IAMVideoProcAmp> procAmp;
  ComRef<IAMCameraControl> control;
  ASSERT_HRESULT_SUCCEEDED(camera->QueryInterface(IID_IAMVideoProcAmp, procAmp.PutVoid()));
  ASSERT_HRESULT_SUCCEEDED(camera->QueryInterface(IID_IAMCameraControl, control.PutVoid()));

  // Every described property, in both families, with its range.
  for (const PropertyRow& row : Cameras()[0].properties) {
    LONG min = 0, max = 0, step = 0, def = 0, caps = 0, value = 0, flags = 0;
    if (row.family == Family::VideoProcAmp) {
      ASSERT_HRESULT_SUCCEEDED(procAmp->GetRange(row.id, &min, &max, &step, &def, &caps)) << row.id;
      ASSERT_HRESULT_SUCCEEDED(procAmp->Get(row.id, &value, &flags));
    } else {
      ASSERT_HRESULT_SUCCEEDED(control->GetRange(row.id, &min, &max, &step, &def, &caps)) << row.id;
      ASSERT_HRESULT_SUCCEEDED(control->Get(row.id, &value, &flags));
    }
    EXPECT_EQ(min, row.min);
    EXPECT_EQ(max, row.max);
    EXPECT_EQ(step, row.step);
    EXPECT_EQ(def, row.defaultValue);
    EXPECT_EQ(caps, row.caps);
  }
  // From the description: brightness 0..255 around 128; white balance and
  // exposure start automatic; focus starts at 35, away from its default.
  LONG min = 0, max = 0, step = 0, def = 0, caps = 0, value = 0, flags = 0;
  ASSERT_HRESULT_SUCCEEDED(
      procAmp->GetRange(VideoProcAmp_Brightness, &min, &max, &step, &def, &caps));
  EXPECT_EQ(max, 255);
  EXPECT_EQ(def, 128);
  ASSERT_HRESULT_SUCCEEDED(procAmp->Get(VideoProcAmp_WhiteBalance, &value, &flags));
  EXPECT_EQ(flags, VideoProcAmp_Flags_Auto);
  ASSERT_HRESULT_SUCCEEDED(control->Get(CameraControl_Focus, &value, &flags));
  EXPECT_EQ(value, 35);

  // A write is read back, also through a second filter of the same camera.
  ASSERT_HRESULT_SUCCEEDED(procAmp->Set(VideoProcAmp_Brightness, 200, VideoProcAmp_Flags_Manual));
  ASSERT_HRESULT_SUCCEEDED(control->Set(CameraControl_Zoom, 300, CameraControl_Flags_Manual));
  ComRef<IBaseFilter> again = BindCamera(kHdWebcam);
  ComRef<IAMVideoProcAmp> procAmp2;
  ASSERT_HRESULT_SUCCEEDED(again->QueryInterface(IID_IAMVideoProcAmp, procAmp2.PutVoid()));
  ASSERT_HRESULT_SUCCEEDED(procAmp2->Get(VideoProcAmp_Brightness, &value, &flags));
  EXPECT_EQ(value, 200);
  EXPECT_EQ(flags, VideoProcAmp_Flags_Manual);
  ASSERT_HRESULT_SUCCEEDED(control->Get(CameraControl_Zoom, &value, &flags));
  EXPECT_EQ(value, 300);

  // Refused: beyond the range, automatic where the caps lack it, odd flags;
  // the value stays.
  EXPECT_EQ(procAmp->Set(VideoProcAmp_Brightness, 256, VideoProcAmp_Flags_Manual), E_INVALIDARG);
  EXPECT_EQ(procAmp->Set(VideoProcAmp_Contrast, 100, VideoProcAmp_Flags_Auto), E_INVALIDARG);
  EXPECT_EQ(procAmp->Set(VideoProcAmp_Brightness, 100, 3), E_INVALIDARG);
  ASSERT_HRESULT_SUCCEEDED(procAmp->Get(VideoProcAmp_Brightness, &value, &flags));
  EXPECT_EQ(value, 200);
  // Absent properties and sets answer the two "unsupported" codes.
  EXPECT_EQ(procAmp->Get(KSPROPERTY_VIDEOPROCAMP_DIGITAL_MULTIPLIER, &value, &flags),
            E_PROP_ID_UNSUPPORTED);
}

TEST_F(Properties, MissingInterfacesSetsAndPropertiesAsDescribed) {
  // The basic camera has no camera control interface at all.
  ComRef<IBaseFilter> basic = BindCamera(kBasicCamera);
  ASSERT_TRUE(basic);
  ComRef<IAMCameraControl> control;
  EXPECT_EQ(basic->QueryInterface(IID_IAMCameraControl, control.PutVoid()), E_NOINTERFACE);
  // The capture card has the interfaces, but lists its properties as
  // unsupported and lacks the camera-control set.
  ComRef<IBaseFilter> card = BindCamera(kCaptureCard);
  ASSERT_TRUE(card);
  ComRef<IAMVideoProcAmp> procAmp;
  ASSERT_HRESULT_SUCCEEDED(card->QueryInterface(IID_IAMVideoProcAmp, procAmp.PutVoid()));
  ASSERT_HRESULT_SUCCEEDED(card->QueryInterface(IID_IAMCameraControl, control.PutVoid()));
  LONG value = 0, flags = 0;
  EXPECT_EQ(procAmp->Get(VideoProcAmp_Brightness, &value, &flags), E_PROP_ID_UNSUPPORTED);
  EXPECT_EQ(control->Get(CameraControl_Zoom, &value, &flags), E_PROP_SET_UNSUPPORTED);
  // Every camera offers property pages: the cameras' own page.
  ComRef<ISpecifyPropertyPages> pages;
  ASSERT_HRESULT_SUCCEEDED(card->QueryInterface(IID_ISpecifyPropertyPages, pages.PutVoid()));
  CAUUID list{};
  ASSERT_HRESULT_SUCCEEDED(pages->GetPages(&list));
  ASSERT_EQ(list.cElems, 1u);
  EXPECT_TRUE(IsEqualCLSID(list.pElems[0], PageClassId()));
  CoTaskMemFree(list.pElems);
}

// The page as a property frame drives it, here in a window of the test's:
// the camera's name and brightness shown, the slider moved by its keys,
// Apply writing through the filter, a refused write leaving it dirty; a
// camera without brightness shows its name alone.
TEST_F(Properties, PageShowsTheCameraAndAppliesItsSliderThroughTheFilter) {
  using namespace window_tree;
  ComRef<IBaseFilter> camera = BindCamera(kBasicCamera);
  ASSERT_TRUE(camera);
  ComRef<IPropertyPage> page;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(PageClassId(), nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IPropertyPage, page.PutVoid()));
  IUnknown* objects[] = {camera.Get()};
  ASSERT_HRESULT_SUCCEEDED(page->SetObjects(1, objects));
  const HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 200, nullptr, nullptr,
                                      nullptr, nullptr);
  ASSERT_NE(parent, nullptr);
  const RECT rect{0, 0, 400, 200};
  ASSERT_HRESULT_SUCCEEDED(page->Activate(parent, &rect, TRUE));
  EXPECT_TRUE(ShowsText(parent, kBasicCamera));
  EXPECT_TRUE(ShowsText(parent, L"0"));  // brightness -64..64, at 0
  const HWND slider = FindDescendant(parent, TRACKBAR_CLASSW);
  ASSERT_NE(slider, nullptr);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);

  PressKey(slider, VK_END);
  EXPECT_TRUE(ShowsText(parent, L"64"));
  EXPECT_EQ(page->IsPageDirty(), S_OK);
  ComRef<IAMVideoProcAmp> procAmp;
  ASSERT_HRESULT_SUCCEEDED(camera->QueryInterface(IID_IAMVideoProcAmp, procAmp.PutVoid()));
  LONG value = 0, flags = 0;
  ASSERT_HRESULT_SUCCEEDED(procAmp->Get(VideoProcAmp_Brightness, &value, &flags));
  EXPECT_EQ(value, 0);  // nothing written before Apply
  ASSERT_EQ(page->Apply(), S_OK);
  ASSERT_HRESULT_SUCCEEDED(procAmp->Get(VideoProcAmp_Brightness, &value, &flags));
  EXPECT_EQ(value, 64);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);

  ASSERT_HRESULT_SUCCEEDED(FailCall(kBasicCamera, L"IAMVideoProcAmp.Set", E_ACCESSDENIED));
  PressKey(slider, VK_HOME);
  EXPECT_EQ(page->Apply(), E_ACCESSDENIED);
  EXPECT_EQ(page->IsPageDirty(), S_OK);
  ASSERT_HRESULT_SUCCEEDED(procAmp->Get(VideoProcAmp_Brightness, &value, &flags));
  EXPECT_EQ(value, 64);

  ComRef<IBaseFilter> card = BindCamera(kCaptureCard);
  ASSERT_TRUE(card);
  objects[0] = card.Get();
  ASSERT_HRESULT_SUCCEEDED(page->SetObjects(1, objects));
  EXPECT_TRUE(ShowsText(parent, kCaptureCard));
  EXPECT_TRUE(ShowsText(parent, L"not offered"));
  EXPECT_FALSE(IsWindowEnabled(slider));

  EXPECT_HRESULT_SUCCEEDED(page->Deactivate());
  EXPECT_HRESULT_SUCCEEDED(page->SetObjects(0, nullptr));
  DestroyWindow(parent);
}

TEST_F(Properties, PowerLineFrequencyThroughTheKernelStreamingSet) {
  ComRef<IBaseFilter> camera = BindCamera(kHdWebcam);
  ASSERT_TRUE(camera);
  ComRef<IKsPropertySet> ks;
  ASSERT_HRESULT_SUCCEEDED(camera->QueryInterface(IID_IKsPropertySet, ks.PutVoid()));
  DWORD support = 0;
  ASSERT_HRESULT_SUCCEEDED(ks->QuerySupported(
      PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, &support));
  EXPECT_EQ(support, DWORD{KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET});

  KSPROPERTY_VIDEOPROCAMP_S record{};
  record.Property.Set = PROPSETID_VIDCAP_VIDEOPROCAMP;
  record.Property.Id = KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY;
  DWORD returned = 0;
  ASSERT_HRESULT_SUCCEEDED(ks->Get(PROPSETID_VIDCAP_VIDEOPROCAMP,
                                   KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, &record,
                                   sizeof record, &record, sizeof record, &returned));
  EXPECT_EQ(returned, sizeof record);
  EXPECT_EQ(record.Value, 1);  // 50 Hz, as described

  record.Value = 2;  // 60 Hz
  record.Flags = KSPROPERTY_VIDEOPROCAMP_FLAGS_MANUAL;
  ASSERT_HRESULT_SUCCEEDED(ks->Set(PROPSETID_VIDCAP_VIDEOPROCAMP,
                                   KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, &record,
                                   sizeof record, &record, sizeof record));
  // The same value through the property family.
  ComRef<IAMVideoProcAmp> procAmp;
  ASSERT_HRESULT_SUCCEEDED(camera->QueryInterface(IID_IAMVideoProcAmp, procAmp.PutVoid()));
  LONG value = 0, flags = 0;
  ASSERT_HRESULT_SUCCEEDED(
      procAmp->Get(KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY, &value, &flags));
  EXPECT_EQ(value, 2);
  record.Value = 4;  // beyond 0..3
  EXPECT_EQ(ks->Set(PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY,
                    &record, sizeof record, &record, sizeof record),
            E_INVALIDARG);
  // The basic camera has no power-line frequency.
  ComRef<IBaseFilter> basic = BindCamera(kBasicCamera);
  ComRef<IKsPropertySet> basicKs;
  ASSERT_HRESULT_SUCCEEDED(basic->QueryInterface(IID_IKsPropertySet, basicKs.PutVoid()));
  EXPECT_EQ(basicKs->Get(PROPSETID_VIDCAP_VIDEOPROCAMP, KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY,
                         &record, sizeof record, &record, sizeof record, &returned),
            E_PROP_ID_UNSUPPORTED);
}

TEST_F(Properties, PinListsFormatsAndCategoryAndTakesASetFormat) {
  ComRef<IBaseFilter> camera = BindCamera(kHdWebcam);
  ASSERT_TRUE(camera);
  ComRef<IPin> pin = CapturePin(camera.Get());
  ASSERT_TRUE(pin);
  ComRef<IKsPropertySet> ks;
  ASSERT_HRESULT_SUCCEEDED(pin->QueryInterface(IID_IKsPropertySet, ks.PutVoid()));
  GUID category{};
  DWORD returned = 0;
  ASSERT_HRESULT_SUCCEEDED(ks->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category,
                                   sizeof category, &returned));
  EXPECT_TRUE(IsEqualGUID(category, PIN_CATEGORY_CAPTURE));

  // The description's uncompressed formats, in order (its MJPG ones are
  // left out), as caps and as the pin's media types.
  ComRef<IAMStreamConfig> config;
  ASSERT_HRESULT_SUCCEEDED(pin->QueryInterface(IID_IAMStreamConfig, config.PutVoid()));
  int count = 0, size = 0;
  ASSERT_HRESULT_SUCCEEDED(config->GetNumberOfCapabilities(&count, &size));
  ASSERT_EQ(count, 4);
  EXPECT_EQ(size, static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS)));
  const struct {
    LONG width, height;
    REFERENCE_TIME frameTime;
  } expected[] = {
      {640, 480, 333333}, {640, 480, 666666}, {1280, 720, 1000000}, {1920, 1080, 2000000}};
  ComRef<IEnumMediaTypes> types;
  ASSERT_HRESULT_SUCCEEDED(pin->EnumMediaTypes(types.Put()));
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* caps = nullptr;
    VIDEO_STREAM_CONFIG_CAPS scc{};
    ASSERT_EQ(config->GetStreamCaps(i, &caps, reinterpret_cast<BYTE*>(&scc)), S_OK);
    ASSERT_TRUE(IsEqualGUID(caps->formattype, FORMAT_VideoInfo));
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(caps->pbFormat);
    EXPECT_TRUE(IsEqualGUID(caps->subtype, MEDIASUBTYPE_YUY2));
    EXPECT_EQ(info->bmiHeader.biWidth, expected[i].width);
    EXPECT_EQ(info->bmiHeader.biHeight, expected[i].height);
    EXPECT_EQ(info->AvgTimePerFrame, expected[i].frameTime);
    EXPECT_EQ(scc.MaxOutputSize.cx, expected[i].width);
    EXPECT_EQ(scc.MinFrameInterval, expected[i].frameTime);
    AM_MEDIA_TYPE* listed = nullptr;
    ASSERT_EQ(types->Next(1, &listed, nullptr), S_OK);
    EXPECT_EQ(listed->cbFormat, caps->cbFormat);
    EXPECT_EQ(memcmp(listed->pbFormat, caps->pbFormat, caps->cbFormat), 0);
    DeleteComMediaType(listed);
    DeleteComMediaType(caps);
  }
  AM_MEDIA_TYPE* none = nullptr;
  EXPECT_EQ(types->Next(1, &none, nullptr), S_FALSE);
  VIDEO_STREAM_CONFIG_CAPS scc{};
  EXPECT_EQ(config->GetStreamCaps(count, &none, reinterpret_cast<BYTE*>(&scc)), S_FALSE);

  // SetFormat: the third format becomes the current one and the only one
  // listed; a size the camera lacks is refused.
  AM_MEDIA_TYPE* third = nullptr;
  ASSERT_EQ(config->GetStreamCaps(2, &third, reinterpret_cast<BYTE*>(&scc)), S_OK);
  ASSERT_HRESULT_SUCCEEDED(config->SetFormat(third));
  AM_MEDIA_TYPE* current = nullptr;
  ASSERT_HRESULT_SUCCEEDED(config->GetFormat(&current));
  EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER*>(current->pbFormat)->bmiHeader.biWidth, 1280);
  DeleteComMediaType(current);
  reinterpret_cast<VIDEOINFOHEADER*>(third->pbFormat)->bmiHeader.biWidth = 1000;
  EXPECT_EQ(config->SetFormat(third), VFW_E_INVALIDMEDIATYPE);
  DeleteComMediaType(third);
  ASSERT_HRESULT_SUCCEEDED(pin->EnumMediaTypes(types.Put()));
  AM_MEDIA_TYPE* batch[2] = {};
  ULONG fetched = 0;
  EXPECT_EQ(types->Next(2, batch, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 1u);
  EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER*>(batch[0]->pbFormat)->bmiHeader.biHeight, 720);
  DeleteComMediaType(batch[0]);
}

}  // namespace
}  // namespace varnholt::vcam::test
