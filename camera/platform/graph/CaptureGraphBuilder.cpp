#include "camera/platform/graph/CaptureGraphBuilder.h"
#include "camera/platform/FaultProbe.h"

#include <algorithm>
#include <mutex>

#include "camera/platform/graph/FileMux.h"
#include "camera/platform/graph/FilterGraph.h"
#include "camera/platform/graph/GraphErrors.h"
#include "camera/platform/graph/PinChoice.h"
#include "camera/platform/kit/SingleInterface.h"

namespace varnholt::platform::graph {
namespace {

template <class T>
std::shared_ptr<Unknown> Typed(const std::shared_ptr<void>& answer) {
  return std::static_pointer_cast<Unknown>(std::static_pointer_cast<T>(answer));
}

// QueryInterface answers the interface's subobject untyped; callers of
// FindInterface get it as an object they can query again.
std::shared_ptr<Unknown> AsUnknown(Iid iid, const std::shared_ptr<void>& answer) {
  if (!answer)
    return nullptr;
  switch (iid) {
    case Iid::Pin:
      return Typed<IPin>(answer);
    case Iid::BaseFilter:
      return Typed<IBaseFilter>(answer);
    case Iid::AMVideoProcAmp:
      return Typed<IAMVideoProcAmp>(answer);
    case Iid::AMCameraControl:
      return Typed<IAMCameraControl>(answer);
    case Iid::AMVideoControl:
      return Typed<IAMVideoControl>(answer);
    case Iid::AMStreamConfig:
      return Typed<IAMStreamConfig>(answer);
    case Iid::KsPropertySet:
      return Typed<IKsPropertySet>(answer);
    case Iid::SpecifyPropertyPages:
      return Typed<ISpecifyPropertyPages>(answer);
    case Iid::ControlList:
      return Typed<IControlList>(answer);
    default:
      return nullptr;  // nothing a pin or capture filter would carry
  }
}

class CaptureGraphBuilder final : public kit::SingleInterface<ICaptureGraphBuilder2> {
 public:
  HResult SetFiltergraph(const std::shared_ptr<IGraphBuilder>& graph) override {
    if (const auto fault = ProbeFault("ICaptureGraphBuilder2.SetFiltergraph"))
      return *fault;
    if (!graph)
      return hr::Pointer;
    const auto streams = std::dynamic_pointer_cast<IStreamGraph>(graph);
    if (!streams)
      return hr::NoInterface;
    std::lock_guard lock(mutex_);
    if (graph_)
      return hr::Unexpected;
    graph_ = graph;
    streams_ = streams;
    return hr::Ok;
  }

  HResult RenderStream(const Guid* category, const Guid* type,
                       const std::shared_ptr<Unknown>& source,
                       const std::shared_ptr<IBaseFilter>& intermediate,
                       const std::shared_ptr<IBaseFilter>& sink) override {
    if (const auto fault = ProbeFault("ICaptureGraphBuilder2.RenderStream"))
      return *fault;
    const auto graph = Graph();
    if (!graph)
      return hr::Unexpected;
    if (!source)
      return hr::Pointer;
    if (!sink)
      return hr::NotImpl;  // rendering into a default renderer is not built

    StreamRoute route;
    route.sourceFilter = Query<IBaseFilter>(source);
    std::shared_ptr<IPin> givenPin;
    if (!route.sourceFilter) {
      givenPin = Query<IPin>(source);
      route.sourceFilter = givenPin ? graph->SourceOfPin(givenPin) : nullptr;
      if (!route.sourceFilter)
        return givenPin ? vfw::NotInGraph : hr::InvalidArg;
    }
    for (const auto& filter : {route.sourceFilter, intermediate, sink})
      if (filter && !graph->Contains(filter))
        return vfw::NotInGraph;

    route.source = std::dynamic_pointer_cast<IStreamSource>(route.sourceFilter);
    if (!route.source)
      return hr::Fail;  // no pin there produces frames
    route.intermediateFilter = intermediate;
    if (intermediate) {
      route.intermediate = std::dynamic_pointer_cast<IFrameForwarder>(intermediate);
      if (!route.intermediate)
        return vfw::CannotConnect;
    }
    route.sinkFilter = sink;
    route.sink = std::dynamic_pointer_cast<IFrameReceiver>(sink);
    if (const auto inputs = std::dynamic_pointer_cast<IStreamInputs>(sink); inputs && !route.sink)
      route.sink = inputs->InputFor(type ? *type : guids::MediaTypeVideo);
    if (!route.sink)
      return vfw::CannotConnect;
    route.request.category = category ? *category : guids::PinCategoryCapture;
    route.request.toVideoRenderer = route.sink->IsVideoRenderer();

    PinChoice choice = ChoosePins(route.source->SourcePins(), category);
    if (givenPin) {
      const auto pins = route.source->SourcePins();
      const auto own = std::find_if(pins.begin(), pins.end(),
                                    [&](const SourcePin& p) { return p.pin == givenPin; });
      choice.pins = {own != pins.end() ? *own : SourcePin{givenPin, Guid{}}};
    }
    // The first free pin that offers the type, as the framework takes it;
    // when each is taken, a capture pin's stream splits as its tee would.
    HResult result = hr::Fail;
    for (const bool split : {false, true}) {
      for (const auto& [pin, pinCategory] : choice.pins) {
        if (!OffersMajorType(*pin, type) || (split && pinCategory != guids::PinCategoryCapture))
          continue;
        route.pin = pin;
        route.split = split;
        result = graph->Connect(route);
        if (result != vfw::AlreadyConnected)
          break;
      }
      if (result != vfw::AlreadyConnected)
        break;
    }
    if (Succeeded(result) && choice.throughTee)
      return vfw::NoPreviewPin;
    return result;
  }

