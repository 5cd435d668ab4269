#include "camera/platform/directshow/vcam/OutputPin.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "camera/platform/directshow/vcam/CameraFilter.h"
#include "camera/platform/directshow/vcam/Enumerators.h"
#include "camera/platform/directshow/vcam/MovingPicture.h"
#include "camera/platform/directshow/vcam/PropertyValues.h"

namespace varnholt::vcam {
namespace {

constexpr wchar_t kPinName[] = L"Capture";

// Takes ownership of a media type's contents until the end of the scope.
struct OwnedType {
  AM_MEDIA_TYPE type{};
  ~OwnedType() { FreeComMediaType(type); }
};

VideoFormat AsRgb(VideoFormat format) {
  format.pixels = Pixels::Rgb24;
  format.videoInfo2 = false;
  return format;
}

// How far the camera's brightness lifts luma: its distance from the
// default, one full range being 255.
int LumaOffset(std::size_t camera) {
  Range range{};
  long value = 0, flags = 0;
  if (FAILED(GetPropertyRange(camera, Family::VideoProcAmp, 0, range)) ||
      FAILED(GetProperty(camera, Family::VideoProcAmp, 0, value, flags)) || range.max <= range.min)
    return 0;
  return static_cast<int>((value - range.defaultValue) * 255 / (range.max - range.min));
}

}  // namespace

// What the streaming thread works with, held for as long as it runs.
struct OutputPin::Delivery {
  ComRef<IMemAllocator> allocator;
  ComRef<IMemInputPin> input;
  ComRef<IReferenceClock> clock;
  IMediaEventSink* events = nullptr;  // the graph's, alive while it runs us
  VideoFormat format;
};

OutputPin::OutputPin(CameraFilter& filter) : filter_(filter) {
  for (const FormatRow& row : filter.Camera().formats)
    formats_.push_back(FormatOf(row));
}

OutputPin::~OutputPin() {
  Deactivate();
  DropConnection();
}

HRESULT OutputPin::QueryInterface(REFIID iid, void** out) {
  if (!out)
    return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin))
    return Answer<IPin>(this, out);
  if (IsEqualIID(iid, IID_IAMStreamConfig))
    return Answer<IAMStreamConfig>(this, out);
  if (IsEqualIID(iid, IID_IKsPropertySet))
    return Answer<IKsPropertySet>(this, out);
  return E_NOINTERFACE;
}

ULONG OutputPin::AddRef() {
  return filter_.AddRef();
}

ULONG OutputPin::Release() {
  return filter_.Release();
}

std::vector<VideoFormat> OutputPin::Offered() const {
  // Connected, the pin speaks only the connection's format (a sample
  // grabber offers its output what our pin lists).
  if (peer_)
    return {connectedFormat_};
  if (chosen_)
    return {*chosen_};
  return formats_;
}

std::optional<VideoFormat> OutputPin::Described(const VideoFormat& wanted) const {
  // A frame time of 0 leaves the rate to the camera: its first at that size.
  for (const VideoFormat& f : formats_)
    if (f.width == wanted.width && f.height == wanted.height && f.pixels == wanted.pixels &&
        f.videoInfo2 == wanted.videoInfo2 &&
        (wanted.frameTime == 0 || wanted.frameTime == f.frameTime))
      return f;
  return std::nullopt;
}

bool OutputPin::Acceptable(const AM_MEDIA_TYPE& type, VideoFormat& format) const {
  const auto wanted = ReadMediaType(type);
  if (!wanted)
    return false;
  for (const VideoFormat& f : Offered()) {
    VideoFormat candidate = wanted->pixels == Pixels::Rgb24 ? AsRgb(f) : f;
    if (candidate.width == wanted->width && candidate.height == wanted->height &&
        candidate.pixels == wanted->pixels && candidate.videoInfo2 == wanted->videoInfo2 &&
        (wanted->frameTime == 0 || wanted->frameTime == candidate.frameTime)) {
      format = candidate;
      return true;
    }
  }
  return false;
}

