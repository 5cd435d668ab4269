#include "camera/FCamera.h"

#include <optional>
#include <thread>

#include "camera/platform/PlatformFactory.h"
#include "camera/platform/kit/SingleInterface.h"

using namespace varnholt::platform;

namespace {

constexpr char kAbout[] = "Varnholt camera component 1.6";

// The per-sample callback the sample grabber calls on its streaming thread.
class TFSampleGrabberCBImpl : public kit::SingleInterface<ISampleGrabberCB> {
 public:
  explicit TFSampleGrabberCBImpl(TFCamera* camera) : FCamera(camera) {}
  HResult SampleCB(double sampleTime, const std::shared_ptr<IMediaSample>& sample) override;
  HResult BufferCB(double, std::span<const std::uint8_t>) override { return hr::Ok; }

 private:
  TFCamera* FCamera;  // not owned: the camera owns this callback
};

std::optional<QString> ReadString(IPropertyBag& bag, const char* name) {
  PropVariant value;
  if (Failed(bag.Read(name, value)))
    return std::nullopt;
  if (const auto* text = std::get_if<std::string>(&value))
    return QString::fromStdString(*text);
  if (const auto* number = std::get_if<std::int32_t>(&value))
    return QString::number(*number);
  return std::nullopt;
}

std::int32_t ReadInteger(IPropertyBag& bag, const char* name) {
  PropVariant value;
  if (Failed(bag.Read(name, value)))
    return 0;
  if (const auto* number = std::get_if<std::int32_t>(&value))
    return *number;
  if (const auto* text = std::get_if<std::string>(&value))
    return QString::fromStdString(*text).toInt();
  return 0;
}

// Walks one device category; visit(moniker, bag) answers true to stop. Any
// platform failure just ends the walk: lists and lookups never throw.
template <class Visit>
void EnumerateCategory(Platform& platform, DeviceCategory category, Visit visit) {
  std::shared_ptr<Unknown> object;
  if (Failed(platform.CreateInstance(ClassId::SystemDeviceEnum, object)))
    return;
  auto devEnum = Query<ICreateDevEnum>(object);
  if (!devEnum)
    return;
  std::shared_ptr<IEnumMoniker> monikers;
  if (Failed(devEnum->CreateClassEnumerator(category, monikers, 0)) || !monikers)
    return;
  for (;;) {
    std::shared_ptr<IMoniker> moniker;
    if (monikers->Next(moniker) != hr::Ok)
      return;
    if (!moniker)
      continue;
    std::shared_ptr<IPropertyBag> bag;
    if (Failed(moniker->BindToStorage(bag)) || !bag)
      continue;
    if (visit(*moniker, *bag))
      return;
  }
}

QStringList FriendlyNames(Platform& platform, DeviceCategory category) {
  QStringList names;
  EnumerateCategory(platform, category, [&](IMoniker&, IPropertyBag& bag) {
    names.append(ReadString(bag, "FriendlyName").value_or(QString()));
    return false;
  });
  return names;
}

}  // namespace

// The named class of the component; the implementation above keeps the
// streaming-thread entry private to this file.
class TFSampleGrabberCB {
 public:
  static HResult Deliver(TFCamera* camera, double sampleTime) {
    return camera->DoImageAvailable(sampleTime);
  }
};

HResult TFSampleGrabberCBImpl::SampleCB(double sampleTime,
                                        const std::shared_ptr<IMediaSample>& sample) {
  std::shared_ptr<IMediaSample> hold = sample;  // keep the sample alive for the call
  return TFSampleGrabberCB::Deliver(FCamera, sampleTime);
}

std::uint64_t TFImageAvailableEvent::NextId() {
  static std::atomic<std::uint64_t> next{1};
  return next++;
}

// ---- Life cycle ----------------------------------------------------------------

TFCamera::TFCamera(QObject* AOwner, std::shared_ptr<varnholt::platform::Platform> platform)
    : QObject(AOwner), FPlatform(platform ? std::move(platform) : ActivePlatform()) {}

TFCamera::~TFCamera() {
  // The last posted values still reach the device; no failure is raised
  // for a component that is going.
  FValueWriter.reset();
  // No device event may arrive for a component that is going.
  FDeviceWatch.reset();
  FDesigning = false;
  FLoading = false;
  SetActive(false);
  QObject::disconnect(FPreviewControlWatch);
}

