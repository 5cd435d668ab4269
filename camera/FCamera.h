#pragma once

// TFCamera stands for one video-capture device and everything the capture
// platform needs to use it: the device's filter, the graph, renderers, the
// sample grabber and the interfaces that reach its properties and formats.
// A window owns one; it is configured through its published properties and
// used through its operations.
//
// What callers may rely on:
// - device lists, lookups and the lazy platform-object accessors never throw;
//   their failures read as empty lists or nullptr;
// - every other failure throws EFCameraError (fixed messages) or EOleSysError
//   (a failed platform call, with its code);
// - platform objects are bound on first use and cached until ReleaseGraph,
//   which also runs whenever DeviceName changes;
// - everything runs on the thread that owns the component, except
//   OnImageAvailable and OnPictureReady, which the platform's streaming
//   thread raises.

#include <QIODevice>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <memory>

#include "camera/CameraErrors.h"
#include "camera/CameraTypes.h"
#include "camera/ValueWriter.h"
#include "camera/platform/Interfaces.h"

class TFCamera;

// Handler of OnImageAvailable. Two handlers are the same when they were bound
// to the same object and method, or are copies of one bound function.
class TFImageAvailableEvent {
 public:
  using Function = std::function<void(TFCamera* Sender, double SampleTime)>;

  TFImageAvailableEvent() = default;
  TFImageAvailableEvent(std::nullptr_t) {}
  template <class F,
            class = std::enable_if_t<std::is_invocable_v<F&, TFCamera*, double> &&
                                     !std::is_same_v<std::decay_t<F>, TFImageAvailableEvent>>>
  TFImageAvailableEvent(F function)
      : function_(std::move(function)), identity_{nullptr, NextId()} {}

  template <class C>
  static TFImageAvailableEvent Method(C* object, void (C::*method)(TFCamera*, double)) {
    TFImageAvailableEvent e;
    e.function_ = [object, method](TFCamera* sender, double time) {
      (object->*method)(sender, time);
    };
    e.identity_.object = object;
    static_assert(sizeof(method) <= sizeof(e.identity_.method));
    std::memcpy(&e.identity_.method, &method, sizeof(method));
    return e;
  }

  explicit operator bool() const { return static_cast<bool>(function_); }
  void operator()(TFCamera* sender, double sampleTime) const { function_(sender, sampleTime); }

  friend bool operator==(const TFImageAvailableEvent& a, const TFImageAvailableEvent& b) {
    if (!a.function_ || !b.function_)
      return !a.function_ && !b.function_;
    return a.identity_.object == b.identity_.object &&
           std::memcmp(&a.identity_.method, &b.identity_.method, sizeof a.identity_.method) == 0;
  }

 private:
  static std::uint64_t NextId();
  struct Identity {
    const void* object = nullptr;
    std::uint64_t method[2] = {0, 0};
    Identity() = default;
    Identity(const void* o, std::uint64_t id) : object(o), method{id, 0} {}
  };
  Function function_;
  Identity identity_;
};

// The seventeen row properties plus the rest of each family, with their
// platform ids. Each entry gives a full member: Name(), SetName(v),
// NameSupported(), NameAuto(), SetNameAuto(b), NameRange().
#define VARNHOLT_VIDEO_PROC_AMP_MEMBERS(X) \
  X(Brightness, 0)                         \
  X(Contrast, 1)                           \
  X(Hue, 2)                                \
  X(Saturation, 3)                         \
  X(Sharpness, 4)                          \
  X(Gamma, 5)                              \
  X(ColorEnable, 6)                        \
  X(WhiteBalance, 7)                       \
  X(BacklightCompensation, 8)              \
  X(Gain, 9)                               \
  X(DigitalMultiplier, 10)                 \
  X(DigitalMultiplierLimit, 11)
#define VARNHOLT_CAMERA_CONTROL_MEMBERS(X) \
  X(Pan, 0)                                \
  X(Tilt, 1)                               \
  X(Roll, 2)                               \
  X(Zoom, 3)                               \
  X(Exposure, 4)                           \
  X(Iris, 5)                               \
  X(Focus, 6)

