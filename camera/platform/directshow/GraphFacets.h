#pragma once

// The filter graph with its media control and event, and the capture graph
// builder, over the system's. Filters given to them must be this backend's.

#include "camera/platform/Interfaces.h"
#include "camera/platform/directshow/ComFacet.h"

namespace varnholt::platform::directshow {

class GraphFacet : public IGraphBuilder, protected ComFacet<::IGraphBuilder> {
 public:
  HResult AddFilter(const std::shared_ptr<IBaseFilter>& filter, const std::string& name) override;
  HResult RemoveFilter(const std::shared_ptr<IBaseFilter>& filter) override;
};

class MediaControlFacet : public IMediaControl, protected ComFacet<::IMediaControl> {
 public:
  HResult Run() override;
  HResult Pause() override;
  HResult Stop() override;
  HResult StopWhenReady() override;
  HResult GetState(std::int32_t timeoutMs, std::int32_t& state) override;
};

class MediaEventFacet : public IMediaEvent, protected ComFacet<::IMediaEvent> {
 public:
  HResult WaitForCompletion(std::int32_t timeoutMs, std::int32_t& eventCode) override;
};

class CaptureGraphBuilderFacet : public ICaptureGraphBuilder2,
                                 protected ComFacet<::ICaptureGraphBuilder2> {
 public:
  HResult SetFiltergraph(const std::shared_ptr<IGraphBuilder>& graph) override;
  HResult RenderStream(const Guid* category, const Guid* type,
                       const std::shared_ptr<Unknown>& source,
                       const std::shared_ptr<IBaseFilter>& intermediate,
                       const std::shared_ptr<IBaseFilter>& sink) override;
  HResult SetOutputFileName(const Guid& type, const std::string& fileName,
                            std::shared_ptr<IBaseFilter>& multiplexer,
                            std::shared_ptr<IFileSinkFilter>& sink) override;
  HResult FindInterface(const Guid* category, const Guid* type,
                        const std::shared_ptr<IBaseFilter>& filter, Iid iid,
                        std::shared_ptr<Unknown>& found) override;
};

}  // namespace varnholt::platform::directshow
