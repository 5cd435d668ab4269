#pragma once

// The filter graph with its media control and event, and the capture graph
// builder, over the system's. Filters given to them must be this backend's.

#include "camera/platform/Interfaces.h"
#include "camera/platform/directshow/ComPart.h"

namespace varnholt::platform::directshow {

class GraphPart : public IGraphBuilder, protected ComPart<::IGraphBuilder> {
 public:
  HResult AddFilter(const std::shared_ptr<IBaseFilter>& filter, const std::string& name) override;
  HResult RemoveFilter(const std::shared_ptr<IBaseFilter>& filter) override;
};

class MediaControlPart : public IMediaControl, protected ComPart<::IMediaControl> {
 public:
  HResult Run() override;
  HResult Pause() override;
  HResult Stop() override;
  HResult StopWhenReady() override;
  HResult GetState(std::int32_t timeoutMs, std::int32_t& state) override;
};

class MediaEventPart : public IMediaEvent, protected ComPart<::IMediaEvent> {
 public:
  HResult WaitForCompletion(std::int32_t timeoutMs, std::int32_t& eventCode) override;
};

class CaptureGraphBuilderPart : public ICaptureGraphBuilder2,
                                protected ComPart<::ICaptureGraphBuilder2> {
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