void TFCamera::Loaded() {
  FLoading = false;
  SetActive(FActive);
}

QString TFCamera::About() const {
  return QString::fromLatin1(kAbout);
}

// ---- Guards --------------------------------------------------------------------

void TFCamera::CheckDevice() {
  WaitForPostedValues();
  CheckDeviceBound();
}

void TFCamera::CheckDeviceBound() {
  CheckCondition(!FDeviceName.isEmpty(), "Camera device not selected");
  if (CaptureFilter())
    return;
  // A camera that is there but cannot be opened is not "not found": the
  // user needs the reason (permission denied, in use) to do something.
  if (Failed(FDeviceBindResult))
    throw EOleSysError("Camera device '" + FDeviceName.toStdString() +
                           "' cannot be opened: " + ErrorMessage(*FPlatform, FDeviceBindResult),
                       FDeviceBindResult);
  CheckCondition(false, "Camera device '" + FDeviceName.toStdString() + "' not found");
}

void TFCamera::CheckActive() const {
  CheckCondition(Active(), "Cannot perform this operation on inactive camera component");
}

void TFCamera::CheckInactive() const {
  CheckCondition(!Active(), "Cannot perform this operation on active camera component");
}

void TFCamera::CheckVmr9() {
  CheckActive();
  CheckCondition(CaptureType() == ctVmr9, "VMR-9 capture type required");
}

template <class T>
bool TFCamera::GuardedChange(T& field, const T& value) {
  if (field == value)
    return false;
  if (!StoresFreely())
    CheckInactive();
  field = value;
  return true;
}

// ---- Published properties ----------------------------------------------------

bool TFCamera::Active() const {
  if (FDesigning)
    return FActive;
  return FMediaControl != nullptr;
}

void TFCamera::SetActive(bool Value) {
  if (Value != Active() && !StoresFreely()) {
    if (!Value) {
      ReleaseGraph();
    } else {
      FGrabberUsed = false;
      try {
        BuildGraph();
      } catch (...) {
        FActive = false;
        ReleaseGraph();
        throw;
      }
    }
  }
  FActive = Value;
}

void TFCamera::SetAudioCompressorName(const QString& Value) {
  if (GuardedChange(FAudioCompressorName, Value))
    FAudioCompressorFilter.reset();
}

void TFCamera::SetAudioDeviceName(const QString& Value) {
  if (GuardedChange(FAudioDeviceName, Value))
    FAudioCaptureFilter.reset();
}

TFCaptureType TFCamera::CaptureType() const {
  if (!Active())
    return FCaptureType;
  return FGrabberUsed ? ctGrabber : ctVmr9;
}

void TFCamera::SetCaptureType(TFCaptureType Value) {
  GuardedChange(FCaptureType, Value);
}

void TFCamera::SetCompressorName(const QString& Value) {
  if (GuardedChange(FCompressorName, Value))
    FCompressorFilter.reset();
}

void TFCamera::SetDeviceName(const QString& Value) {
  if (GuardedChange(FDeviceName, Value))
    ReleaseGraph();
}

void TFCamera::SetOutputFileName(const QString& Value) {
  GuardedChange(FOutputFileName, Value);
}

void TFCamera::SetOutputFileType(TFMediaType Value) {
  GuardedChange(FOutputFileType, Value);
}

void TFCamera::SetPreviewControl(QWidget* Value) {
  if (FPreviewControl.data() == Value)
    return;
  if (!StoresFreely())
    CheckInactive();
  QObject::disconnect(FPreviewControlWatch);
  FPreviewControl = Value;
  // The removal notice: a preview control that goes away deactivates us first.
  if (Value)
    FPreviewControlWatch =
        connect(Value, &QObject::destroyed, this, &TFCamera::PreviewControlDestroyed);
}

void TFCamera::PreviewControlDestroyed() {
  SetActive(false);
  QObject::disconnect(FPreviewControlWatch);
  FPreviewControl = nullptr;
}

void TFCamera::SetOnImageAvailable(TFImageAvailableEvent Value) {
  GuardedChange(FOnImageAvailable, Value);
}

