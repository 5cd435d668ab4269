#pragma once

// The capture platform services the camera component calls, as small C++
// interfaces with the roles of the Windows capture framework: a device
// enumerator with categories, monikers and property bags; filters with pins
// and media types; the video-processing and camera-control property families;
// kernel-streaming property sets; graphs, renderers and the sample grabber.
//
// What callers may rely on:
// - every call answers an HResult; S_OK/S_FALSE and failure codes mean what
//   they mean on the original platform (S_FALSE ends an enumeration, the two
//   "unsupported" codes mean a missing property set or property);
// - out-parameters are only meaningful on success;
// - an absent object is nullptr; "querying for an interface" is Query<T>(),
//   which answers nullptr when the object does not have it.
//
// How every backend answers queries, so that callers may walk from any of a
// device's interfaces to the others as on the original platform:
// - an object answers each interface it has with itself (the interface's
//   subobject) and nullptr for any other;
// - an interface a filter hands out as an object of its own (a property
//   family, its control list) answers its own interface and passes every
//   other query on to that filter while the filter lives;
// - nothing else passes a query on. kit/SingleInterface.h holds both answers.
//
// Everything here uses only the standard library, so that the Windows backend
// can be built without Qt.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "camera/platform/Guid.h"
#include "camera/platform/HResult.h"
#include "camera/platform/MediaType.h"

namespace varnholt::platform {

enum class Iid {
  CreateDevEnum,
  EnumMoniker,
  Moniker,
  PropertyBag,
  BaseFilter,
  Pin,
  AMVideoProcAmp,
  AMCameraControl,
  AMVideoControl,
  AMStreamConfig,
  KsPropertySet,
  SpecifyPropertyPages,
  GraphBuilder,
  MediaControl,
  MediaEvent,
  CaptureGraphBuilder2,
  SampleGrabber,
  SampleGrabberCB,
  VMRFilterConfig9,
  VMRWindowlessControl9,
  FileSinkFilter,
  EnumPins,
  EnumMediaTypes,
  MediaSample,
  ControlList,
  CurrentPicture,
  PreparedPicture,
};

// Base of every platform object. Implementations answer the interfaces they
// really have; the answer must point at the requested interface's subobject.
class Unknown {
 public:
  virtual ~Unknown() = default;
  virtual std::shared_ptr<void> QueryInterface(Iid iid) = 0;
};

template <class T>
std::shared_ptr<T> Query(const std::shared_ptr<Unknown>& object) {
  if (!object)
    return nullptr;
  return std::static_pointer_cast<T>(object->QueryInterface(T::kIid));
}
template <class T, class U>
std::shared_ptr<T> Query(const std::shared_ptr<U>& object) {
  return Query<T>(std::static_pointer_cast<Unknown>(object));
}

// Helper for implementations: the T-subobject of self as an untyped answer.
template <class T, class Self>
std::shared_ptr<void> InterfaceOf(const std::shared_ptr<Self>& self) {
  return std::static_pointer_cast<T>(self);
}

using WindowHandle = std::uintptr_t;

// The framework's enumerators (monikers, pins, media types): Next answers
// S_OK with the next item, then S_FALSE and nothing at the end.
template <class Item, Iid kId>
class IEnum : public virtual Unknown {
 public:
  static constexpr Iid kIid = kId;
  using Delivered = Item;
  virtual HResult Next(Item& item) = 0;
};

// ---- Device enumeration --------------------------------------------------

enum class DeviceCategory { VideoInput, AudioInput, VideoCompressor, AudioCompressor };

// A property bag value: a string, or an integer (only "WaveInID" is one).
using PropVariant = std::variant<std::monostate, std::string, std::int32_t>;

class IPropertyBag : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::PropertyBag;
  virtual HResult Read(const std::string& name, PropVariant& value) = 0;
};

class IBaseFilter;

class IMoniker : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::Moniker;
  virtual HResult BindToStorage(std::shared_ptr<IPropertyBag>& storage) = 0;
  virtual HResult BindToObject(std::shared_ptr<IBaseFilter>& filter) = 0;
};

class IEnumMoniker : public IEnum<std::shared_ptr<IMoniker>, Iid::EnumMoniker> {};

class ICreateDevEnum : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::CreateDevEnum;
  // S_FALSE without an enumerator for an empty category.
  virtual HResult CreateClassEnumerator(DeviceCategory category,
                                        std::shared_ptr<IEnumMoniker>& enumerator,
                                        std::uint32_t flags) = 0;
};

// ---- Filters, pins, media types -------------------------------------------

enum class PinDirection { Input = 0, Output = 1 };

// Each media type it delivers is the caller's own.
class IEnumMediaTypes : public IEnum<std::unique_ptr<AmMediaType>, Iid::EnumMediaTypes> {};

