#pragma once

// Filters and pins over the system's, with what a capture device offers on
// them: kernel-streaming property sets (the pin category among them), the
// stream configuration, the video control and the property pages.

#include "camera/platform/Interfaces.h"
#include "camera/platform/directshow/ComFacet.h"

namespace varnholt::platform::directshow {

class FilterFacet : public IBaseFilter, protected ComFacet<::IBaseFilter> {
 public:
  HResult EnumPins(std::shared_ptr<IEnumPins>& enumerator) override;
  HResult QueryFilterInfo(FilterInfo& info) override;
};

class PinFacet : public IPin, protected ComFacet<::IPin> {
 public:
  HResult QueryDirection(PinDirection& direction) override;
  HResult QueryId(std::string& id) override;
  HResult EnumMediaTypes(std::shared_ptr<IEnumMediaTypes>& enumerator) override;
};

class KsPropertySetFacet : public IKsPropertySet, protected ComFacet<::IKsPropertySet> {
 public:
  HResult Set(const Guid& propSet, std::uint32_t id, std::span<const std::uint8_t> instanceData,
              std::span<const std::uint8_t> propertyData) override;
  HResult Get(const Guid& propSet, std::uint32_t id, std::span<const std::uint8_t> instanceData,
              std::span<std::uint8_t> propertyData, std::uint32_t& bytesReturned) override;
  HResult QuerySupported(const Guid& propSet, std::uint32_t id,
                         std::uint32_t& typeSupport) override;
};

class StreamConfigFacet : public IAMStreamConfig, protected ComFacet<::IAMStreamConfig> {
 public:
  HResult GetFormat(std::unique_ptr<AmMediaType>& mediaType) override;
  HResult SetFormat(const AmMediaType& mediaType) override;
  HResult GetNumberOfCapabilities(std::int32_t& count) override;
  HResult GetStreamCaps(std::int32_t index, std::unique_ptr<AmMediaType>& mediaType) override;
};

class VideoControlFacet : public IAMVideoControl, protected ComFacet<::IAMVideoControl> {
 public:
  HResult GetCaps(const std::shared_ptr<IPin>& pin, std::int32_t& capsFlags) override;
  HResult SetMode(const std::shared_ptr<IPin>& pin, std::int32_t mode) override;
  HResult GetMode(const std::shared_ptr<IPin>& pin, std::int32_t& mode) override;
};

class PropertyPagesFacet : public ISpecifyPropertyPages,
                           protected ComFacet<::ISpecifyPropertyPages> {
 public:
  HResult GetPages(std::vector<Guid>& pages) override;
};

// IAMVideoProcAmp or IAMCameraControl: an object of its own, split off the
// object it belongs to, which answers every other query.
std::shared_ptr<void> MakeVideoProcAmp(ComPtr<::IAMVideoProcAmp> family,
                                       std::weak_ptr<Unknown> owner);
std::shared_ptr<void> MakeCameraControl(ComPtr<::IAMCameraControl> family,
                                        std::weak_ptr<Unknown> owner);

}  // namespace varnholt::platform::directshow
