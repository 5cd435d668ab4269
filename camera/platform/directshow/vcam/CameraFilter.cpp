#include "camera/platform/directshow/vcam/CameraFilter.h"

// ks.h and ksmedia.h after dshow.h: they take its definitions.
#include <ks.h>
#include <ksmedia.h>

#include "camera/platform/directshow/vcam/Enumerators.h"
#include "camera/platform/directshow/vcam/FaultControl.h"
#include "camera/platform/directshow/vcam/OutputPin.h"
#include "camera/platform/directshow/vcam/PropertyValues.h"
#include "camera/platform/directshow/vcam/Registration.h"

namespace varnholt::vcam {
namespace {

// Both families' kernel-streaming records have this shape.
static_assert(sizeof(KSPROPERTY_VIDEOPROCAMP_S) == sizeof(KSPROPERTY_CAMERACONTROL_S));

const wchar_t* const kPoints[2][3] = {
    {L"IAMVideoProcAmp.GetRange", L"IAMVideoProcAmp.Set", L"IAMVideoProcAmp.Get"},
    {L"IAMCameraControl.GetRange", L"IAMCameraControl.Set", L"IAMCameraControl.Get"},
};

std::optional<Family> FamilyOfSet(REFGUID set) {
  if (IsEqualGUID(set, PROPSETID_VIDCAP_VIDEOPROCAMP))
    return Family::VideoProcAmp;
  if (IsEqualGUID(set, PROPSETID_VIDCAP_CAMERACONTROL))
    return Family::CameraControl;
  return std::nullopt;
}

}  // namespace

// IAMVideoProcAmp and IAMCameraControl have methods of the same names and
// signatures, so each is an object of its own that shares the filter's
// identity and reference count.
template <class Interface, Family kFamily>
class CameraFilter::FamilyInterface final : public Interface {
 public:
  explicit FamilyInterface(CameraFilter& filter) : filter_(filter) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return filter_.QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return filter_.AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return filter_.Release(); }

  HRESULT STDMETHODCALLTYPE GetRange(LONG property, LONG* min, LONG* max, LONG* step,
                                     LONG* defaultValue, LONG* caps) override {
    if (!min || !max || !step || !defaultValue || !caps)
      return E_POINTER;
    if (const HRESULT hr = filter_.Check(Point(0)); FAILED(hr))
      return hr;
    Range range{};
    const HRESULT hr = GetPropertyRange(filter_.CameraIndex(), kFamily, property, range);
    if (SUCCEEDED(hr)) {
      *min = range.min;
      *max = range.max;
      *step = range.step;
      *defaultValue = range.defaultValue;
      *caps = range.caps;
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Set(LONG property, LONG value, LONG flags) override {
    if (const HRESULT hr = filter_.Check(Point(1)); FAILED(hr))
      return hr;
    return SetProperty(filter_.CameraIndex(), kFamily, property, value, flags);
  }
  HRESULT STDMETHODCALLTYPE Get(LONG property, LONG* value, LONG* flags) override {
    if (!value || !flags)
      return E_POINTER;
    if (const HRESULT hr = filter_.Check(Point(2)); FAILED(hr))
      return hr;
    long v = 0, f = 0;
    const HRESULT hr = GetProperty(filter_.CameraIndex(), kFamily, property, v, f);
    if (SUCCEEDED(hr)) {
      *value = v;
      *flags = f;
    }
    return hr;
  }

 private:
  static const wchar_t* Point(int method) { return kPoints[static_cast<int>(kFamily)][method]; }
  CameraFilter& filter_;
};

CameraFilter::CameraFilter(std::size_t camera)
    : camera_(camera),
      plugs_(PlugCount(Cameras()[camera].friendlyName)),
      pin_(std::make_unique<OutputPin>(*this)),
      procAmp_(std::make_unique<FamilyInterface<IAMVideoProcAmp, Family::VideoProcAmp>>(*this)),
      cameraControl_(
          std::make_unique<FamilyInterface<IAMCameraControl, Family::CameraControl>>(*this)) {}

CameraFilter::~CameraFilter() {
  std::lock_guard lock(lock_);
  pin_->Deactivate();
}

HRESULT CameraFilter::Create(std::size_t camera, REFIID iid, void** out) {
  auto* filter = new CameraFilter(camera);
  const HRESULT hr = filter->QueryInterface(iid, out);
  filter->Release();
  return hr;
}

const CameraRow& CameraFilter::Camera() const {
  return Cameras()[camera_];
}

HRESULT CameraFilter::Check(const wchar_t* point) const {
  const wchar_t* name = Camera().friendlyName;
  if (Gone())
    return HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
  return ArmedFailure(name, point).value_or(S_OK);
}

HRESULT CameraFilter::CheckArmed(const wchar_t* point) const {
  return ArmedFailure(Camera().friendlyName, point).value_or(S_OK);
}

bool CameraFilter::Gone() const {
  const wchar_t* name = Camera().friendlyName;
  return IsUnplugged(name) || PlugCount(name) != plugs_;
}

HRESULT CameraFilter::CheckBusy() const {
  return IsBusy(Camera().friendlyName) ? HRESULT_FROM_WIN32(ERROR_BUSY) : S_OK;
}

IPin* CameraFilter::PinInterface() {
  return pin_.get();
}

HRESULT CameraFilter::QueryInterface(REFIID iid, void** out) {
  if (!out)
    return E_POINTER;
  *out = nullptr;
  const CameraRow& camera = Camera();
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPersist) ||
      IsEqualIID(iid, IID_IMediaFilter) || IsEqualIID(iid, IID_IBaseFilter))
    return Answer<IBaseFilter>(this, out);
  if (IsEqualIID(iid, IID_IKsPropertySet) && camera.ksPropertySet)
    return Answer<IKsPropertySet>(this, out);
  if (IsEqualIID(iid, IID_ISpecifyPropertyPages) && camera.propertyPages)
    return Answer<ISpecifyPropertyPages>(this, out);
  if (IsEqualIID(iid, IID_IAMFilterMiscFlags))
    return Answer<IAMFilterMiscFlags>(this, out);
  if (IsEqualIID(iid, IID_IAMVideoProcAmp) && camera.offersFamily[0])
    return Answer<IAMVideoProcAmp>(procAmp_.get(), out);
  if (IsEqualIID(iid, IID_IAMCameraControl) && camera.offersFamily[1])
    return Answer<IAMCameraControl>(cameraControl_.get(), out);
  return E_NOINTERFACE;
}

