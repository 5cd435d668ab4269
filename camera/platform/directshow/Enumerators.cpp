#include "camera/platform/directshow/Enumerators.h"

#include "camera/platform/directshow/ComObject.h"
#include "camera/platform/directshow/MediaTypes.h"
#include "camera/platform/kit/SingleInterface.h"

namespace varnholt::platform::directshow {
namespace {

// An enumerator is an object of its own: it answers its interface and
// stands for the system's enumerator.
template <class Interface, class Com>
class Enumerator : public kit::SingleInterface<Interface>, public ComBacked {
 public:
  explicit Enumerator(ComPtr<Com> enumerator) : enumerator_(std::move(enumerator)) {}
  ::IUnknown* ComObject() const override { return enumerator_.get(); }

 protected:
  ComPtr<Com> enumerator_;
};

class MonikerEnumerator final : public Enumerator<IEnumMoniker, ::IEnumMoniker> {
 public:
  using Enumerator::Enumerator;
  HResult Next(std::shared_ptr<IMoniker>& item) override {
    ComPtr<::IMoniker> moniker;
    const HRESULT code = enumerator_->Next(1, moniker.Receive(), nullptr);
    item = code == S_OK && moniker ? Wrap<IMoniker>(moniker.get()) : nullptr;
    return code;
  }
};

class PinEnumerator final : public Enumerator<IEnumPins, ::IEnumPins> {
 public:
  using Enumerator::Enumerator;
  HResult Next(std::shared_ptr<IPin>& item) override {
    ComPtr<::IPin> pin;
    const HRESULT code = enumerator_->Next(1, pin.Receive(), nullptr);
    item = code == S_OK && pin ? Wrap<IPin>(pin.get()) : nullptr;
    return code;
  }
};

class MediaTypeEnumerator final : public Enumerator<IEnumMediaTypes, ::IEnumMediaTypes> {
 public:
  using Enumerator::Enumerator;
  HResult Next(std::unique_ptr<AmMediaType>& item) override {
    AM_MEDIA_TYPE* type = nullptr;
    const HRESULT code = enumerator_->Next(1, &type, nullptr);
    item.reset();
    if (code == S_OK && type)
      item = std::make_unique<AmMediaType>(FromComMediaType(*type));
    DeleteComMediaType(type);
    return code;
  }
};

}  // namespace

std::shared_ptr<IEnumMoniker> MakeMonikerEnumerator(ComPtr<::IEnumMoniker> enumerator) {
  return std::make_shared<MonikerEnumerator>(std::move(enumerator));
}

std::shared_ptr<IEnumPins> MakePinEnumerator(ComPtr<::IEnumPins> enumerator) {
  return std::make_shared<PinEnumerator>(std::move(enumerator));
}

std::shared_ptr<IEnumMediaTypes> MakeMediaTypeEnumerator(ComPtr<::IEnumMediaTypes> enumerator) {
  return std::make_shared<MediaTypeEnumerator>(std::move(enumerator));
}

}  // namespace varnholt::platform::directshow
