#include "camera/platform/graph/GraphObjects.h"

#include "camera/platform/graph/CaptureGraphBuilder.h"
#include "camera/platform/graph/FilterGraph.h"
#include "camera/platform/graph/NullRenderer.h"
#include "camera/platform/graph/SampleGrabber.h"
#include "camera/platform/graph/VideoRenderer.h"

namespace varnholt::platform::graph {

HResult CreateGraphObject(ClassId classId, std::shared_ptr<Unknown>& object) {
  switch (classId) {
    case ClassId::FilterGraph:
      object = MakeFilterGraph();
      return hr::Ok;
    case ClassId::CaptureGraphBuilder2:
      object = MakeCaptureGraphBuilder();
      return hr::Ok;
    case ClassId::SampleGrabber:
      object = MakeSampleGrabber();
      return hr::Ok;
    case ClassId::NullRenderer:
      object = MakeNullRenderer();
      return hr::Ok;
    case ClassId::VideoMixingRenderer9:
      object = MakeVideoRenderer();
      return hr::Ok;
    default:
      return hr::ClassNotRegistered;
  }
}

}  // namespace varnholt::platform::graph