HRESULT OutputPin::Connect(IPin* receiver, const AM_MEDIA_TYPE* type) {
  if (!receiver)
    return E_POINTER;
  std::lock_guard lock(filter_.StateLock());
  if (const HRESULT hr = filter_.Check(L"IPin.Connect"); FAILED(hr))
    return hr;
  if (const HRESULT hr = filter_.CheckBusy(); FAILED(hr))
    return hr;
  if (peer_)
    return VFW_E_ALREADY_CONNECTED;
  if (filter_.StateLocked() != State_Stopped)
    return VFW_E_NOT_STOPPED;
  return ConnectLocked(receiver, type);
}

HRESULT OutputPin::ConnectLocked(IPin* receiver, const AM_MEDIA_TYPE* type) {
  // A complete type is taken or refused as it is.
  if (type && !IsEqualGUID(type->formattype, GUID_NULL) && type->pbFormat)
    return TryConnection(receiver, *type);

  // Otherwise: our formats in order, then the same sizes in RGB24, then
  // whatever the receiver proposes that we can produce.
  std::vector<VideoFormat> candidates = Offered();
  for (const VideoFormat& f : Offered())
    candidates.push_back(AsRgb(f));
  for (const VideoFormat& f : candidates) {
    OwnedType proposal;
    if (!MakeMediaType(f, proposal.type))
      return E_OUTOFMEMORY;
    if (type && !Matches(*type, proposal.type))
      continue;
    if (SUCCEEDED(TryConnection(receiver, proposal.type)))
      return S_OK;
  }
  ComRef<IEnumMediaTypes> theirs;
  if (SUCCEEDED(receiver->EnumMediaTypes(theirs.Put())) && theirs) {
    AM_MEDIA_TYPE* proposal = nullptr;
    while (theirs->Next(1, &proposal, nullptr) == S_OK) {
      const bool wanted = !type || Matches(*type, *proposal);
      const HRESULT hr = wanted ? TryConnection(receiver, *proposal) : E_FAIL;
      DeleteComMediaType(proposal);
      if (SUCCEEDED(hr))
        return S_OK;
    }
  }
  return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT OutputPin::TryConnection(IPin* receiver, const AM_MEDIA_TYPE& type) {
  VideoFormat format;
  if (!Acceptable(type, format))
    return VFW_E_TYPE_NOT_ACCEPTED;
  if (const HRESULT hr = receiver->ReceiveConnection(this, &type); FAILED(hr))
    return hr;
  ComRef<IMemInputPin> input;
  HRESULT hr = receiver->QueryInterface(IID_IMemInputPin, input.PutVoid());
  ComRef<IMemAllocator> allocator;
  if (SUCCEEDED(hr)) {
    // The receiver's allocator if it has one, else a plain one of ours;
    // buffers big enough for a frame, a few of them so that one can be
    // filled while the receiver holds another.
    ALLOCATOR_PROPERTIES wanted{};
    input->GetAllocatorRequirements(&wanted);
    wanted.cBuffers = std::max<long>(wanted.cBuffers, 3);
    wanted.cbBuffer = std::max<long>(wanted.cbBuffer, static_cast<long>(format.ImageSize()));
    wanted.cbAlign = std::max<long>(wanted.cbAlign, 1);
    for (int attempt = 0; attempt < 2; ++attempt) {
      allocator = ComRef<IMemAllocator>();
      hr = attempt == 0 ? input->GetAllocator(allocator.Put())
                        : CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IMemAllocator, allocator.PutVoid());
      ALLOCATOR_PROPERTIES actual{};
      if (SUCCEEDED(hr))
        hr = allocator->SetProperties(&wanted, &actual);
      if (SUCCEEDED(hr) && actual.cbBuffer < static_cast<long>(format.ImageSize()))
        hr = E_FAIL;
      if (SUCCEEDED(hr))
        hr = input->NotifyAllocator(allocator.Get(), FALSE);
      if (SUCCEEDED(hr))
        break;
    }
  }
  if (FAILED(hr)) {
    receiver->Disconnect();
    return hr;
  }
  if (!CopyMediaType(type, connectedType_)) {
    receiver->Disconnect();
    return E_OUTOFMEMORY;
  }
  peer_ = ComRef<IPin>::Share(receiver);
  input_ = std::move(input);
  allocator_ = std::move(allocator);
  connectedFormat_ = format;
  return S_OK;
}

