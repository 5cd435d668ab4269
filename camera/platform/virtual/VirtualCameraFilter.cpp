#include "camera/platform/virtual/VirtualCameraFilter.h"
#include "camera/platform/FaultProbe.h"

#include <algorithm>

#include "camera/platform/virtual/PropertyNames.h"
#include "camera/platform/virtual/VirtualCameraPins.h"
#include "camera/platform/virtual/VirtualControlList.h"
#include "camera/platform/virtual/VirtualStream.h"

namespace varnholt::platform::virtualcam {
namespace {

constexpr std::size_t kBlockBytes = 8;
constexpr std::uint32_t kSupportGetSet = 3;  // KSPROPERTY_SUPPORT_GET | _SET

std::uint32_t Word(std::span<const std::uint8_t> data, std::size_t at) {
  return static_cast<std::uint32_t>(data[at]) | (static_cast<std::uint32_t>(data[at + 1]) << 8) |
         (static_cast<std::uint32_t>(data[at + 2]) << 16) |
         (static_cast<std::uint32_t>(data[at + 3]) << 24);
}

void PutWord(std::span<std::uint8_t> data, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i)
    data[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The family objects ask the filter for its other interfaces.
using VideoProcAmpObject =
    kit::PropertyFamilyObject<IAMVideoProcAmp, VirtualCamera, PropertyFamilyKind::VideoProcAmp>;
using CameraControlObject =
    kit::PropertyFamilyObject<IAMCameraControl, VirtualCamera, PropertyFamilyKind::CameraControl>;

class CameraFilter final : public IBaseFilter,
                           public IKsPropertySet,
                           public IAMVideoControl,
                           public ISpecifyPropertyPages,
                           public CameraStream,
                           public std::enable_shared_from_this<CameraFilter> {
 public:
  explicit CameraFilter(std::shared_ptr<VirtualCamera> camera)
      : CameraStream(camera), camera_(std::move(camera)), pins_(MakePins(camera_)) {
    AttachPins(pins_);
  }

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    const InterfaceSwitches& has = camera_->Description().interfaces;
    const auto self = shared_from_this();
    switch (iid) {
      case Iid::BaseFilter:
        return InterfaceOf<IBaseFilter>(self);
      case Iid::AMVideoProcAmp:
        if (!has.videoProcAmp)
          return nullptr;
        return InterfaceOf<IAMVideoProcAmp>(std::make_shared<VideoProcAmpObject>(camera_, self));
      case Iid::AMCameraControl:
        if (!has.cameraControl)
          return nullptr;
        return InterfaceOf<IAMCameraControl>(std::make_shared<CameraControlObject>(camera_, self));
      case Iid::KsPropertySet:
        return has.ksPropertySet ? InterfaceOf<IKsPropertySet>(self) : nullptr;
      case Iid::AMVideoControl:
        return has.videoControl ? InterfaceOf<IAMVideoControl>(self) : nullptr;
      case Iid::SpecifyPropertyPages:
        return has.propertyPages ? InterfaceOf<ISpecifyPropertyPages>(self) : nullptr;
      case Iid::ControlList:
        return InterfaceOf<IControlList>(MakeControlList(camera_, self));
      default:
        return nullptr;
    }
  }

  HResult EnumPins(std::shared_ptr<IEnumPins>& enumerator) override {
    if (const auto fault = ProbeFault("IBaseFilter.EnumPins", camera_->Description().devicePath))
      return *fault;
    if (const HResult code = camera_->CheckConnected(); code != hr::Ok)
      return code;
    enumerator = MakePinEnumerator(pins_, camera_);
    return hr::Ok;
  }

  HResult QueryFilterInfo(FilterInfo& info) override {
    if (const auto fault =
            ProbeFault("IBaseFilter.QueryFilterInfo", camera_->Description().devicePath))
      return *fault;
    if (const HResult code = camera_->CheckConnected(); code != hr::Ok)
      return code;
    DescribeMembership(info);  // the friendly name outside a graph
    return hr::Ok;
  }

  // ---- the flash and stabilization blocks: two little-endian words

  HResult Set(const Guid& propSet, std::uint32_t id, std::span<const std::uint8_t>,
              std::span<const std::uint8_t> data) override {
    if (const auto fault = ProbeFault("IKsPropertySet.Set", camera_->Description().devicePath))
      return *fault;
    const auto block = BlockBySet(propSet);
    if (const HResult code = CheckBlock(block, id); code != hr::Ok)
      return code;
    if (data.size() < kBlockBytes)
      return hr::InsufficientBuffer;
    return camera_->SetBlock(*block, BlockWords{Word(data, 0), Word(data, 4)});
  }

  HResult Get(const Guid& propSet, std::uint32_t id, std::span<const std::uint8_t>,
              std::span<std::uint8_t> data, std::uint32_t& bytesReturned) override {
    if (const auto fault = ProbeFault("IKsPropertySet.Get", camera_->Description().devicePath))
      return *fault;
    const auto block = BlockBySet(propSet);
    if (const HResult code = CheckBlock(block, id); code != hr::Ok)
      return code;
    BlockWords words;
    if (const HResult code = camera_->GetBlock(*block, words); code != hr::Ok)
      return code;
    bytesReturned = kBlockBytes;
    // A present block answers a short buffer with something other than the
    // two "unsupported" codes, which is how callers tell it is there.
    if (data.size() < kBlockBytes)
      return hr::MoreData;
    PutWord(data, 0, words.mode);
    PutWord(data, 4, words.flags);
    return hr::Ok;
  }

  HResult QuerySupported(const Guid& propSet, std::uint32_t id,
                         std::uint32_t& typeSupport) override {
    if (const auto fault =
            ProbeFault("IKsPropertySet.QuerySupported", camera_->Description().devicePath))
      return *fault;
    if (const HResult code = CheckBlock(BlockBySet(propSet), id); code != hr::Ok)
      return code;
    typeSupport = kSupportGetSet;
    return hr::Ok;
  }

  // ---- video control: no flip and no trigger modes

  HResult GetCaps(const std::shared_ptr<IPin>& pin, std::int32_t& capsFlags) override {
    if (const auto fault = ProbeFault("IAMVideoControl.GetCaps", camera_->Description().devicePath))
      return *fault;
    if (const HResult code = CheckPin(pin); code != hr::Ok)
      return code;
    capsFlags = 0;
    return hr::Ok;
  }

  HResult SetMode(const std::shared_ptr<IPin>& pin, std::int32_t mode) override {
    if (const auto fault = ProbeFault("IAMVideoControl.SetMode", camera_->Description().devicePath))
      return *fault;
    if (const HResult code = CheckPin(pin); code != hr::Ok)
      return code;
    return mode == 0 ? hr::Ok : hr::InvalidArg;
  }

  HResult GetMode(const std::shared_ptr<IPin>& pin, std::int32_t& mode) override {
    if (const auto fault = ProbeFault("IAMVideoControl.GetMode", camera_->Description().devicePath))
      return *fault;
    if (const HResult code = CheckPin(pin); code != hr::Ok)
      return code;
    mode = 0;
    return hr::Ok;
  }

  HResult GetPages(std::vector<Guid>& pages) override {
    if (const auto fault =
            ProbeFault("ISpecifyPropertyPages.GetPages", camera_->Description().devicePath))
      return *fault;
    if (const HResult code = camera_->CheckConnected(); code != hr::Ok)
      return code;
    // The format page only where a pin has a stream configuration to show.
    pages = {guids::PageDeviceControls};
    if (std::any_of(pins_.begin(), pins_.end(),
                    [](const auto& pin) { return Query<IAMStreamConfig>(pin) != nullptr; }))
      pages.push_back(guids::PageStreamFormat);
    return hr::Ok;
  }

 private:
  HResult CheckBlock(std::optional<Block> block, std::uint32_t id) const {
    if (const HResult code = camera_->CheckConnected(); code != hr::Ok)
      return code;
    if (!block || !camera_->Description().blocks[static_cast<std::size_t>(*block)])
      return hr::PropSetUnsupported;
    return id == 0 ? hr::Ok : hr::PropIdUnsupported;
  }

  HResult CheckPin(const std::shared_ptr<IPin>& pin) const {
    if (const HResult code = camera_->CheckConnected(); code != hr::Ok)
      return code;
    if (!pin)
      return hr::Pointer;
    return std::find(pins_.begin(), pins_.end(), pin) == pins_.end() ? hr::InvalidArg : hr::Ok;
  }

  std::shared_ptr<VirtualCamera> camera_;
  std::vector<std::shared_ptr<IPin>> pins_;
};

}  // namespace

std::shared_ptr<IBaseFilter> MakeCameraFilter(std::shared_ptr<VirtualCamera> camera) {
  return std::make_shared<CameraFilter>(std::move(camera));
}

}  // namespace varnholt::platform::virtualcam