class IPin : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::Pin;
  virtual HResult QueryDirection(PinDirection& direction) = 0;
  virtual HResult QueryId(std::string& id) = 0;
  virtual HResult EnumMediaTypes(std::shared_ptr<IEnumMediaTypes>& enumerator) = 0;
};

class IEnumPins : public IEnum<std::shared_ptr<IPin>, Iid::EnumPins> {};

class IGraphBuilder;

struct FilterInfo {
  std::string achName;
  std::shared_ptr<IGraphBuilder> pGraph;  // the graph it is in, or none
};

class IBaseFilter : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::BaseFilter;
  virtual HResult EnumPins(std::shared_ptr<IEnumPins>& enumerator) = 0;
  virtual HResult QueryFilterInfo(FilterInfo& info) = 0;
};

// ---- Camera properties -----------------------------------------------------

// Flags of a property value and capability flags of a range.
constexpr std::int32_t kPropertyFlagsAuto = 1;
constexpr std::int32_t kPropertyFlagsManual = 2;

// The two property families, as every backend and table names them; the
// value indexes per-family tables.
enum class PropertyFamilyKind { VideoProcAmp = 0, CameraControl = 1 };
constexpr std::size_t kPropertyFamilyCount = 2;

// IAMVideoProcAmp and IAMCameraControl have the same shape; each addresses
// its properties by the platform's published ids. Their methods share names,
// so an implementation answers each family from an object of its own.
class IPropertyFamily : public virtual Unknown {
 public:
  virtual HResult GetRange(std::int32_t property, std::int32_t& min, std::int32_t& max,
                           std::int32_t& steppingDelta, std::int32_t& defaultValue,
                           std::int32_t& capsFlags) = 0;
  virtual HResult Set(std::int32_t property, std::int32_t value, std::int32_t flags) = 0;
  virtual HResult Get(std::int32_t property, std::int32_t& value, std::int32_t& flags) = 0;
};

class IAMVideoProcAmp : public IPropertyFamily {
 public:
  static constexpr Iid kIid = Iid::AMVideoProcAmp;
};

class IAMCameraControl : public IPropertyFamily {
 public:
  static constexpr Iid kIid = Iid::AMCameraControl;
};

class IAMVideoControl : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::AMVideoControl;
  virtual HResult GetCaps(const std::shared_ptr<IPin>& pin, std::int32_t& capsFlags) = 0;
  virtual HResult SetMode(const std::shared_ptr<IPin>& pin, std::int32_t mode) = 0;
  virtual HResult GetMode(const std::shared_ptr<IPin>& pin, std::int32_t& mode) = 0;
};

// Kernel-streaming property sets: a set id, a property id, optional instance
// data and a data buffer.
class IKsPropertySet : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::KsPropertySet;
  virtual HResult Set(const Guid& propSet, std::uint32_t id,
                      std::span<const std::uint8_t> instanceData,
                      std::span<const std::uint8_t> propertyData) = 0;
  virtual HResult Get(const Guid& propSet, std::uint32_t id,
                      std::span<const std::uint8_t> instanceData,
                      std::span<std::uint8_t> propertyData, std::uint32_t& bytesReturned) = 0;
  virtual HResult QuerySupported(const Guid& propSet, std::uint32_t id,
                                 std::uint32_t& typeSupport) = 0;
};

class IAMStreamConfig : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::AMStreamConfig;
  virtual HResult GetFormat(std::unique_ptr<AmMediaType>& mediaType) = 0;
  virtual HResult SetFormat(const AmMediaType& mediaType) = 0;
  // The formats the stream offers: count, then one media type per index.
  virtual HResult GetNumberOfCapabilities(std::int32_t& count) = 0;
  virtual HResult GetStreamCaps(std::int32_t index, std::unique_ptr<AmMediaType>& mediaType) = 0;
};

// A device's own controls as its driver lists them (all of them, not only
// the component's property families), for the generic property frame.
struct ControlInfo {
  enum class Type { Integer, Boolean, Menu, Button };
  std::uint32_t id = 0;
  std::string name;
  std::string group;  // as the device groups its controls
  Type type = Type::Integer;
  std::int64_t minimum = 0, maximum = 0, step = 1, defaultValue = 0;
  std::vector<std::pair<std::int64_t, std::string>> menu;  // value and label, for Menu
  bool readOnly = false;
  bool inactive = false;  // currently without effect, e.g. under automatic control
};

class IControlList : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::ControlList;
  virtual HResult GetControls(std::vector<ControlInfo>& controls) = 0;
  virtual HResult GetValue(std::uint32_t id, std::int64_t& value) = 0;
  virtual HResult SetValue(std::uint32_t id, std::int64_t value) = 0;
};

