#include "camera/platform/graph/FilterParts.h"

namespace varnholt::platform::graph {
namespace {

AmMediaType CopyOf(const AmMediaType& mediaType) {
  AmMediaType copy = mediaType;
  copy.pUnk.reset();  // a stored type keeps no object alive
  return copy;
}

class ConnectedTypes final : public IEnumMediaTypes,
                             public std::enable_shared_from_this<ConnectedTypes> {
 public:
  explicit ConnectedTypes(std::optional<AmMediaType> type) : type_(std::move(type)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return iid == kIid ? InterfaceOf<IEnumMediaTypes>(shared_from_this()) : nullptr;
  }

  HResult Next(std::unique_ptr<AmMediaType>& mediaType) override {
    if (!type_) {
      mediaType.reset();
      return hr::False;
    }
    mediaType = std::make_unique<AmMediaType>(std::move(*type_));
    type_.reset();
    return hr::Ok;
  }

 private:
  std::optional<AmMediaType> type_;
};

class FilterPin final : public IPin, public std::enable_shared_from_this<FilterPin> {
 public:
  FilterPin(PinDirection direction, std::string id, std::shared_ptr<const ConnectionFormat> format)
      : direction_(direction), id_(std::move(id)), format_(std::move(format)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return iid == kIid ? InterfaceOf<IPin>(shared_from_this()) : nullptr;
  }
  HResult QueryDirection(PinDirection& direction) override {
    direction = direction_;
    return hr::Ok;
  }
  HResult QueryId(std::string& id) override {
    id = id_;
    return hr::Ok;
  }
  HResult EnumMediaTypes(std::shared_ptr<IEnumMediaTypes>& enumerator) override {
    enumerator = std::make_shared<ConnectedTypes>(format_->Get());
    return hr::Ok;
  }

 private:
  PinDirection direction_;
  std::string id_;
  std::shared_ptr<const ConnectionFormat> format_;
};

class PinList final : public IEnumPins, public std::enable_shared_from_this<PinList> {
 public:
  explicit PinList(std::vector<std::shared_ptr<IPin>> pins) : pins_(std::move(pins)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return iid == kIid ? InterfaceOf<IEnumPins>(shared_from_this()) : nullptr;
  }
  HResult Next(std::shared_ptr<IPin>& pin) override {
    if (next_ >= pins_.size()) {
      pin.reset();
      return hr::False;
    }
    pin = pins_[next_++];
    return hr::Ok;
  }

 private:
  std::vector<std::shared_ptr<IPin>> pins_;
  std::size_t next_ = 0;
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

std::shared_ptr<IEnumPins> MakePinList(std::vector<std::shared_ptr<IPin>> pins) {
  return std::make_shared<PinList>(std::move(pins));
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
  enumerator = MakePinList(pins_);
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
