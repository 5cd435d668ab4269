#include "camera/platform/virtual/VirtualCameraPins.h"
#include "camera/platform/FaultProbe.h"

#include <algorithm>
#include <map>

#include "camera/platform/graph/GraphErrors.h"
#include "camera/platform/kit/ListEnumerator.h"
#include "camera/platform/kit/PinCategoryProperty.h"
#include "camera/platform/virtual/VirtualFormats.h"
#include "camera/platform/virtual/VirtualStream.h"

namespace varnholt::platform::virtualcam {
namespace {

struct CategoryInfo {
  PinCategory category;
  const char* id;
  Guid guid;
};
const CategoryInfo kCategories[] = {
    {PinCategory::Capture, "Capture", guids::PinCategoryCapture},
    {PinCategory::Preview, "Preview", guids::PinCategoryPreview},
    {PinCategory::Still, "Still", guids::PinCategoryStill},
};

const CategoryInfo& CategoryOf(PinCategory category) {
  return *std::find_if(std::begin(kCategories), std::end(kCategories),
                       [&](const CategoryInfo& info) { return info.category == category; });
}

// Lists fail while the camera is unplugged, as the camera's calls do.
kit::Gate WhileConnected(std::shared_ptr<VirtualCamera> camera) {
  return [camera = std::move(camera)] { return camera->CheckConnected(); };
}

class CameraPin final : public IPin,
                        public IKsPropertySet,
                        public IAMStreamConfig,
                        public ISpecifyPropertyPages,
                        public std::enable_shared_from_this<CameraPin> {
 public:
  CameraPin(std::shared_ptr<VirtualCamera> camera, PinDescription description, std::string id)
      : camera_(std::move(camera)), description_(description), id_(std::move(id)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    switch (iid) {
      case Iid::Pin:
        return InterfaceOf<IPin>(shared_from_this());
      case Iid::KsPropertySet:
        if (description_.ksPropertySet)
          return InterfaceOf<IKsPropertySet>(shared_from_this());
        return nullptr;
      case Iid::AMStreamConfig:
        if (description_.category == PinCategory::Capture)
          return InterfaceOf<IAMStreamConfig>(shared_from_this());
        return nullptr;
      case Iid::SpecifyPropertyPages:
        // The stream configuration's own page, where the filter has pages.
        if (description_.category == PinCategory::Capture &&
            camera_->Description().interfaces.propertyPages)
          return InterfaceOf<ISpecifyPropertyPages>(shared_from_this());
        return nullptr;
      default:
        return nullptr;
    }
  }

  HResult QueryDirection(PinDirection& direction) override {
    if (const auto fault = ProbeFault("IPin.QueryDirection", camera_->Description().devicePath))
      return *fault;
    if (const HResult code = camera_->CheckConnected(); code != hr::Ok)
      return code;
    direction = PinDirection::Output;
    return hr::Ok;
  }

  HResult QueryId(std::string& id) override {
    if (const auto fault = ProbeFault("IPin.QueryId", camera_->Description().devicePath))
      return *fault;
    if (const HResult code = camera_->CheckConnected(); code != hr::Ok)
      return code;
    id = id_;
    return hr::Ok;
  }

  HResult EnumMediaTypes(std::shared_ptr<IEnumMediaTypes>& enumerator) override {
    if (const auto fault = ProbeFault("IPin.EnumMediaTypes", camera_->Description().devicePath))
      return *fault;
    if (const HResult code = camera_->CheckConnected(); code != hr::Ok)
      return code;
    std::vector<AmMediaType> types;
    for (const auto& format : camera_->Description().formats)
      types.push_back(*MakeMediaType(format));
    enumerator = std::make_shared<kit::MediaTypeList>(std::move(types), WhileConnected(camera_));
    return hr::Ok;
  }

  // The pin property set is read-only: its one property is the category.
  HResult Set(const Guid& propSet, std::uint32_t id, std::span<const std::uint8_t>,
              std::span<const std::uint8_t>) override {
    if (const auto fault = ProbeFault("IKsPropertySet.Set", camera_->Description().devicePath))
      return *fault;
    if (const HResult code = camera_->CheckConnected(); code != hr::Ok)
      return code;
    return kit::SetPinCategory(propSet, id);
  }

  HResult Get(const Guid& propSet, std::uint32_t id, std::span<const std::uint8_t>,
              std::span<std::uint8_t> data, std::uint32_t& bytesReturned) override {
    if (const auto fault = ProbeFault("IKsPropertySet.Get", camera_->Description().devicePath))
      return *fault;
    if (const HResult code = camera_->CheckConnected(); code != hr::Ok)
      return code;
    return kit::GetPinCategory(CategoryOf(description_.category).guid, propSet, id, data,
                               bytesReturned);
  }

  HResult QuerySupported(const Guid& propSet, std::uint32_t id,
                         std::uint32_t& typeSupport) override {
    if (const auto fault =
            ProbeFault("IKsPropertySet.QuerySupported", camera_->Description().devicePath))
      return *fault;
    if (const HResult code = camera_->CheckConnected(); code != hr::Ok)
      return code;
    return kit::QueryPinCategorySupport(propSet, id, typeSupport);
  }

  HResult GetFormat(std::unique_ptr<AmMediaType>& mediaType) override {
    if (const auto fault =
            ProbeFault("IAMStreamConfig.GetFormat", camera_->Description().devicePath))
      return *fault;
    std::size_t index = 0;
    if (const HResult code = camera_->GetFormatIndex(index); code != hr::Ok)
      return code;
    mediaType = MakeMediaType(camera_->Description().formats[index]);
    return hr::Ok;
  }

  HResult SetFormat(const AmMediaType& mediaType) override {
    if (const auto fault =
            ProbeFault("IAMStreamConfig.SetFormat", camera_->Description().devicePath))
      return *fault;
    if (const HResult code = camera_->CheckConnected(); code != hr::Ok)
      return code;
    if (IsStreaming(*camera_))
      return graph::vfw::WrongState;  // a running stream keeps its format
    const auto index = MatchFormat(camera_->Description().formats, mediaType);
    return index ? camera_->SetFormatIndex(*index) : hr::InvalidArg;
  }

  HResult GetNumberOfCapabilities(std::int32_t& count) override {
    if (const auto fault = ProbeFault("IAMStreamConfig.GetNumberOfCapabilities",
                                      camera_->Description().devicePath))
      return *fault;
    if (const HResult code = camera_->CheckConnected(); code != hr::Ok)
      return code;
    count = static_cast<std::int32_t>(camera_->Description().formats.size());
    return hr::Ok;
  }

  HResult GetStreamCaps(std::int32_t index, std::unique_ptr<AmMediaType>& mediaType) override {
    if (const auto fault =
            ProbeFault("IAMStreamConfig.GetStreamCaps", camera_->Description().devicePath))
      return *fault;
    if (const HResult code = camera_->CheckConnected(); code != hr::Ok)
      return code;
    const auto& formats = camera_->Description().formats;
    if (index < 0 || static_cast<std::size_t>(index) >= formats.size())
      return hr::False;
    mediaType = MakeMediaType(formats[static_cast<std::size_t>(index)]);
    return hr::Ok;
  }

  HResult GetPages(std::vector<Guid>& pages) override {
    if (const auto fault =
            ProbeFault("ISpecifyPropertyPages.GetPages", camera_->Description().devicePath))
      return *fault;
    if (const HResult code = camera_->CheckConnected(); code != hr::Ok)
      return code;
    pages = {guids::PageStreamFormat};
    return hr::Ok;
  }

 private:
  std::shared_ptr<VirtualCamera> camera_;
  PinDescription description_;
  std::string id_;
};

}  // namespace

std::vector<std::shared_ptr<IPin>> MakePins(const std::shared_ptr<VirtualCamera>& camera) {
  std::vector<std::shared_ptr<IPin>> pins;
  std::map<PinCategory, int> seen;
  for (const auto& description : camera->Description().pins) {
    std::string id = CategoryOf(description.category).id;
    if (const int n = ++seen[description.category]; n > 1)
      id += " " + std::to_string(n);
    pins.push_back(std::make_shared<CameraPin>(camera, description, std::move(id)));
  }
  return pins;
}

std::shared_ptr<IEnumPins> MakePinEnumerator(std::vector<std::shared_ptr<IPin>> pins,
                                             std::shared_ptr<VirtualCamera> camera) {
  return std::make_shared<kit::PinList>(std::move(pins), WhileConnected(std::move(camera)));
}

}  // namespace varnholt::platform::virtualcam