class TFCamera : public QObject {
  Q_OBJECT

 public:
  using HResult = varnholt::platform::HResult;

  // Without a platform, the process-wide one (VARNHOLT_PLATFORM).
  explicit TFCamera(QObject* AOwner = nullptr,
                    std::shared_ptr<varnholt::platform::Platform> platform = nullptr);
  ~TFCamera() override;

  // The component base's design and load states. Qt has no form designer at
  // run time, so these are set by whoever restores a stored component.
  bool Designing() const { return FDesigning; }
  void SetDesigning(bool designing) { FDesigning = designing; }
  bool Loading() const { return FLoading; }
  void BeginLoading() { FLoading = true; }
  // Ends loading, then applies the stored Active.
  void Loaded();

  varnholt::platform::Platform& Platform() const { return *FPlatform; }

  // ---- Published properties ----
  QString About() const;
  void SetAbout(const QString&) {}  // read-only text; assignments are ignored

  bool Active() const;
  void SetActive(bool Value);

  bool AspectRatio();
  void SetAspectRatio(bool Value);
  std::uint32_t BorderColor();
  void SetBorderColor(std::uint32_t Value);

  QString AudioCompressorName() const { return FAudioCompressorName; }
  void SetAudioCompressorName(const QString& Value);
  QString AudioDeviceName() const { return FAudioDeviceName; }
  void SetAudioDeviceName(const QString& Value);
  TFCaptureType CaptureType() const;
  void SetCaptureType(TFCaptureType Value);
  QString CompressorName() const { return FCompressorName; }
  void SetCompressorName(const QString& Value);
  QString DeviceName() const { return FDeviceName; }
  void SetDeviceName(const QString& Value);
  QString OutputFileName() const { return FOutputFileName; }
  void SetOutputFileName(const QString& Value);
  TFMediaType OutputFileType() const { return FOutputFileType; }
  void SetOutputFileType(TFMediaType Value);
  QWidget* PreviewControl() const { return FPreviewControl.data(); }
  void SetPreviewControl(QWidget* Value);
  const TFImageAvailableEvent& OnImageAvailable() const { return FOnImageAvailable; }
  void SetOnImageAvailable(TFImageAvailableEvent Value);

  // ---- Devices ----
  TFVideoCaptureDevices Devices() const;
  TFAudioCaptureDevices AudioCaptureDevices() const;
  QStringList Compressors() const;
  QStringList AudioCompressors() const;

  std::shared_ptr<varnholt::platform::IBaseFilter> GetDevice(const QString& Name) const;

  // Raised on the component's thread when video devices come or go, as the
  // platform watches for them; a burst of changes comes as one event.
  // Assigning a handler starts the watch, none stops it.
  using TFNotifyEvent = std::function<void(TFCamera* Sender)>;
  void SetOnDevicesChanged(TFNotifyEvent Value);
  // A handler is assigned and the platform could start its watch.
  bool WatchingDevices() const { return FDeviceWatch != nullptr; }
  // Drops the bound device and everything built on it, so that the next
  // use binds the device afresh: a camera plugged back in under the same
  // name is a new device, and the old binding stays dead. Refused while
  // active.
  void Rebind();
  std::shared_ptr<varnholt::platform::IBaseFilter> GetAudioCaptureDevice(const QString& Name) const;
  std::shared_ptr<varnholt::platform::IBaseFilter> GetCompressor(const QString& Name) const;
  std::shared_ptr<varnholt::platform::IBaseFilter> GetAudioCompressor(const QString& Name) const;

  // ---- State and graph control ----
  TFCameraState State();
  void Run();
  void Pause();
  void Stop();

  // ---- Formats, still images and the driver's property dialogs ----
  TFCameraFormats SupportedFormats();
  TFCameraFormat Format();
  void SetFormat(const TFCameraFormat& Value);
  // The current frame as a BMP or JPEG image written at the stream's position.
  TFImageFormat CurrentImageToStream(QIODevice& Stream);
  // The same into a file, replaced only once the whole image is in hand;
  // before the first frame it comes out empty.
  TFImageFormat CurrentImageToFile(const QString& FileName);
  // The current frame decoded; a null image before the first frame.
  QImage CurrentImageToBitmap();

