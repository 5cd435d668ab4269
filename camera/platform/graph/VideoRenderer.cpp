#include "camera/platform/graph/VideoRenderer.h"
#include "camera/platform/FaultProbe.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "camera/platform/graph/DibImage.h"
#include "camera/platform/graph/FilterParts.h"
#include "camera/platform/graph/GraphErrors.h"
#include "camera/platform/graph/StreamInterfaces.h"
#include "camera/platform/graph/VideoFormat.h"
#include "camera/platform/kit/SingleInterface.h"

namespace varnholt::platform::graph {
namespace {

constexpr std::uint32_t kModeWindowed = 1;
constexpr std::uint32_t kModeRenderless = 4;
constexpr std::uint32_t kAspectNone = 0;
constexpr std::uint32_t kAspectLetterBox = 1;
constexpr std::int32_t kIdealScale = 4;

bool IsOrdered(const Rect32& r) {
  return r.left <= r.right && r.top <= r.bottom;
}

// Frame-sized pixel buffers for prepared pictures, handed back when the
// last holder lets a picture go (the window's thread, as a rule): a running
// preview then allocates nothing per frame. The hand-back goes through the
// mutex, so the next writer sees every read of the last holder done.
class PicturePool : public std::enable_shared_from_this<PicturePool> {
 public:
  using Buffer = std::vector<std::uint8_t>;

  // Where a picture starts in a buffer: half a page away from where the
  // window copies it to. A source a few bytes below its target within a
  // page makes the processor's fast string copy several times slower on
  // some machines (measured: 3.3 against 0.33 ms for a 1080p frame).
  static std::size_t PictureOffset(const Buffer& buffer, std::uintptr_t target) {
    constexpr std::uintptr_t kPage = 4096;
    const auto address = reinterpret_cast<std::uintptr_t>(buffer.data());
    return static_cast<std::size_t>((target + kPage / 2 + kPage - address % kPage) % kPage);
  }
  static constexpr std::size_t kOffsetRoom = 4096;

  // Room for `size` bytes from PictureOffset on.
  static void Fit(Buffer& buffer, std::size_t size) { buffer.resize(size + kOffsetRoom); }

