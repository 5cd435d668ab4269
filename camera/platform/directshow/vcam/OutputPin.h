#pragma once

// A virtual camera's capture pin. It offers the camera's formats (after
// IAMStreamConfig::SetFormat only the one set, when connected only the
// connection's), connects to any input pin
// that takes one of them, or RGB24 at one of their sizes (a sample grabber
// set to RGB24), agrees an allocator with it, and from Run on delivers the
// moving picture from a thread of its own, one frame per frame time, until
// the filter is paused or stopped. IKsPropertySet names its category
// (PIN_CATEGORY_CAPTURE), as capture graph builders ask.
//
// Its reference count is the filter's: the filter owns it.

#include <dshow.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "camera/platform/directshow/vcam/ComSupport.h"
#include "camera/platform/directshow/vcam/MediaTypes.h"

namespace varnholt::vcam {

class CameraFilter;

class OutputPin final : public IPin, public IAMStreamConfig, public IKsPropertySet {
 public:
  explicit OutputPin(CameraFilter& filter);
  ~OutputPin();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IPin
  HRESULT STDMETHODCALLTYPE Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE Disconnect() override;
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;
  HRESULT STDMETHODCALLTYPE EndOfStream() override;
  HRESULT STDMETHODCALLTYPE BeginFlush() override;
  HRESULT STDMETHODCALLTYPE EndFlush() override;
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                       double rate) override;
  // IAMStreamConfig
  HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE* type) override;
  HRESULT STDMETHODCALLTYPE GetFormat(AM_MEDIA_TYPE** type) override;
  HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int* count, int* size) override;
  HRESULT STDMETHODCALLTYPE GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;
  // IKsPropertySet: the pin category
  HRESULT STDMETHODCALLTYPE Set(REFGUID set, DWORD id, void* instance, DWORD instanceLength,
                                void* data, DWORD dataLength) override;
  HRESULT STDMETHODCALLTYPE Get(REFGUID set, DWORD id, void* instance, DWORD instanceLength,
                                void* data, DWORD dataLength, DWORD* returned) override;
  HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

  // The filter's state changes, under its lock.
  HRESULT Activate();  // stopped to paused
  void StartDelivery(REFERENCE_TIME start, IReferenceClock* clock, IMediaEventSink* events);
  void PauseDelivery();
  void Deactivate();  // to stopped: waits for the streaming thread

  // The formats EnumMediaTypes lists, in its order.
  std::vector<VideoFormat> Offered() const;

 private:
  struct Delivery;
  bool Acceptable(const AM_MEDIA_TYPE& type, VideoFormat& format) const;
  std::optional<VideoFormat> Described(const VideoFormat& wanted) const;
  HRESULT TryConnection(IPin* receiver, const AM_MEDIA_TYPE& type);
  HRESULT ConnectLocked(IPin* receiver, const AM_MEDIA_TYPE* type);
  void DropConnection();
  void Stream(Delivery delivery);

  CameraFilter& filter_;
  std::vector<VideoFormat> formats_;
  std::optional<VideoFormat> chosen_;  // by SetFormat
  ComRef<IPin> peer_;
  ComRef<IMemInputPin> input_;
  ComRef<IMemAllocator> allocator_;
  AM_MEDIA_TYPE connectedType_{};
  VideoFormat connectedFormat_;

  std::thread streamer_;
  std::mutex deliveryLock_;
  std::condition_variable wake_;
  bool stop_ = false;
  bool delivering_ = false;
  REFERENCE_TIME streamStart_ = 0;
  std::uint64_t frames_ = 0;  // delivered by this pin, for the moving box
};

}  // namespace varnholt::vcam
