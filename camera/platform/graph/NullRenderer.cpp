#include "camera/platform/graph/NullRenderer.h"

#include "camera/platform/graph/FilterParts.h"
#include "camera/platform/graph/StreamInterfaces.h"

namespace varnholt::platform::graph {
namespace {

class NullRenderer final : public IBaseFilter,
                           public IFrameReceiver,
                           public IGraphMember,
                           public std::enable_shared_from_this<NullRenderer> {
 public:
  NullRenderer()
      : format_(std::make_shared<ConnectionFormat>()),
        input_(MakeFilterPin(PinDirection::Input, "In", format_)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return iid == Iid::BaseFilter ? InterfaceOf<IBaseFilter>(shared_from_this()) : nullptr;
  }

  HResult EnumPins(std::shared_ptr<IEnumPins>& enumerator) override {
    enumerator = MakePinList({input_});
    return hr::Ok;
  }
  HResult QueryFilterInfo(FilterInfo& info) override {
    membership_.Describe(info);
    return hr::Ok;
  }
  HResult JoinFilterGraph(const std::weak_ptr<IGraphBuilder>& graph,
                          const std::string& name) override {
    return membership_.Join(graph, name);
  }

  HResult ReceiveConnection(const AmMediaType& mediaType) override {
    format_->Set(mediaType);
    return hr::Ok;
  }
  void BreakConnection() override { format_->Clear(); }
  HResult Receive(const std::shared_ptr<IMediaSample>&, double) override { return hr::Ok; }

 private:
  std::shared_ptr<ConnectionFormat> format_;
  std::shared_ptr<IPin> input_;
  GraphMembership membership_{"Null Renderer"};
};

}  // namespace

std::shared_ptr<IBaseFilter> MakeNullRenderer() {
  return std::make_shared<NullRenderer>();
}

}  // namespace varnholt::platform::graph
