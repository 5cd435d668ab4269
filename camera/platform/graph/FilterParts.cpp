#include "camera/platform/graph/FilterParts.h"

#include "camera/platform/kit/ListEnumerator.h"

namespace varnholt::platform::graph {
namespace {

AmMediaType CopyOf(const AmMediaType& mediaType) {
  AmMediaType copy = mediaType;
  copy.pUnk.reset();  // a stored type keeps no object alive
  return copy;
}

class FilterPin final : public kit::SingleInterface<IPin> {
 public:
  FilterPin(PinDirection direction, std::string id, std::shared_ptr<const ConnectionFormat> format)
      : direction_(direction), id_(std::move(id)), format_(std::move(format)) {}

  HResult QueryDirection(PinDirection& direction) override {
    direction = direction_;
    return hr::Ok;
  }
  HResult QueryId(std::string& id) override {
    id = id_;
    return hr::Ok;
  }
  HResult EnumMediaTypes(std::shared_ptr<IEnumMediaTypes>& enumerator) override {
    std::vector<AmMediaType> types;
    if (auto type = format_->Get())
      types.push_back(std::move(*type));
    enumerator = std::make_shared<kit::MediaTypeList>(std::move(types));
    return hr::Ok;
  }

 private:
  PinDirection direction_;
  std::string id_;
  std::shared_ptr<const ConnectionFormat> format_;
};

}  // namespace

void ConnectionFormat::Set(const AmMediaType& mediaType) {
  std::lock_guard lock(mutex_);
  type_ = CopyOf(mediaType);
}

void ConnectionFormat::Clear() {
  std::lock_guard lock(mutex_);
  type_.reset();
}

std::optional<AmMediaType> ConnectionFormat::Get() const {
  std::lock_guard lock(mutex_);
  return type_;
}

bool ConnectionFormat::IsConnected() const {
  std::lock_guard lock(mutex_);
  return type_.has_value();
}

std::shared_ptr<IPin> MakeFilterPin(PinDirection direction, std::string id,
                                    std::shared_ptr<const ConnectionFormat> format) {
  return std::make_shared<FilterPin>(direction, std::move(id), std::move(format));
}

HResult GraphMembership::Join(const std::weak_ptr<IGraphBuilder>& graph, const std::string& name) {
  std::lock_guard lock(mutex_);
  const bool leaving = graph.expired();
  if (!leaving && joined_ && !graph_.expired())
    return hr::Unexpected;
  joined_ = !leaving;
  graph_ = leaving ? std::weak_ptr<IGraphBuilder>() : graph;
  name_ = leaving ? std::string() : name;
  return hr::Ok;
}

void GraphMembership::Describe(FilterInfo& info) const {
  std::lock_guard lock(mutex_);
  const auto graph = graph_.lock();
  info.achName = joined_ && graph ? name_ : defaultName_;
  info.pGraph = joined_ ? graph : nullptr;
}

GraphFilter::GraphFilter(std::string defaultName,
                         std::vector<std::pair<PinDirection, std::string>> pins)
    : connection_(std::make_shared<ConnectionFormat>()), membership_(std::move(defaultName)) {
  for (auto& [direction, id] : pins)
    pins_.push_back(MakeFilterPin(direction, std::move(id), connection_));
}

HResult GraphFilter::EnumPins(std::shared_ptr<IEnumPins>& enumerator) {
  enumerator = std::make_shared<kit::PinList>(pins_);
  return hr::Ok;
}

HResult GraphFilter::QueryFilterInfo(FilterInfo& info) {
  membership_.Describe(info);
  return hr::Ok;
}

HResult GraphFilter::JoinFilterGraph(const std::weak_ptr<IGraphBuilder>& graph,
                                     const std::string& name) {
  return membership_.Join(graph, name);
}

}  // namespace varnholt::platform::graph
