#include "camera/platform/directshow/RendererFacets.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "camera/platform/directshow/ComObject.h"
#include "camera/platform/directshow/MediaTypes.h"
#include "camera/platform/directshow/Utf8.h"

namespace varnholt::platform::directshow {
namespace {

// Our callback as the system's: a COM object of its own.
class GrabberCallback final : public ::ISampleGrabberCB {
 public:
  explicit GrabberCallback(std::shared_ptr<varnholt::platform::ISampleGrabberCB> callback)
      : callback_(std::move(callback)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out)
      return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISampleGrabberCB)) {
      *out = static_cast<::ISampleGrabberCB*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0)
      delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE SampleCB(double time, ::IMediaSample* sample) override {
    try {
      return callback_->SampleCB(time, Wrap<varnholt::platform::IMediaSample>(sample));
    } catch (...) {
      return E_FAIL;
    }
  }
  HRESULT STDMETHODCALLTYPE BufferCB(double time, BYTE* buffer, LONG length) override {
    try {
      const std::size_t size = buffer && length > 0 ? static_cast<std::size_t>(length) : 0;
      return callback_->BufferCB(time, std::span<const std::uint8_t>(buffer, size));
    } catch (...) {
      return E_FAIL;
    }
  }

 private:
  ~GrabberCallback() = default;

  std::atomic<ULONG> references_{1};
  std::shared_ptr<varnholt::platform::ISampleGrabberCB> callback_;
};

RECT ToRect(const Rect32& rect) {
  return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

Rect32 FromRect(const RECT& rect) {
  return Rect32{static_cast<std::int32_t>(rect.left), static_cast<std::int32_t>(rect.top),
                static_cast<std::int32_t>(rect.right), static_cast<std::int32_t>(rect.bottom)};
}

}  // namespace

HResult SampleGrabberFacet::SetBufferSamples(bool buffer) {
  return com->SetBufferSamples(buffer ? TRUE : FALSE);
}

HResult SampleGrabberFacet::SetCallback(const std::shared_ptr<ISampleGrabberCB>& callback,
                                        std::int32_t method) {
  if (!callback)
    return com->SetCallback(nullptr, method);
  auto adapter = ComPtr<::ISampleGrabberCB>::Adopt(new GrabberCallback(callback));
  return com->SetCallback(adapter.get(), method);
}

HResult SampleGrabberFacet::GetConnectedMediaType(AmMediaType& mediaType) {
  AM_MEDIA_TYPE type{};
  const HRESULT code = com->GetConnectedMediaType(&type);
  if (SUCCEEDED(code))
    mediaType = FromComMediaType(type);
  FreeComMediaType(type);
  return code;
}

HResult SampleGrabberFacet::GetCurrentBuffer(std::int32_t& size, std::uint8_t* buffer) {
  LONG length = size;
  const HRESULT code = com->GetCurrentBuffer(&length, reinterpret_cast<LONG*>(buffer));
  size = length;
  return code;
}

HResult VmrConfigFacet::SetRenderingMode(std::uint32_t mode) {
  return com->SetRenderingMode(mode);
}

HResult VmrWindowlessFacet::SetVideoClippingWindow(WindowHandle window) {
  return com->SetVideoClippingWindow(reinterpret_cast<HWND>(window));
}

HResult VmrWindowlessFacet::SetVideoPosition(const Rect32* source, const Rect32* target) {
  RECT from{}, to{};
  if (source)
    from = ToRect(*source);
  if (target)
    to = ToRect(*target);
  return com->SetVideoPosition(source ? &from : nullptr, target ? &to : nullptr);
}

HResult VmrWindowlessFacet::GetVideoPosition(Rect32& source, Rect32& target) {
  RECT from{}, to{};
  const HRESULT code = com->GetVideoPosition(&from, &to);
  if (SUCCEEDED(code)) {
    source = FromRect(from);
    target = FromRect(to);
  }
  return code;
}

HResult VmrWindowlessFacet::SetAspectRatioMode(std::uint32_t mode) {
  return com->SetAspectRatioMode(mode);
}

HResult VmrWindowlessFacet::GetAspectRatioMode(std::uint32_t& mode) {
  DWORD value = 0;
  const HRESULT code = com->GetAspectRatioMode(&value);
  mode = value;
  return code;
}

HResult VmrWindowlessFacet::SetBorderColor(std::uint32_t color) {
  return com->SetBorderColor(color);
}

HResult VmrWindowlessFacet::GetBorderColor(std::uint32_t& color) {
  COLORREF value = 0;
  const HRESULT code = com->GetBorderColor(&value);
  color = value;
  return code;
}

HResult VmrWindowlessFacet::GetNativeVideoSize(std::int32_t& width, std::int32_t& height,
                                               std::int32_t& aspectX, std::int32_t& aspectY) {
  LONG w = 0, h = 0, x = 0, y = 0;
  const HRESULT code = com->GetNativeVideoSize(&w, &h, &x, &y);
  width = w;
  height = h;
  aspectX = x;
  aspectY = y;
  return code;
}

HResult VmrWindowlessFacet::GetMinIdealVideoSize(std::int32_t& width, std::int32_t& height) {
  LONG w = 0, h = 0;
  const HRESULT code = com->GetMinIdealVideoSize(&w, &h);
  width = w;
  height = h;
  return code;
}

HResult VmrWindowlessFacet::GetMaxIdealVideoSize(std::int32_t& width, std::int32_t& height) {
  LONG w = 0, h = 0;
  const HRESULT code = com->GetMaxIdealVideoSize(&w, &h);
  width = w;
  height = h;
  return code;
}

std::size_t DibSize(const BITMAPINFOHEADER& header) {
  const std::size_t stride =
      ((static_cast<std::size_t>(std::abs(header.biWidth)) * header.biBitCount + 31) / 32) * 4;
  const std::size_t pixels = header.biSizeImage != 0
                                 ? header.biSizeImage
                                 : stride * static_cast<std::size_t>(std::abs(header.biHeight));
  std::size_t colours = header.biClrUsed;
  if (colours == 0 && header.biBitCount <= 8)
    colours = std::size_t{1} << header.biBitCount;
  if (header.biCompression == BI_BITFIELDS && header.biSize == sizeof(BITMAPINFOHEADER))
    colours = 3;
  return header.biSize + colours * sizeof(RGBQUAD) + pixels;
}

HResult VmrWindowlessFacet::GetCurrentImage(std::vector<std::uint8_t>& image) {
  BYTE* dib = nullptr;
  const HRESULT code = com->GetCurrentImage(&dib);
  if (SUCCEEDED(code) && dib) {
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib, sizeof header);
    image.assign(dib, dib + DibSize(header));
  }
  CoTaskMemFree(dib);
  return code;
}

HResult FileSinkFacet::GetCurFile(std::string& fileName) {
  // The media type is not asked for: writers may leave it out (Wine's
  // refuses to fill one).
  LPOLESTR name = nullptr;
  const HRESULT code = com->GetCurFile(&name, nullptr);
  if (SUCCEEDED(code))
    fileName = ToUtf8(name);
  CoTaskMemFree(name);
  return code;
}

std::span<const std::uint8_t> MediaSampleFacet::Data() const {
  BYTE* data = nullptr;
  if (FAILED(com->GetPointer(&data)) || !data)
    return {};
  const long length = com->GetActualDataLength();
  return {data, length > 0 ? static_cast<std::size_t>(length) : 0};
}

}  // namespace varnholt::platform::directshow