// The property pages an object offers, as page class ids.
class ISpecifyPropertyPages : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::SpecifyPropertyPages;
  virtual HResult GetPages(std::vector<Guid>& pages) = 0;
};

// ---- Graphs ------------------------------------------------------------------

// Filter graph states as the media control reports them.
constexpr std::int32_t kStateStopped = 0;
constexpr std::int32_t kStatePaused = 1;
constexpr std::int32_t kStateRunning = 2;

class IGraphBuilder : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::GraphBuilder;
  virtual HResult AddFilter(const std::shared_ptr<IBaseFilter>& filter,
                            const std::string& name) = 0;
  virtual HResult RemoveFilter(const std::shared_ptr<IBaseFilter>& filter) = 0;
};

class IMediaControl : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::MediaControl;
  virtual HResult Run() = 0;
  virtual HResult Pause() = 0;
  virtual HResult Stop() = 0;
  virtual HResult StopWhenReady() = 0;
  // The state as a raw value: an unfinished transition answers a success
  // code other than S_OK, and a misbehaving graph may report anything.
  virtual HResult GetState(std::int32_t timeoutMs, std::int32_t& state) = 0;
};

class IMediaEvent : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::MediaEvent;
  virtual HResult WaitForCompletion(std::int32_t timeoutMs, std::int32_t& eventCode) = 0;
};

class IFileSinkFilter : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::FileSinkFilter;
  virtual HResult GetCurFile(std::string& fileName) = 0;
};

class ICaptureGraphBuilder2 : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::CaptureGraphBuilder2;
  virtual HResult SetFiltergraph(const std::shared_ptr<IGraphBuilder>& graph) = 0;
  // category and type may be null (any).
  virtual HResult RenderStream(const Guid* category, const Guid* type,
                               const std::shared_ptr<Unknown>& source,
                               const std::shared_ptr<IBaseFilter>& intermediate,
                               const std::shared_ptr<IBaseFilter>& sink) = 0;
  virtual HResult SetOutputFileName(const Guid& type, const std::string& fileName,
                                    std::shared_ptr<IBaseFilter>& multiplexer,
                                    std::shared_ptr<IFileSinkFilter>& sink) = 0;
  virtual HResult FindInterface(const Guid* category, const Guid* type,
                                const std::shared_ptr<IBaseFilter>& filter, Iid iid,
                                std::shared_ptr<Unknown>& found) = 0;
};

// ---- Sample grabber and renderers -------------------------------------------

class IMediaSample : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::MediaSample;
  virtual std::span<const std::uint8_t> Data() const = 0;
};

class ISampleGrabberCB : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::SampleGrabberCB;
  virtual HResult SampleCB(double sampleTime, const std::shared_ptr<IMediaSample>& sample) = 0;
  virtual HResult BufferCB(double sampleTime, std::span<const std::uint8_t> buffer) = 0;
};

class ISampleGrabber : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::SampleGrabber;
  virtual HResult SetBufferSamples(bool buffer) = 0;
  // method 0: SampleCB per sample; 1: BufferCB.
  virtual HResult SetCallback(const std::shared_ptr<ISampleGrabberCB>& callback,
                              std::int32_t method) = 0;
  virtual HResult GetConnectedMediaType(AmMediaType& mediaType) = 0;
  // With no buffer: size receives the needed size. With a buffer of size
  // bytes: copies the current sample, or answers hr::OutOfMemory when the
  // sample is larger (one may have arrived since the size was asked for).
  virtual HResult GetCurrentBuffer(std::int32_t& size, std::uint8_t* buffer) = 0;
};

class IVMRFilterConfig9 : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::VMRFilterConfig9;
  static constexpr std::uint32_t kModeWindowless = 2;
  virtual HResult SetRenderingMode(std::uint32_t mode) = 0;
};

class IVMRWindowlessControl9 : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::VMRWindowlessControl9;
  virtual HResult SetVideoClippingWindow(WindowHandle window) = 0;
  virtual HResult SetVideoPosition(const Rect32* source, const Rect32* target) = 0;
  virtual HResult GetVideoPosition(Rect32& source, Rect32& target) = 0;
  virtual HResult SetAspectRatioMode(std::uint32_t mode) = 0;
  virtual HResult GetAspectRatioMode(std::uint32_t& mode) = 0;
  virtual HResult SetBorderColor(std::uint32_t color) = 0;
  virtual HResult GetBorderColor(std::uint32_t& color) = 0;
  virtual HResult GetNativeVideoSize(std::int32_t& width, std::int32_t& height,
                                     std::int32_t& aspectX, std::int32_t& aspectY) = 0;
  virtual HResult GetMinIdealVideoSize(std::int32_t& width, std::int32_t& height) = 0;
  virtual HResult GetMaxIdealVideoSize(std::int32_t& width, std::int32_t& height) = 0;
  // GetCurrentImage's answer before the first frame (VFW_E_WRONG_STATE).
  static constexpr HResult kNoImageYet = MakeHResult(0x80040227);
  // A bitmap header followed by its pixels.
  virtual HResult GetCurrentImage(std::vector<std::uint8_t>& image) = 0;
};

