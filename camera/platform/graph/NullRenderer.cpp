#include "camera/platform/graph/NullRenderer.h"

#include "camera/platform/graph/FilterParts.h"
#include "camera/platform/graph/StreamInterfaces.h"

namespace varnholt::platform::graph {
namespace {

class NullRenderer final : public GraphFilter,
                           public IFrameReceiver,
                           public std::enable_shared_from_this<NullRenderer> {
 public:
  NullRenderer() : GraphFilter("Null Renderer", {{PinDirection::Input, "In"}}) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return iid == Iid::BaseFilter ? InterfaceOf<IBaseFilter>(shared_from_this()) : nullptr;
  }

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