  // ---- Pictures prepared for showing (renderer graphs only) ----
  // Raised on the streaming thread when a picture, converted there, waits
  // where none did; a window repaints and takes it with TakePicture. Bound
  // while inactive: a running graph keeps the handler it started with.
  void SetOnPictureReady(TFNotifyEvent Value);
  // Whether the running graph prepares pictures for OnPictureReady.
  bool PreparesPictures() const { return FPreparedPicture != nullptr; }
  // The latest prepared picture, which only a newer frame replaced, taken
  // from its slot; a null image when none waits. The pixels are shared, not
  // copied: taking one costs the caller's thread no frame-sized work.
  QImage TakePicture();
  // Where the caller copies taken pictures to (its first pixel), so that
  // later ones are laid out for the fastest copy there.
  void SetPictureCopyTarget(const void* address);
  void ShowPropertyDialog();
  void ShowStreamPropertyDialog();

  // ---- Preview geometry (renderer graphs only) ----
  QPoint MaxIdealVideoSize();
  QPoint MinIdealVideoSize();
  QPoint NativeVideoSize();
  QPoint NativeAspectRatio();
  TFRect VideoPositionDest();
  void SetVideoPositionDest(const TFRect& Value);
  TFRect VideoPositionSource();
  void SetVideoPositionSource(const TFRect& Value);

  // ---- Lazily created platform objects (nullptr when they cannot be had) ----
  std::shared_ptr<varnholt::platform::IGraphBuilder> GraphBuilder();
  std::shared_ptr<varnholt::platform::ICaptureGraphBuilder2> CaptureGraphBuilder2();
  std::shared_ptr<varnholt::platform::IBaseFilter> SampleGrabberFilter();
  std::shared_ptr<varnholt::platform::ISampleGrabber> SampleGrabber();
  std::shared_ptr<varnholt::platform::ISampleGrabberCB> SampleGrabberCB();
  std::shared_ptr<varnholt::platform::IBaseFilter> NullRenderer();
  std::shared_ptr<varnholt::platform::IBaseFilter> VideoMixingRenderer9Filter();
  std::shared_ptr<varnholt::platform::IVMRFilterConfig9> VMRFilterConfig9();
  std::shared_ptr<varnholt::platform::IVMRWindowlessControl9> VMRWindowlessControl9();
  std::shared_ptr<varnholt::platform::IMediaControl> MediaControl();
  std::shared_ptr<varnholt::platform::IMediaEvent> MediaEvent();
  std::shared_ptr<varnholt::platform::IBaseFilter> CaptureFilter();
  std::shared_ptr<varnholt::platform::IBaseFilter> AudioCaptureFilter();
  std::shared_ptr<varnholt::platform::IBaseFilter> CompressorFilter();
  std::shared_ptr<varnholt::platform::IBaseFilter> AudioCompressorFilter();
  std::shared_ptr<varnholt::platform::IPin> CapturePin();
  std::shared_ptr<varnholt::platform::IAMVideoProcAmp> AMVideoProcAmp();
  std::shared_ptr<varnholt::platform::IAMCameraControl> AMCameraControl();
  std::shared_ptr<varnholt::platform::IAMStreamConfig> AMStreamConfig();
  std::shared_ptr<varnholt::platform::IAMVideoControl> AMVideoControl();

  // ---- Camera and video-processing properties ----
#define VARNHOLT_DECLARE_MEMBER(Name, Id, Family) \
  std::int32_t Name() {                           \
    return Get##Family##Value(Id);                \
  }                                               \
  void Set##Name(std::int32_t Value) {            \
    Set##Family##Value(Id, Value);                \
  }                                               \
  bool Name##Supported() {                        \
    return Get##Family##Supported(Id);            \
  }                                               \
  bool Name##Auto() {                             \
    return Get##Family##Auto(Id);                 \
  }                                               \
  void Set##Name##Auto(bool Value) {              \
    Set##Family##Auto(Id, Value);                 \
  }                                               \
  TFRange Name##Range() {                         \
    return Get##Family##Range(Id);                \
  }