void OutputPin::DropConnection() {
  peer_ = ComRef<IPin>();
  input_ = ComRef<IMemInputPin>();
  allocator_ = ComRef<IMemAllocator>();
  FreeComMediaType(connectedType_);
  connectedType_ = AM_MEDIA_TYPE{};
}

HRESULT OutputPin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) {
  return E_UNEXPECTED;  // an output pin connects, it is not connected to
}

HRESULT OutputPin::Disconnect() {
  std::lock_guard lock(filter_.StateLock());
  if (filter_.StateLocked() != State_Stopped)
    return VFW_E_NOT_STOPPED;
  if (!peer_)
    return S_FALSE;
  DropConnection();
  return S_OK;
}

HRESULT OutputPin::ConnectedTo(IPin** pin) {
  if (!pin)
    return E_POINTER;
  std::lock_guard lock(filter_.StateLock());
  *pin = ComRef<IPin>::Share(peer_.Get()).Detach();
  return peer_ ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT OutputPin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!type)
    return E_POINTER;
  std::lock_guard lock(filter_.StateLock());
  if (!peer_) {
    *type = AM_MEDIA_TYPE{};
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(connectedType_, *type) ? S_OK : E_OUTOFMEMORY;
}

HRESULT OutputPin::QueryPinInfo(PIN_INFO* info) {
  if (!info)
    return E_POINTER;
  *info = PIN_INFO{};
  info->pFilter = &filter_;
  filter_.AddRef();
  info->dir = PINDIR_OUTPUT;
  wcsncpy(info->achName, kPinName, MAX_PIN_NAME - 1);
  return S_OK;
}

HRESULT OutputPin::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction)
    return E_POINTER;
  *direction = PINDIR_OUTPUT;
  return S_OK;
}

HRESULT OutputPin::QueryId(LPWSTR* id) {
  if (!id)
    return E_POINTER;
  *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof kPinName));
  if (!*id)
    return E_OUTOFMEMORY;
  std::memcpy(*id, kPinName, sizeof kPinName);
  return S_OK;
}

HRESULT OutputPin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (!type)
    return E_POINTER;
  if (const HRESULT hr = filter_.Check(L"IPin.QueryAccept"); FAILED(hr))
    return hr;
  std::lock_guard lock(filter_.StateLock());
  VideoFormat format;
  return Acceptable(*type, format) ? S_OK : S_FALSE;
}

HRESULT OutputPin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (!types)
    return E_POINTER;
  *types = nullptr;
  if (const HRESULT hr = filter_.Check(L"IPin.EnumMediaTypes"); FAILED(hr))
    return hr;
  std::lock_guard lock(filter_.StateLock());
  return MakeMediaTypeEnumerator(filter_, Offered(), types);
}

HRESULT OutputPin::QueryInternalConnections(IPin**, ULONG*) {
  return E_NOTIMPL;
}

HRESULT OutputPin::EndOfStream() {
  return E_UNEXPECTED;
}

HRESULT OutputPin::BeginFlush() {
  return E_UNEXPECTED;
}

HRESULT OutputPin::EndFlush() {
  return E_UNEXPECTED;
}

HRESULT OutputPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) {
  return S_OK;
}

HRESULT OutputPin::SetFormat(AM_MEDIA_TYPE* type) {
  if (!type)
    return E_POINTER;
  if (const HRESULT hr = filter_.Check(L"IAMStreamConfig.SetFormat"); FAILED(hr))
    return hr;
  std::lock_guard lock(filter_.StateLock());
  if (filter_.StateLocked() != State_Stopped)
    return VFW_E_NOT_STOPPED;
  const auto wanted = ReadMediaType(*type);
  const auto format = wanted ? Described(*wanted) : std::nullopt;
  if (!format)
    return VFW_E_INVALIDMEDIATYPE;
  if (!peer_) {
    chosen_ = format;
    return S_OK;
  }
  // Connected: the new format goes through at once if the receiver takes it.
  OwnedType next;
  if (!MakeMediaType(*format, next.type))
    return E_OUTOFMEMORY;
  if (peer_->QueryAccept(&next.type) != S_OK)
    return VFW_E_INVALIDMEDIATYPE;
  const ComRef<IPin> receiver = peer_;
  receiver->Disconnect();
  DropConnection();
  chosen_ = format;
  return TryConnection(receiver.Get(), next.type);
}

