#include "camera/platform/v4l2/V4l2CapturePin.h"

#include "camera/platform/kit/ListEnumerator.h"
#include "camera/platform/kit/PinCategoryProperty.h"

namespace varnholt::platform::v4l2 {
namespace {

class CapturePin final : public IPin,
                         public kit::CapturePinCategory,
                         public IAMStreamConfig,
                         public ISpecifyPropertyPages,
                         public std::enable_shared_from_this<CapturePin> {
 public:
  explicit CapturePin(std::shared_ptr<StreamFormat> format) : format_(std::move(format)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return kit::AnswerFor<IPin, IKsPropertySet, IAMStreamConfig, ISpecifyPropertyPages>(
        iid, shared_from_this());
  }

  HResult QueryDirection(PinDirection& direction) override {
    direction = PinDirection::Output;
    return hr::Ok;
  }

  HResult QueryId(std::string& id) override {
    id = "Capture";
    return hr::Ok;
  }

  HResult EnumMediaTypes(std::shared_ptr<IEnumMediaTypes>& enumerator) override {
    std::vector<V4l2Mode> modes;
    if (const HResult code = format_->Modes(modes); code != hr::Ok)
      return code;
    std::vector<AmMediaType> types;
    for (const auto& mode : modes)
      types.push_back(*MediaTypeOf(mode));
    enumerator = std::make_shared<kit::MediaTypeList>(std::move(types));
    return hr::Ok;
  }

  HResult GetFormat(std::unique_ptr<AmMediaType>& mediaType) override {
    V4l2Mode mode;
    if (const HResult code = format_->Current(mode); code != hr::Ok)
      return code;
    mediaType = MediaTypeOf(mode);
    return hr::Ok;
  }

  HResult SetFormat(const AmMediaType& mediaType) override {
    std::vector<V4l2Mode> modes;
    if (const HResult code = format_->Modes(modes); code != hr::Ok)
      return code;
    const auto index = MatchMode(modes, mediaType);
    if (!index)
      return hr::InvalidArg;
    return format_->Apply(modes[*index]);
  }

  HResult GetNumberOfCapabilities(std::int32_t& count) override {
    std::vector<V4l2Mode> modes;
    if (const HResult code = format_->Modes(modes); code != hr::Ok)
      return code;
    count = static_cast<std::int32_t>(modes.size());
    return hr::Ok;
  }

  HResult GetStreamCaps(std::int32_t index, std::unique_ptr<AmMediaType>& mediaType) override {
    std::vector<V4l2Mode> modes;
    if (const HResult code = format_->Modes(modes); code != hr::Ok)
      return code;
    if (index < 0 || static_cast<std::size_t>(index) >= modes.size())
      return hr::False;
    mediaType = MediaTypeOf(modes[static_cast<std::size_t>(index)]);
    return hr::Ok;
  }

  HResult GetPages(std::vector<Guid>& pages) override {
    pages = {guids::PageStreamFormat};
    return hr::Ok;
  }

 private:
  const std::shared_ptr<StreamFormat> format_;
};

}  // namespace

std::shared_ptr<IPin> MakeCapturePin(std::shared_ptr<StreamFormat> format) {
  return std::make_shared<CapturePin>(std::move(format));
}

}  // namespace varnholt::platform::v4l2
