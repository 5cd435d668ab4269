#pragma once

// One virtual camera as a DirectShow capture source filter, what binding
// its moniker gives: IBaseFilter with one capture pin (OutputPin.h), the
// video-processing and camera-control property families over the values of
// PropertyValues.h, kernel-streaming access to the same properties (the way
// a client reaches power-line frequency), the cameras' property page
// (PropertyPage.h) as its page list, and the faults of FaultControl.h, read
// at each call.

#include <dshow.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

#include "camera/platform/directshow/vcam/CameraTable.h"
#include "camera/platform/directshow/vcam/ComSupport.h"

namespace varnholt::vcam {

class OutputPin;

class CameraFilter final : public IBaseFilter,
                           public IKsPropertySet,
                           public ISpecifyPropertyPages,
                           public IAMFilterMiscFlags,
                           private RefCounted {
 public:
  static HRESULT Create(std::size_t camera, REFIID iid, void** out);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IPersist
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* id) override;
  // IMediaFilter
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
  HRESULT STDMETHODCALLTYPE GetState(DWORD timeoutMs, FILTER_STATE* state) override;
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;
  // IBaseFilter
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override;
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override;
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override;
  // IKsPropertySet: the two property families' sets
  HRESULT STDMETHODCALLTYPE Set(REFGUID set, DWORD id, void* instance, DWORD instanceLength,
                                void* data, DWORD dataLength) override;
  HRESULT STDMETHODCALLTYPE Get(REFGUID set, DWORD id, void* instance, DWORD instanceLength,
                                void* data, DWORD dataLength, DWORD* returned) override;
  HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID set, DWORD id, DWORD* support) override;
  // ISpecifyPropertyPages
  HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;
  // IAMFilterMiscFlags
  ULONG STDMETHODCALLTYPE GetMiscFlags() override;

  // For the pin, the property interfaces and the enumerators.
  std::size_t CameraIndex() const { return camera_; }
  const CameraRow& Camera() const;
  // What a call at point ("IPin.Connect") answers before doing its work:
  // the unplugged code, an armed failure, or S_OK.
  HRESULT Check(const wchar_t* point) const;
  // Only the armed failure: for the calls that work on an unplugged camera.
  HRESULT CheckArmed(const wchar_t* point) const;
  // Unplugged now, or since this filter was bound.
  bool Gone() const;
  // Connecting and starting a busy camera fail with this; S_OK otherwise.
  HRESULT CheckBusy() const;
  // Guards the state and the pin's connection; held while calling other
  // filters (they may call back on the same thread), never by the
  // streaming thread.
  std::recursive_mutex& StateLock() const { return lock_; }
  FILTER_STATE StateLocked() const { return state_; }
  IPin* PinInterface();

 private:
  explicit CameraFilter(std::size_t camera);
  ~CameraFilter() override;
  template <class Interface, Family kFamily>
  class FamilyInterface;
  HRESULT KsCall(REFGUID set, DWORD id, void* data, DWORD dataLength, bool write, DWORD* returned);

  const std::size_t camera_;
  const DWORD plugs_;  // the camera's unplug count when bound
  mutable std::recursive_mutex lock_;
  FILTER_STATE state_ = State_Stopped;
  ComRef<IReferenceClock> clock_;
  IFilterGraph* graph_ = nullptr;         // not held: the graph holds us
  IMediaEventSink* eventSink_ = nullptr;  // the graph's, not held either
  std::wstring name_;
  std::unique_ptr<OutputPin> pin_;
  std::unique_ptr<FamilyInterface<IAMVideoProcAmp, Family::VideoProcAmp>> procAmp_;
  std::unique_ptr<FamilyInterface<IAMCameraControl, Family::CameraControl>> cameraControl_;
};

}  // namespace varnholt::vcam