HRESULT OutputPin::GetFormat(AM_MEDIA_TYPE** type) {
  if (!type)
    return E_POINTER;
  *type = nullptr;
  if (const HRESULT hr = filter_.Check(L"IAMStreamConfig.GetFormat"); FAILED(hr))
    return hr;
  std::lock_guard lock(filter_.StateLock());
  if (peer_) {
    *type = CloneMediaType(connectedType_);
    return *type ? S_OK : E_OUTOFMEMORY;
  }
  const std::vector<VideoFormat> offered = Offered();
  if (offered.empty())
    return E_FAIL;  // a camera without formats
  auto* made = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!made || !MakeMediaType(offered.front(), *made)) {
    CoTaskMemFree(made);
    return E_OUTOFMEMORY;
  }
  *type = made;
  return S_OK;
}

HRESULT OutputPin::GetNumberOfCapabilities(int* count, int* size) {
  if (!count || !size)
    return E_POINTER;
  if (const HRESULT hr = filter_.Check(L"IAMStreamConfig.GetNumberOfCapabilities"); FAILED(hr))
    return hr;
  *count = static_cast<int>(formats_.size());
  *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  return S_OK;
}

HRESULT OutputPin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
  if (!type || !caps)
    return E_POINTER;
  *type = nullptr;
  if (const HRESULT hr = filter_.Check(L"IAMStreamConfig.GetStreamCaps"); FAILED(hr))
    return hr;
  if (index < 0)
    return E_INVALIDARG;
  if (static_cast<std::size_t>(index) >= formats_.size())
    return S_FALSE;
  const VideoFormat& f = formats_[static_cast<std::size_t>(index)];
  auto* made = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!made || !MakeMediaType(f, *made)) {
    CoTaskMemFree(made);
    return E_OUTOFMEMORY;
  }
  // One size and one rate per entry, as the camera lists them.
  VIDEO_STREAM_CONFIG_CAPS c{};
  c.guid = f.videoInfo2 ? FORMAT_VideoInfo2 : FORMAT_VideoInfo;
  c.VideoStandard = AnalogVideo_None;
  c.InputSize = c.MinCroppingSize = c.MaxCroppingSize = SIZE{f.width, f.height};
  c.MinOutputSize = c.MaxOutputSize = SIZE{f.width, f.height};
  c.CropGranularityX = c.CropGranularityY = 1;
  c.OutputGranularityX = c.OutputGranularityY = 1;
  c.MinFrameInterval = c.MaxFrameInterval = f.frameTime;
  const LONG bits =
      static_cast<LONG>(f.ImageSize() * 8 * 10000000 / std::max<std::int64_t>(f.frameTime, 1));
  c.MinBitsPerSecond = c.MaxBitsPerSecond = bits;
  std::memcpy(caps, &c, sizeof c);
  *type = made;
  return S_OK;
}

HRESULT OutputPin::Set(REFGUID set, DWORD, void*, DWORD, void*, DWORD) {
  if (const HRESULT hr = filter_.Check(L"IKsPropertySet.Set"); FAILED(hr))
    return hr;
  return IsEqualGUID(set, AMPROPSETID_Pin) ? E_PROP_ID_UNSUPPORTED : E_PROP_SET_UNSUPPORTED;
}