  // The writer is both multiplexer and sink; it joins the graph at once,
  // as the framework's does.
  HResult SetOutputFileName(const Guid& type, const std::string& fileName,
                            std::shared_ptr<IBaseFilter>& multiplexer,
                            std::shared_ptr<IFileSinkFilter>& sink) override {
    if (const auto fault = ProbeFault("ICaptureGraphBuilder2.SetOutputFileName"))
      return *fault;
    multiplexer.reset();
    sink.reset();
    std::shared_ptr<IGraphBuilder> graph;
    {
      std::lock_guard lock(mutex_);
      graph = graph_;
    }
    if (!graph)
      return hr::Unexpected;
    std::shared_ptr<IBaseFilter> mux;
    if (const HResult code = MakeFileMux(type, fileName, mux); Failed(code))
      return code;
    const std::string name = type == guids::MediaSubtypeAvi ? "AVI Mux" : "ASF Writer";
    if (const HResult code = graph->AddFilter(mux, name); Failed(code))
      return code;
    multiplexer = mux;
    sink = Query<IFileSinkFilter>(mux);
    return hr::Ok;
  }

  HResult FindInterface(const Guid* category, const Guid*,
                        const std::shared_ptr<IBaseFilter>& filter, Iid iid,
                        std::shared_ptr<Unknown>& found) override {
    if (const auto fault = ProbeFault("ICaptureGraphBuilder2.FindInterface"))
      return *fault;
    if (!filter)
      return hr::Pointer;
    if (!category) {
      if (auto own = AsUnknown(iid, filter->QueryInterface(iid))) {
        found = std::move(own);
        return hr::Ok;
      }
    }
    const auto source = std::dynamic_pointer_cast<IStreamSource>(filter);
    const auto pins = source ? source->SourcePins() : OutputPinsOf(*filter);
    for (const auto& [pin, pinCategory] : ChoosePins(pins, category).pins) {
      if (auto onPin = AsUnknown(iid, pin->QueryInterface(iid))) {
        found = std::move(onPin);
        return hr::Ok;
      }
    }
    return hr::NoInterface;
  }

 private:
  std::shared_ptr<IStreamGraph> Graph() const {
    std::lock_guard lock(mutex_);
    return streams_;
  }

  mutable std::mutex mutex_;
  std::shared_ptr<IGraphBuilder> graph_;
  std::shared_ptr<IStreamGraph> streams_;
};

}  // namespace

std::shared_ptr<ICaptureGraphBuilder2> MakeCaptureGraphBuilder() {
  return std::make_shared<CaptureGraphBuilder>();
}

}  // namespace varnholt::platform::graph