  // A buffer of `size` bytes from PictureOffset on that nobody else holds.
  std::shared_ptr<Buffer> Get(std::size_t size) {
    std::unique_ptr<Buffer> buffer;
    {
      std::lock_guard lock(mutex_);
      if (!spare_.empty()) {
        buffer = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    if (!buffer)
      buffer = std::make_unique<Buffer>();
    Fit(*buffer, size);
    return {buffer.release(), [pool = shared_from_this()](Buffer* b) { pool->Return(b); }};
  }

 private:
  void Return(Buffer* buffer) {
    std::unique_ptr<Buffer> owned(buffer);
    std::lock_guard lock(mutex_);
    // One being written, one in the slot, one on the screen: more spares
    // only hold memory.
    if (spare_.size() < kSpares)
      spare_.push_back(std::move(owned));
  }

  static constexpr std::size_t kSpares = 3;
  std::mutex mutex_;
  std::vector<std::unique_ptr<Buffer>> spare_;
};

class VideoRenderer final : public GraphFilter,
                            public IVMRFilterConfig9,
                            public IVMRWindowlessControl9,
                            public ICurrentPicture,
                            public IPreparedPicture,
                            public IFrameReceiver,
                            public std::enable_shared_from_this<VideoRenderer> {
 public:
  VideoRenderer() : GraphFilter("Video Mixing Renderer 9", {{PinDirection::Input, "VMR Input0"}}) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return kit::AnswerFor<IBaseFilter, IVMRFilterConfig9, IVMRWindowlessControl9, ICurrentPicture,
                          IPreparedPicture>(iid, shared_from_this());
  }

  // ---- IVMRFilterConfig9

  HResult SetRenderingMode(std::uint32_t mode) override {
    if (const auto fault = ProbeFault("IVMRFilterConfig9.SetRenderingMode"))
      return *fault;
    if (mode == kModeWindowed || mode == kModeRenderless)
      return hr::NotImpl;
    if (mode != kModeWindowless)
      return hr::InvalidArg;
    std::lock_guard lock(mutex_);
    if (format_)
      return vfw::WrongState;  // the mode is fixed once the input is connected
    windowless_ = true;
    return hr::Ok;
  }

  // ---- IVMRWindowlessControl9

  HResult SetVideoClippingWindow(WindowHandle window) override {
    if (const auto fault = ProbeFault("IVMRWindowlessControl9.SetVideoClippingWindow"))
      return *fault;
    std::lock_guard lock(mutex_);
    if (!windowless_)
      return vfw::WrongState;
    if (window == 0)
      return hr::InvalidArg;
    clippingWindow_ = window;
    return hr::Ok;
  }

  HResult SetVideoPosition(const Rect32* source, const Rect32* target) override {
    if (const auto fault = ProbeFault("IVMRWindowlessControl9.SetVideoPosition"))
      return *fault;
    if (!source && !target)
      return hr::Pointer;
    std::lock_guard lock(mutex_);
    if (!windowless_)
      return vfw::WrongState;
    if (source && !IsValidSource(*source))
      return hr::InvalidArg;
    if (target && !IsOrdered(*target))
      return hr::InvalidArg;
    if (source)
      source_ = *source;
    if (target)
      target_ = *target;
    return hr::Ok;
  }

  HResult GetVideoPosition(Rect32& source, Rect32& target) override {
    if (const auto fault = ProbeFault("IVMRWindowlessControl9.GetVideoPosition"))
      return *fault;
    std::lock_guard lock(mutex_);
    if (!windowless_)
      return vfw::WrongState;
    // Until one is set, the source is the whole picture.
    source = source_ ? *source_ : FullPicture();
    target = target_;
    return hr::Ok;
  }

  HResult SetAspectRatioMode(std::uint32_t mode) override {
    if (const auto fault = ProbeFault("IVMRWindowlessControl9.SetAspectRatioMode"))
      return *fault;
    if (mode != kAspectNone && mode != kAspectLetterBox)
      return hr::InvalidArg;
    std::lock_guard lock(mutex_);
    if (!windowless_)
      return vfw::WrongState;
    aspectMode_ = mode;
    return hr::Ok;
  }

  HResult GetAspectRatioMode(std::uint32_t& mode) override {
    if (const auto fault = ProbeFault("IVMRWindowlessControl9.GetAspectRatioMode"))
      return *fault;
    std::lock_guard lock(mutex_);
    if (!windowless_)
      return vfw::WrongState;
    mode = aspectMode_;
    return hr::Ok;
  }

  HResult SetBorderColor(std::uint32_t color) override {
    if (const auto fault = ProbeFault("IVMRWindowlessControl9.SetBorderColor"))
      return *fault;
    std::lock_guard lock(mutex_);
    if (!windowless_)
      return vfw::WrongState;
    borderColor_ = color;
    return hr::Ok;
  }

  HResult GetBorderColor(std::uint32_t& color) override {
    if (const auto fault = ProbeFault("IVMRWindowlessControl9.GetBorderColor"))
      return *fault;
    std::lock_guard lock(mutex_);
    if (!windowless_)
      return vfw::WrongState;
    color = borderColor_;
    return hr::Ok;
  }

  HResult GetNativeVideoSize(std::int32_t& width, std::int32_t& height, std::int32_t& aspectX,
                             std::int32_t& aspectY) override {
    if (const auto fault = ProbeFault("IVMRWindowlessControl9.GetNativeVideoSize"))
      return *fault;
    std::lock_guard lock(mutex_);
    if (const HResult code = CheckConnected(); code != hr::Ok)
      return code;
    width = format_->width;
    height = format_->height;
    aspectX = format_->aspectX;
    aspectY = format_->aspectY;
    return hr::Ok;
  }

  HResult GetMinIdealVideoSize(std::int32_t& width, std::int32_t& height) override {
    if (const auto fault = ProbeFault("IVMRWindowlessControl9.GetMinIdealVideoSize"))
      return *fault;
    std::lock_guard lock(mutex_);
    if (const HResult code = CheckConnected(); code != hr::Ok)
      return code;
    width = std::max(1, format_->width / kIdealScale);
    height = std::max(1, format_->height / kIdealScale);
    return hr::Ok;
  }

  HResult GetMaxIdealVideoSize(std::int32_t& width, std::int32_t& height) override {
    if (const auto fault = ProbeFault("IVMRWindowlessControl9.GetMaxIdealVideoSize"))
      return *fault;
    std::lock_guard lock(mutex_);
    if (const HResult code = CheckConnected(); code != hr::Ok)
      return code;
    width = format_->width * kIdealScale;
    height = format_->height * kIdealScale;
    return hr::Ok;
  }

  HResult GetCurrentImage(std::vector<std::uint8_t>& image) override {
    if (const auto fault = ProbeFault("IVMRWindowlessControl9.GetCurrentImage"))
      return *fault;
    std::shared_ptr<IMediaSample> frame;
    VideoFormat format;
    if (const HResult code = LatestFrame(frame, format); code != hr::Ok)
      return code;
    // Converted outside the lock: the streaming thread must not wait for it.
    return FrameToDib(format, frame->Data(), image);
  }

  // ---- ICurrentPicture

  HResult GetCurrentPicture(const TargetFor& targetFor) override {
    if (const auto fault = ProbeFault("ICurrentPicture.GetCurrentPicture"))
      return *fault;
    std::shared_ptr<IMediaSample> frame;
    VideoFormat format;
    if (const HResult code = LatestFrame(frame, format); code != hr::Ok)
      return code;
    return FrameToPicture(format, frame->Data(), targetFor);
  }

  // ---- IPreparedPicture

  HResult SetPictureListener(std::function<void()> listener) override {
    if (const auto fault = ProbeFault("IPreparedPicture.SetPictureListener"))
      return *fault;
    // Waits for a frame being prepared, and for its listener call.
    std::lock_guard preparing(preparingMutex_);
    listener_ = std::move(listener);
    if (!listener_) {
      std::lock_guard lock(mutex_);
      slot_ = {};
    }
    return hr::Ok;
  }

  HResult TakePicture(Picture& picture) override {
    if (const auto fault = ProbeFault("IPreparedPicture.TakePicture"))
      return *fault;
    std::lock_guard lock(mutex_);
    if (!slot_.pixels)
      return hr::False;
    picture = std::exchange(slot_, {});
    return hr::Ok;
  }

  void SetCopyTarget(std::uintptr_t address) override { copyTarget_ = address; }

  // ---- the stream

  HResult ReceiveConnection(const AmMediaType& mediaType) override {
    const auto format = VideoFormat::From(mediaType);
    std::lock_guard lock(mutex_);
    if (!windowless_)
      return vfw::WrongState;
    if (!format || !CanConvertToDib(format->fourcc))
      return vfw::TypeNotAccepted;
    format_ = format;
    latest_.reset();
    slot_ = {};
    connection_->Set(mediaType);
    return hr::Ok;
  }

  void BreakConnection() override {
    std::lock_guard lock(mutex_);
    format_.reset();
    latest_.reset();
    slot_ = {};
    connection_->Clear();
  }

  HResult Receive(const std::shared_ptr<IMediaSample>& sample, double) override {
    VideoFormat format;
    {
      std::lock_guard lock(mutex_);
      if (!format_)
        return vfw::NotConnected;
      latest_ = sample;
      format = *format_;
    }
    Prepare(format, *sample);
    return hr::Ok;
  }

  bool IsVideoRenderer() const override { return true; }

 private:
  // The frame converted here, on the streaming thread, into the slot; the
  // listener hears when the slot was empty. A frame that cannot be
  // converted leaves the slot as it was: the last good picture stays.
  void Prepare(const VideoFormat& format, IMediaSample& sample) {
    std::lock_guard preparing(preparingMutex_);
    if (!listener_)
      return;
    Picture picture;
    std::shared_ptr<PicturePool::Buffer> buffer;
    const HResult code =
        FrameToPicture(format, sample.Data(), [&](std::int32_t width, std::int32_t height) {
          picture.width = width;
          picture.height = height;
          picture.stride = static_cast<std::ptrdiff_t>(width) * 4;
          const auto size =
              static_cast<std::size_t>(picture.stride) * static_cast<std::size_t>(height);
          if (!buffer)
            buffer = pool_->Get(size);
          else
            PicturePool::Fit(*buffer, size);
          picture.offset = PicturePool::PictureOffset(*buffer, copyTarget_);
          return Target{buffer->data() + picture.offset, picture.stride};
        });
    if (code != hr::Ok || !buffer)
      return;
    picture.pixels = std::move(buffer);
    bool filled = false;
    {
      std::lock_guard lock(mutex_);
      filled = !slot_.pixels;
      slot_ = std::move(picture);
    }
    if (filled)
      listener_();
  }

  // The latest frame and its format, with GetCurrentImage's codes.
  HResult LatestFrame(std::shared_ptr<IMediaSample>& frame, VideoFormat& format) const {
    std::lock_guard lock(mutex_);
    if (const HResult code = CheckConnected(); code != hr::Ok)
      return code;
    if (!latest_)
      return kNoImageYet;
    frame = latest_;
    format = *format_;
    return hr::Ok;
  }

  HResult CheckConnected() const {
    if (!windowless_)
      return vfw::WrongState;
    return format_ ? hr::Ok : vfw::NotConnected;
  }

  Rect32 FullPicture() const {
    return format_ ? Rect32{0, 0, format_->width, format_->height} : Rect32{};
  }

  bool IsValidSource(const Rect32& r) const {
    if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom)
      return false;
    return !format_ || (r.right <= format_->width && r.bottom <= format_->height);
  }

  mutable std::mutex mutex_;
  bool windowless_ = false;
  WindowHandle clippingWindow_ = 0;  // kept for the window that will paint
  std::optional<Rect32> source_;
  Rect32 target_;
  std::uint32_t aspectMode_ = kAspectNone;
  std::uint32_t borderColor_ = 0;
  std::optional<VideoFormat> format_;
  std::shared_ptr<IMediaSample> latest_;
  Picture slot_;  // under mutex_
  // Held while a frame is prepared and its listener called, never while
  // mutex_ waits, so that the window's thread takes pictures meanwhile.
  std::mutex preparingMutex_;
  std::function<void()> listener_;
  std::shared_ptr<PicturePool> pool_ = std::make_shared<PicturePool>();
  // Where the window copies pictures to; a large image's usual place
  // until it says.
  std::atomic<std::uintptr_t> copyTarget_{16};
};

}  // namespace

std::shared_ptr<IBaseFilter> MakeVideoRenderer() {
  return std::make_shared<VideoRenderer>();
}

}  // namespace varnholt::platform::graph