// Not one of the capture framework's interfaces: a renderer's current
// picture written top row first into memory the caller owns, for a caller
// that shows every frame. GetCurrentImage hands out the same picture as a
// bottom-up bitmap, which costs a full-frame copy there and another one to
// turn it upright again.
class ICurrentPicture : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::CurrentPicture;
  // Where a width x height picture goes: rows `stride` bytes apart, the top
  // row at `bits`; no memory (nullptr) makes the call answer E_OUTOFMEMORY.
  struct Target {
    std::uint8_t* bits = nullptr;
    std::ptrdiff_t stride = 0;
  };
  using TargetFor = std::function<Target(std::int32_t width, std::int32_t height)>;
  // Asks targetFor for memory of the picture's size and writes every pixel
  // of it as a 32-bit word 0xFFRRGGBB; the bytes past a row's end are left
  // alone. targetFor may be asked twice when a compressed frame turns out
  // to be of another size than its header said: the last memory given holds
  // the picture. The codes are GetCurrentImage's, for the same frame.
  virtual HResult GetCurrentPicture(const TargetFor& targetFor) = 0;
};

// Not one of the capture framework's interfaces either: a renderer that
// prepares each frame for showing on the streaming thread, so that the
// window's thread only draws it. One slot holds the latest picture: a newer
// one replaces a picture nobody took, and the listener hears when the empty
// slot fills, not of every frame, so that a busy window never finds a queue
// of frames it cannot show any more.
class IPreparedPicture : public virtual Unknown {
 public:
  static constexpr Iid kIid = Iid::PreparedPicture;
  // GetCurrentPicture's pixels, top row first at `offset` bytes into
  // `pixels`, rows `stride` bytes apart. The memory stays valid while
  // `pixels` is held.
  struct Picture {
    std::shared_ptr<const std::vector<std::uint8_t>> pixels;
    std::size_t offset = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::ptrdiff_t stride = 0;
  };
  // Frames are prepared only while a listener is set. The listener runs on
  // the streaming thread and must not wait for any other thread; setting
  // another (or none) waits for a running call to return.
  virtual HResult SetPictureListener(std::function<void()> listener) = 0;
  // The picture in the slot, leaving the slot empty; S_FALSE when none
  // waits.
  virtual HResult TakePicture(Picture& picture) = 0;
  // Where the caller copies pictures to: the address of that memory's
  // first pixel. Later pictures are laid out for the fastest copy there.
  virtual void SetCopyTarget(std::uintptr_t address) = 0;
};

// ---- The platform itself -----------------------------------------------------

enum class ClassId {
  SystemDeviceEnum,
  FilterGraph,
  CaptureGraphBuilder2,
  SampleGrabber,
  NullRenderer,
  VideoMixingRenderer9,
};

// A running watch over the video input devices; destroying it ends the
// watch and waits for a callback still running.
class DeviceWatch {
 public:
  virtual ~DeviceWatch() = default;
};

// One capture platform (virtual, V4L2, DirectShow): creates its objects by
// class id, gives the capture framework's error texts and shows property
// frames.
class Platform {
 public:
  virtual ~Platform() = default;
  virtual std::string Name() const = 0;

  // A failure means the object is absent.
  virtual HResult CreateInstance(ClassId classId, std::shared_ptr<Unknown>& object) = 0;

  // The capture framework's own text for a code, empty when it has none.
  virtual std::string ErrorText(HResult code) = 0;

  // Modal property frame for objects with the given pages; returns when the
  // user closes it.
  virtual HResult ShowPropertyFrame(WindowHandle owner, int x, int y, const std::string& caption,
                                    const std::vector<std::shared_ptr<Unknown>>& objects,
                                    const std::vector<Guid>& pages, std::uint32_t locale) = 0;

  // Calls `changed` whenever video input devices may have come or gone
  // (or, where the platform can tell, another program changed a bound
  // camera's controls), on a thread of the watch's own, until the watch is destroyed; a burst
  // of changes may come as one call. nullptr when the platform cannot
  // watch: callers then find new devices only when they enumerate.
  virtual std::unique_ptr<DeviceWatch> WatchDevices(std::function<void()> changed) {
    (void)changed;
    return nullptr;
  }
};

// The error text as the component reports it: the platform's text cut to
// 160 characters, or the system's message when the platform has none.
std::string ErrorMessage(Platform& platform, HResult code);

}  // namespace varnholt::platform
