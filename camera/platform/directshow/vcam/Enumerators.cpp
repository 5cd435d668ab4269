#include "camera/platform/directshow/vcam/Enumerators.h"

#include <algorithm>
#include <type_traits>

#include "camera/platform/directshow/vcam/CameraFilter.h"
#include "camera/platform/directshow/vcam/ComSupport.h"

namespace varnholt::vcam {
namespace {

// The shared part: position, count, the filter held, the fault points.
// Item makes the caller's copy of item i.
template <class Interface, class Item>
class ListEnumerator final : public Interface, private RefCounted {
 public:
  using MakeItem = HRESULT (*)(ListEnumerator& self, std::size_t index, Item* out);

  ListEnumerator(CameraFilter& filter, std::size_t count, std::size_t position,
                 const wchar_t* nextPoint, MakeItem make, std::vector<VideoFormat> formats)
      : filter_(filter),
        count_(count),
        position_(position),
        nextPoint_(nextPoint),
        make_(make),
        formats_(std::move(formats)) {
    filter_.AddRef();
  }
  ~ListEnumerator() override { filter_.Release(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out)
      return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(Interface)))
      return Answer<Interface>(this, out);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddOne(); }
  ULONG STDMETHODCALLTYPE Release() override { return DropOne(); }

  HRESULT STDMETHODCALLTYPE Next(ULONG wanted, Item* items, ULONG* fetched) override {
    if (!items || (wanted > 1 && !fetched))
      return E_POINTER;
    if (const HRESULT hr = CheckCall(); FAILED(hr))
      return hr;
    ULONG got = 0;
    while (got < wanted && position_ < count_) {
      if (const HRESULT hr = make_(*this, position_, &items[got]); FAILED(hr)) {
        while (got > 0)
          Free(items[--got]);
        return hr;
      }
      ++position_;
      ++got;
    }
    if (fetched)
      *fetched = got;
    return got == wanted ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    if (const HRESULT hr = CheckCall(); FAILED(hr))
      return hr;
    const std::size_t left = count_ - position_;
    position_ += std::min<std::size_t>(left, count);
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(Interface** out) override {
    if (!out)
      return E_POINTER;
    *out = new ListEnumerator(filter_, count_, position_, nextPoint_, make_, formats_);
    return S_OK;
  }

  CameraFilter& Filter() { return filter_; }
  const std::vector<VideoFormat>& Formats() const { return formats_; }

 private:
  // The pins are listed also for an unplugged camera (graphs stop by them).
  HRESULT CheckCall() const {
    return std::is_same_v<Interface, IEnumPins> ? filter_.CheckArmed(nextPoint_)
                                                : filter_.Check(nextPoint_);
  }
  static void Free(IPin*& pin) { pin->Release(); }
  static void Free(AM_MEDIA_TYPE*& type) { DeleteComMediaType(type); }

  CameraFilter& filter_;
  const std::size_t count_;
  std::size_t position_;
  const wchar_t* nextPoint_;
  MakeItem make_;
  std::vector<VideoFormat> formats_;
};

using PinList = ListEnumerator<IEnumPins, IPin*>;
using TypeList = ListEnumerator<IEnumMediaTypes, AM_MEDIA_TYPE*>;

HRESULT MakePin(PinList& self, std::size_t, IPin** out) {
  *out = self.Filter().PinInterface();
  (*out)->AddRef();
  return S_OK;
}

HRESULT MakeType(TypeList& self, std::size_t index, AM_MEDIA_TYPE** out) {
  auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!type || !MakeMediaType(self.Formats()[index], *type)) {
    CoTaskMemFree(type);
    return E_OUTOFMEMORY;
  }
  *out = type;
  return S_OK;
}

}  // namespace

HRESULT MakePinEnumerator(CameraFilter& filter, IEnumPins** out) {
  *out = new PinList(filter, 1, 0, L"IEnumPins.Next", MakePin, {});
  return S_OK;
}

HRESULT MakeMediaTypeEnumerator(CameraFilter& filter, std::vector<VideoFormat> formats,
                                IEnumMediaTypes** out) {
  const std::size_t count = formats.size();
  *out = new TypeList(filter, count, 0, L"IEnumMediaTypes.Next", MakeType, std::move(formats));
  return S_OK;
}

}  // namespace varnholt::vcam