void TFCamera::SetOnPictureReady(TFNotifyEvent Value) {
  FOnPictureReady = std::move(Value);
}

// ---- Devices ---------------------------------------------------------------------

TFVideoCaptureDevices TFCamera::Devices() const {
  TFVideoCaptureDevices devices;
  EnumerateCategory(*FPlatform, DeviceCategory::VideoInput, [&](IMoniker&, IPropertyBag& bag) {
    TFVideoCaptureDevice& device = devices.emplace_back();
    device.Name = ReadString(bag, "FriendlyName").value_or(QString());
    device.Path = ReadString(bag, "DevicePath").value_or(QString());
    device.Description = ReadString(bag, "Description").value_or(QString());
    return false;
  });
  return devices;
}

TFAudioCaptureDevices TFCamera::AudioCaptureDevices() const {
  TFAudioCaptureDevices devices;
  EnumerateCategory(*FPlatform, DeviceCategory::AudioInput, [&](IMoniker&, IPropertyBag& bag) {
    TFAudioCaptureDevice& device = devices.emplace_back();
    device.Name = ReadString(bag, "FriendlyName").value_or(QString());
    device.Description = ReadString(bag, "Description").value_or(QString());
    device.WaveInID = ReadInteger(bag, "WaveInID");
    return false;
  });
  return devices;
}

QStringList TFCamera::Compressors() const {
  return FriendlyNames(*FPlatform, DeviceCategory::VideoCompressor);
}

QStringList TFCamera::AudioCompressors() const {
  return FriendlyNames(*FPlatform, DeviceCategory::AudioCompressor);
}

std::shared_ptr<IBaseFilter> TFCamera::FindDevice(DeviceCategory category, const QString& name,
                                                  bool byPathToo, HResult* bindFailure) const {
  std::shared_ptr<IBaseFilter> found;
  if (bindFailure)
    *bindFailure = hr::Ok;
  EnumerateCategory(*FPlatform, category, [&](IMoniker& moniker, IPropertyBag& bag) {
    // Exact, case-sensitive comparisons: a friendly name, or a device path.
    const bool matches = ReadString(bag, "FriendlyName") == name ||
                         (byPathToo && ReadString(bag, "DevicePath") == name);
    if (!matches)
      return false;
    std::shared_ptr<IBaseFilter> filter;
    const HResult code = moniker.BindToObject(filter);
    if (Succeeded(code) && filter)
      found = std::move(filter);
    else if (bindFailure && Succeeded(*bindFailure))
      *bindFailure = Failed(code) ? code : hr::Fail;
    return found != nullptr;
  });
  return found;
}

std::shared_ptr<IBaseFilter> TFCamera::GetDevice(const QString& Name) const {
  return FindDevice(DeviceCategory::VideoInput, Name, true);
}

void TFCamera::SetOnDevicesChanged(TFNotifyEvent Value) {
  FOnDevicesChanged = std::move(Value);
  FDeviceWatch.reset();
  if (!FOnDevicesChanged)
    return;
  // The watch calls from a thread of its own; the event belongs to ours.
  // Posting to this object is safe: the watch ends before the object does.
  FDeviceWatch = FPlatform->WatchDevices(
      [this] { QMetaObject::invokeMethod(this, &TFCamera::DevicesChanged, Qt::QueuedConnection); });
}

void TFCamera::DevicesChanged() {
  if (!FOnDevicesChanged)
    return;
  try {
    FOnDevicesChanged(this);
  } catch (...) {
    // A handler's failure must not reach the event loop.
  }
}

void TFCamera::Rebind() {
  if (!StoresFreely())
    CheckInactive();
  ReleaseGraph();
}

std::shared_ptr<IBaseFilter> TFCamera::GetAudioCaptureDevice(const QString& Name) const {
  return FindDevice(DeviceCategory::AudioInput, Name, false);
}

std::shared_ptr<IBaseFilter> TFCamera::GetCompressor(const QString& Name) const {
  return FindDevice(DeviceCategory::VideoCompressor, Name, false);
}

std::shared_ptr<IBaseFilter> TFCamera::GetAudioCompressor(const QString& Name) const {
  return FindDevice(DeviceCategory::AudioCompressor, Name, false);
}