ULONG CameraFilter::AddRef() {
  return AddOne();
}

ULONG CameraFilter::Release() {
  return DropOne();
}

HRESULT CameraFilter::GetClassID(CLSID* id) {
  if (!id)
    return E_POINTER;
  *id = ClassIdOf(camera_);
  return S_OK;
}

HRESULT CameraFilter::Stop() {
  // Always allowed, also when unplugged: a client must be able to let go.
  std::lock_guard lock(lock_);
  if (const HRESULT hr = CheckArmed(L"IBaseFilter.Stop"); FAILED(hr))
    return hr;
  pin_->Deactivate();
  state_ = State_Stopped;
  return S_OK;
}

HRESULT CameraFilter::Pause() {
  std::lock_guard lock(lock_);
  // Graphs pause a running filter on their way to stopping it: only taking
  // the device from stopped fails for an unplugged camera.
  const wchar_t* point = L"IBaseFilter.Pause";
  if (const HRESULT hr = state_ == State_Stopped ? Check(point) : CheckArmed(point); FAILED(hr))
    return hr;
  if (state_ == State_Stopped) {
    // Taking the device: where another program's use shows.
    if (const HRESULT hr = CheckBusy(); FAILED(hr))
      return hr;
    if (const HRESULT hr = pin_->Activate(); FAILED(hr))
      return hr;
  } else if (state_ == State_Running) {
    pin_->PauseDelivery();
  }
  state_ = State_Paused;
  return S_OK;
}

HRESULT CameraFilter::Run(REFERENCE_TIME start) {
  std::lock_guard lock(lock_);
  if (const HRESULT hr = Check(L"IBaseFilter.Run"); FAILED(hr))
    return hr;
  if (state_ == State_Stopped) {
    if (const HRESULT hr = Pause(); FAILED(hr))
      return hr;
  }
  if (state_ != State_Running)
    pin_->StartDelivery(start, clock_.Get(), eventSink_);
  state_ = State_Running;
  return S_OK;
}

HRESULT CameraFilter::GetState(DWORD, FILTER_STATE* state) {
  if (!state)
    return E_POINTER;
  std::lock_guard lock(lock_);
  *state = state_;
  // A live source has nothing to show while paused.
  return state_ == State_Paused ? VFW_S_CANT_CUE : S_OK;
}

HRESULT CameraFilter::SetSyncSource(IReferenceClock* clock) {
  std::lock_guard lock(lock_);
  clock_ = ComRef<IReferenceClock>::Share(clock);
  return S_OK;
}

HRESULT CameraFilter::GetSyncSource(IReferenceClock** clock) {
  if (!clock)
    return E_POINTER;
  std::lock_guard lock(lock_);
  *clock = ComRef<IReferenceClock>::Share(clock_.Get()).Detach();
  return S_OK;
}

