#include "tests/contract/ContractSupport.h"

#include <cstdlib>
#include <cstring>

namespace varnholt::contract {

using namespace platform;

void Contract::SetUp() {
  rig_ = MakeRig();
  ASSERT_NE(rig_, nullptr);
}

void Contract::TearDown() {
  if (rig_)
    rig_->Reset();
  rig_.reset();
}

const KnownProperty& KnownOf(const KnownCamera& camera, PropertyFamilyKind family) {
  for (const auto& property : camera.properties)
    if (property.family == family)
      return property;
  // A rig without one is a broken rig, not a backend's fault.
  std::abort();
}

namespace {

std::string ReadText(IPropertyBag& bag, const std::string& name) {
  PropVariant value;
  if (bag.Read(name, value) != hr::Ok)
    return {};
  const auto* text = std::get_if<std::string>(&value);
  return text ? *text : std::string();
}

}  // namespace

std::vector<ListedDevice> ListVideoInputs(Platform& platform) {
  std::vector<ListedDevice> devices;
  const auto devEnum = Create<ICreateDevEnum>(platform, ClassId::SystemDeviceEnum);
  if (!devEnum) {
    ADD_FAILURE() << "no device enumerator";
    return devices;
  }
  std::shared_ptr<IEnumMoniker> monikers;
  const HResult code = devEnum->CreateClassEnumerator(DeviceCategory::VideoInput, monikers, 0);
  EXPECT_TRUE(code == hr::Ok || code == hr::False) << std::hex << code;
  if (!monikers)
    return devices;
  std::shared_ptr<IMoniker> moniker;
  while (monikers->Next(moniker) == hr::Ok) {
    std::shared_ptr<IPropertyBag> bag;
    if (moniker->BindToStorage(bag) != hr::Ok || !bag)
      continue;
    devices.push_back({ReadText(*bag, "FriendlyName"), ReadText(*bag, "DevicePath"), moniker});
  }
  return devices;
}

bool IsListed(Platform& platform, const KnownCamera& camera) {
  for (const auto& device : ListVideoInputs(platform))
    if (device.friendlyName == camera.friendlyName)
      return true;
  return false;
}

std::shared_ptr<IBaseFilter> BindKnownCamera(Platform& platform, const KnownCamera& camera) {
  for (const auto& device : ListVideoInputs(platform))
    if (device.friendlyName == camera.friendlyName) {
      std::shared_ptr<IBaseFilter> filter;
      EXPECT_EQ(device.moniker->BindToObject(filter), hr::Ok);
      EXPECT_NE(filter, nullptr);
      return filter;
    }
  ADD_FAILURE() << "\"" << camera.friendlyName << "\" is not listed";
  return nullptr;
}

std::shared_ptr<IPin> CapturePin(IBaseFilter& filter) {
  std::shared_ptr<IEnumPins> pins;
  if (filter.EnumPins(pins) != hr::Ok || !pins)
    return nullptr;
  std::shared_ptr<IPin> pin;
  while (pins->Next(pin) == hr::Ok) {
    PinDirection direction = PinDirection::Input;
    if (pin->QueryDirection(direction) != hr::Ok || direction != PinDirection::Output)
      continue;
    const auto properties = Query<IKsPropertySet>(pin);
    if (!properties)
      continue;
    std::array<std::uint8_t, 16> category{};
    std::uint32_t returned = 0;
    // AMPROPERTY_PIN_CATEGORY is property 0 of the pin set.
    if (properties->Get(guids::AmPropSetIdPin, 0, {}, category, returned) == hr::Ok &&
        returned == category.size() &&
        Guid::FromBytes(category.data()) == guids::PinCategoryCapture)
      return pin;
  }
  return nullptr;
}

std::optional<FrameSize> SizeOf(const AmMediaType& type) {
  // The bitmap header sits after VIDEOINFOHEADER's 48 bytes, or after
  // VIDEOINFOHEADER2's 72.
  std::size_t at = 0;
  if (type.formattype == guids::FormatVideoInfo)
    at = VideoInfoHeader::kBitmapHeaderOffset;
  else if (type.formattype == guids::FormatVideoInfo2)
    at = 72;
  else
    return std::nullopt;
  if (type.cbFormat() < at + BitmapInfoHeader::kSize)
    return std::nullopt;
  const auto header = BitmapInfoHeader::ReadFrom(type.pbFormat.data() + at);
  return FrameSize{header.biWidth, header.biHeight < 0 ? -header.biHeight : header.biHeight};
}

std::unique_ptr<AmMediaType> FindCaps(IAMStreamConfig& config, const Guid& subtype,
                                      FrameSize size) {
  std::int32_t count = 0;
  if (config.GetNumberOfCapabilities(count) != hr::Ok)
    return nullptr;
  for (std::int32_t i = 0; i < count; ++i) {
    std::unique_ptr<AmMediaType> type;
    if (config.GetStreamCaps(i, type) != hr::Ok || !type)
      continue;
    if (type->subtype == subtype && SizeOf(*type) == size)
      return type;
  }
  return nullptr;
}

HResult FrameCounter::SampleCB(double, const std::shared_ptr<IMediaSample>& sample) {
  {
    std::lock_guard lock(mutex_);
    ++frames_;
    lastBytes_ = sample ? sample->Data().size() : 0;
  }
  arrived_.notify_all();
  return hr::Ok;
}

bool FrameCounter::WaitFor(int count, std::chrono::milliseconds deadline) {
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, deadline, [&] { return frames_ >= count; });
}

int FrameCounter::Frames() {
  std::lock_guard lock(mutex_);
  return frames_;
}

std::size_t FrameCounter::LastBytes() {
  std::lock_guard lock(mutex_);
  return lastBytes_;
}

HResult CaptureGraph::Build(Platform& platform, const std::shared_ptr<IBaseFilter>& camera) {
  graph = Create<IGraphBuilder>(platform, ClassId::FilterGraph);
  builder = Create<ICaptureGraphBuilder2>(platform, ClassId::CaptureGraphBuilder2);
  grabberFilter = Create<IBaseFilter>(platform, ClassId::SampleGrabber);
  renderer = Create<IBaseFilter>(platform, ClassId::NullRenderer);
  grabber = Query<ISampleGrabber>(grabberFilter);
  control = Query<IMediaControl>(graph);
  if (!graph || !builder || !grabberFilter || !renderer || !grabber || !control || !camera)
    return hr::NoInterface;
  for (HResult code :
       {builder->SetFiltergraph(graph), grabber->SetBufferSamples(false),
        grabber->SetCallback(counter, 0), graph->AddFilter(camera, "Camera"),
        graph->AddFilter(grabberFilter, "Grabber"), graph->AddFilter(renderer, "Renderer")})
    if (Failed(code))
      return code;
  return builder->RenderStream(&guids::PinCategoryCapture, &guids::MediaTypeVideo, camera,
                               grabberFilter, renderer);
}

CaptureGraph::~CaptureGraph() {
  if (control)
    control->Stop();
  if (grabber)
    grabber->SetCallback(nullptr, 0);
}

}  // namespace varnholt::contract