void TFCamera::ReleaseGraph() {
  if (FSampleGrabber)
    FSampleGrabber->SetCallback(nullptr, 0);
  // Waits for a picture being prepared and its handler, as below for the grabber's.
  if (FPreparedPicture)
    FPreparedPicture->SetPictureListener(nullptr);
  FPreparedPicture.reset();
  if (FMediaControl)
    FMediaControl->StopWhenReady();
  FAudioCaptureFilter.reset();
  FVideoMixingRenderer9Filter.reset();
  FVMRWindowlessControl9.reset();
  FVMRFilterConfig9.reset();
  FNullRenderer.reset();
  FSampleGrabber.reset();
  FSampleGrabberFilter.reset();
  FSampleGrabberCB.reset();
  FMediaControl.reset();
  FMediaEvent.reset();
  FAMCameraControl.reset();
  FAMStreamConfig.reset();
  FAMVideoControl.reset();
  FAMVideoProcAmp.reset();
  FCaptureGraphBuilder2.reset();
  FGraphBuilder.reset();
  FCaptureFilter.reset();
  FCapturePin.reset();
  FAudioCompressorFilter.reset();
  FCompressorFilter.reset();
  // A handler still running on the streaming thread must finish before the
  // caller may tear down what it uses.
  while (FInImageAvailable.load())
    std::this_thread::yield();
  // The frame-sized buffers live as long as the graph whose frames they hold.
  ReleaseImageBuffers();
}

HResult TFCamera::DoImageAvailable(double SampleTime) {
  FInImageAvailable = true;
  if (FOnImageAvailable) {
    try {
      FOnImageAvailable(this, SampleTime);
    } catch (...) {
      // A handler's failure must not reach the platform's streaming thread.
    }
  }
  FInImageAvailable = false;
  return hr::Ok;
}

// ---- Lazily created platform objects -------------------------------------------

template <class T>
std::shared_ptr<T> TFCamera::Create(ClassId classId) {
  std::shared_ptr<Unknown> object;
  if (Failed(FPlatform->CreateInstance(classId, object)) || !object)
    return nullptr;
  return Query<T>(object);
}

std::shared_ptr<IGraphBuilder> TFCamera::GraphBuilder() {
  if (!FGraphBuilder)
    FGraphBuilder = Create<IGraphBuilder>(ClassId::FilterGraph);
  return FGraphBuilder;
}

std::shared_ptr<ICaptureGraphBuilder2> TFCamera::CaptureGraphBuilder2() {
  if (FCaptureGraphBuilder2)
    return FCaptureGraphBuilder2;
  auto graph = GraphBuilder();
  if (!graph)
    return nullptr;
  auto builder = Create<ICaptureGraphBuilder2>(ClassId::CaptureGraphBuilder2);
  if (!builder || Failed(builder->SetFiltergraph(graph)))
    return nullptr;
  FCaptureGraphBuilder2 = builder;
  return builder;
}

std::shared_ptr<IBaseFilter> TFCamera::SampleGrabberFilter() {
  if (!FSampleGrabberFilter)
    FSampleGrabberFilter = Create<IBaseFilter>(ClassId::SampleGrabber);
  return FSampleGrabberFilter;
}

std::shared_ptr<ISampleGrabber> TFCamera::SampleGrabber() {
  if (!FSampleGrabber)
    FSampleGrabber = Query<ISampleGrabber>(SampleGrabberFilter());
  return FSampleGrabber;
}

std::shared_ptr<ISampleGrabberCB> TFCamera::SampleGrabberCB() {
  if (!FSampleGrabberCB)
    FSampleGrabberCB = std::make_shared<TFSampleGrabberCBImpl>(this);
  return FSampleGrabberCB;
}

std::shared_ptr<IBaseFilter> TFCamera::NullRenderer() {
  if (!FNullRenderer)
    FNullRenderer = Create<IBaseFilter>(ClassId::NullRenderer);
  return FNullRenderer;
}

std::shared_ptr<IBaseFilter> TFCamera::VideoMixingRenderer9Filter() {
  if (!FVideoMixingRenderer9Filter)
    FVideoMixingRenderer9Filter = Create<IBaseFilter>(ClassId::VideoMixingRenderer9);
  return FVideoMixingRenderer9Filter;
}

