#include "camera/platform/graph/NullRenderer.h"

#include "camera/platform/graph/FilterParts.h"
#include "camera/platform/graph/StreamInterfaces.h"
#include "camera/platform/kit/SingleInterface.h"

namespace varnholt::platform::graph {
namespace {

class NullRenderer final : public kit::SingleInterface<IBaseFilter, GraphFilter>,
                           public IFrameReceiver {
 public:
  NullRenderer() : SingleInterface("Null Renderer", {{PinDirection::Input, "In"}}) {}

  HResult ReceiveConnection(const AmMediaType& mediaType) override {
    connection_->Set(mediaType);
    return hr::Ok;
  }
  void BreakConnection() override { connection_->Clear(); }
  HResult Receive(const std::shared_ptr<IMediaSample>&, double) override { return hr::Ok; }

 private:
};

}  // namespace

std::shared_ptr<IBaseFilter> MakeNullRenderer() {
  return std::make_shared<NullRenderer>();
}

}  // namespace varnholt::platform::graph
