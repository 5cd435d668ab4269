#pragma once

// The sample grabber (with our callback behind the system's), the
// windowless VMR-9, the file writer's sink and the samples a grabber hands
// to its callback, over the system's.

#include "camera/platform/Interfaces.h"
#include "camera/platform/directshow/ComFacet.h"

namespace varnholt::platform::directshow {

class SampleGrabberFacet : public ISampleGrabber, protected ComFacet<::ISampleGrabber> {
 public:
  HResult SetBufferSamples(bool buffer) override;
  // The system calls an adapter that holds the callback until another is
  // set or the grabber goes; a failure escaping the callback becomes E_FAIL
  // at the streaming thread rather than crossing it.
  HResult SetCallback(const std::shared_ptr<ISampleGrabberCB>& callback,
                      std::int32_t method) override;
  HResult GetConnectedMediaType(AmMediaType& mediaType) override;
  HResult GetCurrentBuffer(std::int32_t& size, std::uint8_t* buffer) override;
};

class VmrConfigFacet : public IVMRFilterConfig9, protected ComFacet<::IVMRFilterConfig9> {
 public:
  HResult SetRenderingMode(std::uint32_t mode) override;
};

class VmrWindowlessFacet : public IVMRWindowlessControl9,
                           protected ComFacet<::IVMRWindowlessControl9> {
 public:
  HResult SetVideoClippingWindow(WindowHandle window) override;
  HResult SetVideoPosition(const Rect32* source, const Rect32* target) override;
  HResult GetVideoPosition(Rect32& source, Rect32& target) override;
  HResult SetAspectRatioMode(std::uint32_t mode) override;
  HResult GetAspectRatioMode(std::uint32_t& mode) override;
  HResult SetBorderColor(std::uint32_t color) override;
  HResult GetBorderColor(std::uint32_t& color) override;
  HResult GetNativeVideoSize(std::int32_t& width, std::int32_t& height, std::int32_t& aspectX,
                             std::int32_t& aspectY) override;
  HResult GetMinIdealVideoSize(std::int32_t& width, std::int32_t& height) override;
  HResult GetMaxIdealVideoSize(std::int32_t& width, std::int32_t& height) override;
  HResult GetCurrentImage(std::vector<std::uint8_t>& image) override;
};

class FileSinkFacet : public IFileSinkFilter, protected ComFacet<::IFileSinkFilter> {
 public:
  HResult GetCurFile(std::string& fileName) override;
};

class MediaSampleFacet : public IMediaSample, protected ComFacet<::IMediaSample> {
 public:
  std::span<const std::uint8_t> Data() const override;
};

// How many bytes a DIB of this header holds: header, colour table, pixels.
std::size_t DibSize(const BITMAPINFOHEADER& header);

}  // namespace varnholt::platform::directshow