std::shared_ptr<IVMRFilterConfig9> TFCamera::VMRFilterConfig9() {
  if (FVMRFilterConfig9)
    return FVMRFilterConfig9;
  auto config = Query<IVMRFilterConfig9>(VideoMixingRenderer9Filter());
  if (!config || Failed(config->SetRenderingMode(IVMRFilterConfig9::kModeWindowless)))
    return nullptr;
  FVMRFilterConfig9 = config;
  return config;
}

std::shared_ptr<IVMRWindowlessControl9> TFCamera::VMRWindowlessControl9() {
  if (!FVMRWindowlessControl9)
    FVMRWindowlessControl9 = Query<IVMRWindowlessControl9>(VideoMixingRenderer9Filter());
  return FVMRWindowlessControl9;
}

std::shared_ptr<IMediaControl> TFCamera::MediaControl() {
  if (!FMediaControl)
    FMediaControl = Query<IMediaControl>(GraphBuilder());
  return FMediaControl;
}

std::shared_ptr<IMediaEvent> TFCamera::MediaEvent() {
  if (!FMediaEvent)
    FMediaEvent = Query<IMediaEvent>(GraphBuilder());
  return FMediaEvent;
}

std::shared_ptr<IBaseFilter> TFCamera::CaptureFilter() {
  if (!FCaptureFilter)
    FCaptureFilter = FindDevice(DeviceCategory::VideoInput, FDeviceName, true, &FDeviceBindResult);
  return FCaptureFilter;
}

std::shared_ptr<IBaseFilter> TFCamera::AudioCaptureFilter() {
  if (!FAudioCaptureFilter)
    FAudioCaptureFilter = GetAudioCaptureDevice(FAudioDeviceName);
  return FAudioCaptureFilter;
}

std::shared_ptr<IBaseFilter> TFCamera::CompressorFilter() {
  if (!FCompressorFilter)
    FCompressorFilter = GetCompressor(FCompressorName);
  return FCompressorFilter;
}

std::shared_ptr<IBaseFilter> TFCamera::AudioCompressorFilter() {
  if (!FAudioCompressorFilter)
    FAudioCompressorFilter = GetAudioCompressor(FAudioCompressorName);
  return FAudioCompressorFilter;
}

std::shared_ptr<IPin> TFCamera::CapturePin() {
  if (FCapturePin)
    return FCapturePin;
  auto filter = CaptureFilter();
  if (!filter)
    return nullptr;
  std::shared_ptr<IEnumPins> pins;
  if (Failed(filter->EnumPins(pins)) || !pins)
    return nullptr;
  for (;;) {
    std::shared_ptr<IPin> pin;
    if (pins->Next(pin) != hr::Ok)
      return nullptr;
    auto properties = Query<IKsPropertySet>(pin);
    if (!properties)
      continue;
    std::array<std::uint8_t, 16> category{};
    std::uint32_t returned = 0;
    if (Failed(properties->Get(guids::AmPropSetIdPin, 0, {}, category, returned)) ||
        returned != category.size())
      continue;
    if (Guid::FromBytes(category.data()) == guids::PinCategoryCapture) {
      FCapturePin = pin;
      return pin;
    }
  }
}

std::shared_ptr<IAMVideoProcAmp> TFCamera::AMVideoProcAmp() {
  if (!FAMVideoProcAmp)
    FAMVideoProcAmp = Query<IAMVideoProcAmp>(CaptureFilter());
  return FAMVideoProcAmp;
}

std::shared_ptr<IAMCameraControl> TFCamera::AMCameraControl() {
  if (!FAMCameraControl)
    FAMCameraControl = Query<IAMCameraControl>(CaptureFilter());
  return FAMCameraControl;
}

std::shared_ptr<IAMStreamConfig> TFCamera::AMStreamConfig() {
  if (!FAMStreamConfig)
    FAMStreamConfig = Query<IAMStreamConfig>(CapturePin());
  return FAMStreamConfig;
}

std::shared_ptr<IAMVideoControl> TFCamera::AMVideoControl() {
  if (!FAMVideoControl)
    FAMVideoControl = Query<IAMVideoControl>(CaptureFilter());
  return FAMVideoControl;
}