HRESULT CameraFilter::EnumPins(IEnumPins** pins) {
  if (!pins)
    return E_POINTER;
  *pins = nullptr;
  // Graphs walk the pins to stop and tear down, also of an unplugged camera.
  if (const HRESULT hr = CheckArmed(L"IBaseFilter.EnumPins"); FAILED(hr))
    return hr;
  return MakePinEnumerator(*this, pins);
}

HRESULT CameraFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (!id || !pin)
    return E_POINTER;
  *pin = nullptr;
  if (const HRESULT hr = Check(L"IBaseFilter.FindPin"); FAILED(hr))
    return hr;
  if (wcscmp(id, L"Capture") != 0)
    return VFW_E_NOT_FOUND;
  *pin = pin_.get();
  (*pin)->AddRef();
  return S_OK;
}

HRESULT CameraFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (!info)
    return E_POINTER;
  std::lock_guard lock(lock_);
  *info = FILTER_INFO{};
  wcsncpy(info->achName, name_.c_str(), MAX_FILTER_NAME - 1);
  info->pGraph = graph_;
  if (graph_)
    graph_->AddRef();
  return S_OK;
}

HRESULT CameraFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  std::lock_guard lock(lock_);
  graph_ = graph;
  name_ = name ? name : L"";
  eventSink_ = nullptr;
  // The graph's event sink, for EC_DEVICE_LOST; not held, as the graph
  // itself is not.
  if (graph &&
      SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&eventSink_))))
    eventSink_->Release();
  return S_OK;
}

HRESULT CameraFilter::QueryVendorInfo(LPWSTR* info) {
  if (info)
    *info = nullptr;
  return E_NOTIMPL;
}

HRESULT CameraFilter::KsCall(REFGUID set, DWORD id, void* data, DWORD dataLength, bool write,
                             DWORD* returned) {
  const auto family = FamilyOfSet(set);
  if (!family)
    return E_PROP_SET_UNSUPPORTED;
  if (!data)
    return E_POINTER;
  if (dataLength < sizeof(KSPROPERTY_VIDEOPROCAMP_S))
    return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  auto* record = static_cast<KSPROPERTY_VIDEOPROCAMP_S*>(data);
  if (write)
    return SetProperty(camera_, *family, static_cast<long>(id), record->Value,
                       static_cast<long>(record->Flags));
  long value = 0, flags = 0;
  Range range{};
  HRESULT hr = GetProperty(camera_, *family, static_cast<long>(id), value, flags);
  if (SUCCEEDED(hr))
    hr = GetPropertyRange(camera_, *family, static_cast<long>(id), range);
  if (FAILED(hr))
    return hr;
  record->Value = value;
  record->Flags = static_cast<ULONG>(flags);
  record->Capabilities = static_cast<ULONG>(range.caps);
  if (returned)
    *returned = sizeof(KSPROPERTY_VIDEOPROCAMP_S);
  return S_OK;
}

HRESULT CameraFilter::Set(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD dataLength) {
  if (const HRESULT hr = Check(L"IKsPropertySet.Set"); FAILED(hr))
    return hr;
  return KsCall(set, id, data, dataLength, true, nullptr);
}

HRESULT CameraFilter::Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD dataLength,
                          DWORD* returned) {
  if (const HRESULT hr = Check(L"IKsPropertySet.Get"); FAILED(hr))
    return hr;
  return KsCall(set, id, data, dataLength, false, returned);
}

HRESULT CameraFilter::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
  if (!support)
    return E_POINTER;
  if (const HRESULT hr = Check(L"IKsPropertySet.QuerySupported"); FAILED(hr))
    return hr;
  const auto family = FamilyOfSet(set);
  if (!family)
    return E_PROP_SET_UNSUPPORTED;
  Range range{};
  if (const HRESULT hr = GetPropertyRange(camera_, *family, static_cast<long>(id), range);
      FAILED(hr))
    return hr;
  *support = KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET;
  return S_OK;
}

HRESULT CameraFilter::GetPages(CAUUID* pages) {
  if (!pages)
    return E_POINTER;
  if (const HRESULT hr = Check(L"ISpecifyPropertyPages.GetPages"); FAILED(hr))
    return hr;
  // One page, the cameras' own (PropertyPage.h).
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
  if (!pages->pElems) {
    pages->cElems = 0;
    return E_OUTOFMEMORY;
  }
  pages->cElems = 1;
  pages->pElems[0] = PageClassId();
  return S_OK;
}

ULONG CameraFilter::GetMiscFlags() {
  return AM_FILTER_MISC_FLAGS_IS_SOURCE;
}

}  // namespace varnholt::vcam