#define VARNHOLT_DECLARE_VPA(Name, Id)                 \
  VARNHOLT_DECLARE_MEMBER(Name, Id, VideoProcAmp)      \
  static constexpr TFPropertyAddress Name##Address() { \
    return {true, Id};                                 \
  }
#define VARNHOLT_DECLARE_CC(Name, Id)                  \
  VARNHOLT_DECLARE_MEMBER(Name, Id, CameraControl)     \
  static constexpr TFPropertyAddress Name##Address() { \
    return {false, Id};                                \
  }
  VARNHOLT_VIDEO_PROC_AMP_MEMBERS(VARNHOLT_DECLARE_VPA)
  VARNHOLT_CAMERA_CONTROL_MEMBERS(VARNHOLT_DECLARE_CC)
#undef VARNHOLT_DECLARE_VPA
#undef VARNHOLT_DECLARE_CC
#undef VARNHOLT_DECLARE_MEMBER

  TFPowerLineFrequency PowerLineFrequency();
  void SetPowerLineFrequency(TFPowerLineFrequency Value);
  bool PowerLineFrequencySupported();
  bool PowerLineFrequencyAuto();
  void SetPowerLineFrequencyAuto(bool Value);

  bool ColorEnabled();
  void SetColorEnabled(bool Value);
  bool ColorEnabledSupported() {
    return ColorEnableSupported();
  }
  bool ColorEnabledAuto() {
    return ColorEnableAuto();
  }
  void SetColorEnabledAuto(bool Value) {
    SetColorEnableAuto(Value);
  }

  TFScanMode ScanMode();
  void SetScanMode(TFScanMode Value);
  bool ScanModeAuto();
  void SetScanModeAuto(bool Value);

  std::int32_t FocalLength();

  // ---- Writes that do not wait ----
  // Sets a camera-control or video-processing value from the component's
  // writer thread and returns at once: a motor that takes tens of
  // milliseconds per write must not hold up the window at every slider
  // step. The newest value of a property replaces one not yet sent. Any
  // other use of the device (reads, other writes, formats, dialogs, the
  // graph) first waits until the posted values are written.
  void PostValue(TFPropertyAddress Property, std::int32_t Value);
  // Raised on the component's thread for a posted value that was not set,
  // with the error the write raised.
  using TFPostFailedEvent =
      std::function<void(TFCamera* Sender, TFPropertyAddress Property,
                         varnholt::platform::HResult Code, const QString& Message)>;
  void SetOnPostFailed(TFPostFailedEvent Value) {
    FOnPostFailed = std::move(Value);
  }
  void WaitForPostedValues();
  // Posted values written so far, failed ones included.
  std::size_t PostedValuesWritten() const;

  TFFlashMode FlashMode();
  void SetFlashMode(TFFlashMode Value);
  bool FlashModeSupported() {
    return GetFlashSupported();
  }
  TFFlashControl FlashControl();
  void SetFlashControl(TFFlashControl Value);
  bool FlashControlSupported() {
    return GetFlashSupported();
  }

  TFVideoStabilizationMode VideoStabilizationMode();
  void SetVideoStabilizationMode(TFVideoStabilizationMode Value);
  bool VideoStabilizationModeSupported() {
    return GetStabilizationSupported();
  }
  TFVideoStabilizationControl VideoStabilizationControl();
  void SetVideoStabilizationControl(TFVideoStabilizationControl Value);
  bool VideoStabilizationControlSupported() {
    return GetStabilizationSupported();
  }

 private:
  friend class TFSampleGrabberCB;

  using Block = std::array<std::uint32_t, 2>;

  // Guard operations.
  void CheckDevice();
  // The same without waiting for posted values.
  void CheckDeviceBound();
  void CheckActive() const;
  void CheckInactive() const;
  void CheckVmr9();
  // A device that answers "not connected" is gone for good: the binding is
  // dropped, so that the next use finds the device again if it came back.
  void Check(HResult code) {
    if (code == varnholt::platform::hr::DeviceNotConnected && !Active())
      ReleaseGraph();
    CheckHResult(code, *FPlatform);
  }

  // Whether a guarded setter stores without the inactive test.
  bool StoresFreely() const {
    return FDesigning || FLoading;
  }
  template <class T>
  bool GuardedChange(T& field, const T& value);

  void ReleaseGraph();
  void BuildGraph();
  varnholt::platform::HResult BuildVmr9Preview();
  // Has the renderer prepare pictures for OnPictureReady, when it can.
  void PreparePictures();
  void BuildSampleGrabber();
  void BuildRecording();
  QWidget* PreviewForm() const;
  void ShowPages(const std::shared_ptr<varnholt::platform::Unknown>& object);
  // The window of the widget that owns the component; 0 without one.
  varnholt::platform::WindowHandle OwnerWindow() const;
  std::shared_ptr<varnholt::platform::IEnumMediaTypes> CheckMediaTypes();
  QByteArray CurrentImage(TFImageFormat& format);
  // The renderer's current image into FImageBuffer, checked; its header size,
  // or 0 before the first frame.
  std::uint32_t RendererImage();
  // FImageBuffer as a bitmap file.
  QByteArray RendererImageFile() const;
  // FImageBuffer read into FBitmap when it is in the renderer's plain form.
  bool RendererImageToBitmap(std::uint32_t headerSize);
  void ReleaseImageBuffers();
  void PreviewControlDestroyed();
  HResult DoImageAvailable(double SampleTime);

  template <class T>
  std::shared_ptr<T> Create(varnholt::platform::ClassId classId);
  // The first matching device bound to its filter; bindFailure receives the
  // code of a matching device that could not be bound (else S_OK).
  std::shared_ptr<varnholt::platform::IBaseFilter> FindDevice(
      varnholt::platform::DeviceCategory category, const QString& name, bool byPathToo,
      HResult* bindFailure = nullptr) const;
  void DevicesChanged();

  // Property families.
  std::shared_ptr<varnholt::platform::IPropertyFamily> Family(bool videoProcAmp);
  std::shared_ptr<varnholt::platform::IPropertyFamily> CheckFamily(bool videoProcAmp);
  std::int32_t GetFamilyValue(bool videoProcAmp, std::int32_t id);
  void SetFamilyValue(bool videoProcAmp, std::int32_t id, std::int32_t value);
  bool GetFamilySupported(bool videoProcAmp, std::int32_t id);
  bool GetFamilyAuto(bool videoProcAmp, std::int32_t id);
  void SetFamilyAuto(bool videoProcAmp, std::int32_t id, bool value);
  TFRange GetFamilyRange(bool videoProcAmp, std::int32_t id);

  std::int32_t GetVideoProcAmpValue(std::int32_t Id) {
    return GetFamilyValue(true, Id);
  }
  void SetVideoProcAmpValue(std::int32_t Id, std::int32_t Value) {
    SetFamilyValue(true, Id, Value);
  }
  bool GetVideoProcAmpSupported(std::int32_t Id) {
    return GetFamilySupported(true, Id);
  }
  bool GetVideoProcAmpAuto(std::int32_t Id) {
    return GetFamilyAuto(true, Id);
  }
  void SetVideoProcAmpAuto(std::int32_t Id, bool Value) {
    SetFamilyAuto(true, Id, Value);
  }
  TFRange GetVideoProcAmpRange(std::int32_t Id) {
    return GetFamilyRange(true, Id);
  }
  std::int32_t GetCameraControlValue(std::int32_t Id) {
    return GetFamilyValue(false, Id);
  }
  void SetCameraControlValue(std::int32_t Id, std::int32_t Value) {
    SetFamilyValue(false, Id, Value);
  }
  bool GetCameraControlSupported(std::int32_t Id) {
    return GetFamilySupported(false, Id);
  }
  bool GetCameraControlAuto(std::int32_t Id) {
    return GetFamilyAuto(false, Id);
  }
  void SetCameraControlAuto(std::int32_t Id, bool Value) {
    SetFamilyAuto(false, Id, Value);
  }
  TFRange GetCameraControlRange(std::int32_t Id) {
    return GetFamilyRange(false, Id);
  }

  // Flash and stabilization blocks.
  std::shared_ptr<varnholt::platform::IKsPropertySet> CheckKsPropertySet();
  Block GetBlock(const varnholt::platform::Guid& set);
  void SetBlock(const varnholt::platform::Guid& set, const Block& block);
  bool GetBlockSupported(const varnholt::platform::Guid& set);
  Block GetFlashData();
  void SetFlashData(const Block& block);
  bool GetFlashSupported();
  Block GetStabilizationData();
  void SetStabilizationData(const Block& block);
  bool GetStabilizationSupported();

  std::shared_ptr<varnholt::platform::Platform> FPlatform;
  bool FDesigning = false;
  bool FLoading = false;

  // Fields, in the component's declaration order.
  bool FActive = false;
  std::shared_ptr<varnholt::platform::IAMCameraControl> FAMCameraControl;
  std::shared_ptr<varnholt::platform::IAMStreamConfig> FAMStreamConfig;
  std::shared_ptr<varnholt::platform::IAMVideoControl> FAMVideoControl;
  std::shared_ptr<varnholt::platform::IAMVideoProcAmp> FAMVideoProcAmp;
  bool FAspectRatio = false;
  std::shared_ptr<varnholt::platform::IBaseFilter> FAudioCaptureFilter;
  std::shared_ptr<varnholt::platform::IBaseFilter> FAudioCompressorFilter;
  QString FAudioCompressorName;
  QString FAudioDeviceName;
  std::uint32_t FBorderColor = 0xFF000000;
  std::shared_ptr<varnholt::platform::IBaseFilter> FCaptureFilter;
  std::shared_ptr<varnholt::platform::ICaptureGraphBuilder2> FCaptureGraphBuilder2;
  std::shared_ptr<varnholt::platform::IPin> FCapturePin;
  TFCaptureType FCaptureType = ctAuto;
  std::shared_ptr<varnholt::platform::IBaseFilter> FCompressorFilter;
  QString FCompressorName;
  QString FDeviceName;
  bool FGrabberUsed = false;
  std::shared_ptr<varnholt::platform::IGraphBuilder> FGraphBuilder;
  std::atomic<bool> FInImageAvailable{false};  // written by the streaming thread
  std::shared_ptr<varnholt::platform::IMediaControl> FMediaControl;
  std::shared_ptr<varnholt::platform::IMediaEvent> FMediaEvent;
  std::shared_ptr<varnholt::platform::IBaseFilter> FNullRenderer;
  TFImageAvailableEvent FOnImageAvailable;
  TFNotifyEvent FOnPictureReady;
  std::shared_ptr<varnholt::platform::IPreparedPicture> FPreparedPicture;
  QString FOutputFileName;
  TFMediaType FOutputFileType = mtAsf;
  QPointer<QWidget> FPreviewControl;
  QMetaObject::Connection FPreviewControlWatch;
  std::shared_ptr<varnholt::platform::ISampleGrabber> FSampleGrabber;
  std::shared_ptr<varnholt::platform::ISampleGrabberCB> FSampleGrabberCB;
  std::shared_ptr<varnholt::platform::IBaseFilter> FSampleGrabberFilter;
  std::shared_ptr<varnholt::platform::IBaseFilter> FVideoMixingRenderer9Filter;
  std::shared_ptr<varnholt::platform::IVMRFilterConfig9> FVMRFilterConfig9;
  std::shared_ptr<varnholt::platform::IVMRWindowlessControl9> FVMRWindowlessControl9;
  // Kept from frame to frame while the graph lives, so that repainting a
  // running camera does not allocate frame-sized buffers for each picture.
  std::vector<std::uint8_t> FImageBuffer;
  QImage FBitmap;
  // Why the last binding of DeviceName failed, when a device of that name
  // was found but could not be opened (permissions, in use, gone).
  HResult FDeviceBindResult = 0;
  TFNotifyEvent FOnDevicesChanged;
  std::unique_ptr<varnholt::platform::DeviceWatch> FDeviceWatch;
  TFPostFailedEvent FOnPostFailed;
  // Made at the first posted value: most components never post one.
  std::unique_ptr<varnholt::camera::ValueWriter> FValueWriter;
};