HRESULT OutputPin::Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD dataLength,
                       DWORD* returned) {
  if (const HRESULT hr = filter_.Check(L"IKsPropertySet.Get"); FAILED(hr))
    return hr;
  if (!IsEqualGUID(set, AMPROPSETID_Pin))
    return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY)
    return E_PROP_ID_UNSUPPORTED;
  if (!data)
    return E_POINTER;
  if (dataLength < sizeof(GUID))
    return E_UNEXPECTED;
  *static_cast<GUID*>(data) = PIN_CATEGORY_CAPTURE;
  if (returned)
    *returned = sizeof(GUID);
  return S_OK;
}

HRESULT OutputPin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
  if (!support)
    return E_POINTER;
  if (const HRESULT hr = filter_.Check(L"IKsPropertySet.QuerySupported"); FAILED(hr))
    return hr;
  if (!IsEqualGUID(set, AMPROPSETID_Pin))
    return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY)
    return E_PROP_ID_UNSUPPORTED;
  *support = KSPROPERTY_SUPPORT_GET;
  return S_OK;
}

HRESULT OutputPin::Activate() {
  return allocator_ ? allocator_->Commit() : S_OK;
}

void OutputPin::StartDelivery(REFERENCE_TIME start, IReferenceClock* clock,
                              IMediaEventSink* events) {
  if (!peer_)
    return;  // nothing to deliver to
  {
    std::lock_guard lock(deliveryLock_);
    streamStart_ = start;
    delivering_ = true;
  }
  wake_.notify_all();
  if (streamer_.joinable())
    return;
  stop_ = false;
  Delivery delivery{allocator_, input_, ComRef<IReferenceClock>::Share(clock), events,
                    connectedFormat_};
  streamer_ = std::thread([this, d = std::move(delivery)]() mutable { Stream(std::move(d)); });
}

void OutputPin::PauseDelivery() {
  // The thread is left alone: it may sit in a paused renderer's Receive,
  // which returns only when the graph runs or stops.
  std::lock_guard lock(deliveryLock_);
  delivering_ = false;
}

void OutputPin::Deactivate() {
  // Decommitting first wakes a thread waiting for a buffer.
  if (allocator_)
    allocator_->Decommit();
  {
    std::lock_guard lock(deliveryLock_);
    stop_ = true;
    delivering_ = false;
  }
  wake_.notify_all();
  if (streamer_.joinable())
    streamer_.join();
}

void OutputPin::Stream(Delivery d) {
  using Clock = std::chrono::steady_clock;
  const auto frameTime =
      std::chrono::microseconds(std::max<std::int64_t>(d.format.frameTime, 1) / 10);
  const std::size_t imageSize = d.format.ImageSize();
  auto due = Clock::now();
  for (;;) {
    REFERENCE_TIME start = 0;
    {
      std::unique_lock lock(deliveryLock_);
      wake_.wait_until(lock, due, [&] { return stop_; });
      // Paused: wait for Run or Stop, then the next frame is due at once.
      wake_.wait(lock, [&] { return stop_ || delivering_; });
      if (stop_)
        return;
      start = streamStart_;
    }
    const auto now = Clock::now();
    due = std::max(due + frameTime, now);
    if (filter_.Gone()) {
      if (d.events)
        d.events->Notify(EC_DEVICE_LOST,
                         reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(&filter_)), 0);
      return;
    }
    ComRef<IMediaSample> sample;
    if (FAILED(d.allocator->GetBuffer(sample.Put(), nullptr, nullptr, 0)) || !sample)
      return;  // decommitted: stopping
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) ||
        static_cast<std::size_t>(sample->GetSize()) < imageSize)
      return;
    RenderMovingPicture(d.format, frames_, LumaOffset(filter_.CameraIndex()), data);
    sample->SetActualDataLength(static_cast<long>(imageSize));
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(frames_ == 0);
    REFERENCE_TIME begin = static_cast<REFERENCE_TIME>(frames_) * d.format.frameTime;
    if (d.clock && SUCCEEDED(d.clock->GetTime(&begin)))
      begin -= start;
    REFERENCE_TIME end = begin + d.format.frameTime;
    sample->SetTime(&begin, &end);
    ++frames_;
    if (d.input->Receive(sample.Get()) != S_OK)
      return;  // the receiver wants no more, or is stopping
  }
}

}  // namespace varnholt::vcam
