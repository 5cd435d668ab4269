#pragma once

// Parts the graph's own filters share: the format a pin is connected with,
// plain input and output pins, and membership of a graph.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "camera/platform/Interfaces.h"
#include "camera/platform/graph/StreamInterfaces.h"

namespace varnholt::platform::graph {

// The media type of a connection, read and changed from any thread.
class ConnectionFormat {
 public:
  void Set(const AmMediaType& mediaType);
  void Clear();
  std::optional<AmMediaType> Get() const;
  bool IsConnected() const;

 private:
  mutable std::mutex mutex_;
  std::optional<AmMediaType> type_;
};

// A pin of one of the graph's own filters: its media types are the
// connected one, or none while unconnected.
std::shared_ptr<IPin> MakeFilterPin(PinDirection direction, std::string id,
                                    std::shared_ptr<const ConnectionFormat> format);

// The name and graph a filter was added with; callers use it from any thread.
class GraphMembership {
 public:
  explicit GraphMembership(std::string defaultName) : defaultName_(std::move(defaultName)) {}

  HResult Join(const std::weak_ptr<IGraphBuilder>& graph, const std::string& name);
  // The graph's name for the filter and the graph, or the default name and
  // no graph outside one.
  void Describe(FilterInfo& info) const;

 private:
  mutable std::mutex mutex_;
  std::string defaultName_;
  std::string name_;
  std::weak_ptr<IGraphBuilder> graph_;
  bool joined_ = false;
};

// The filter side the graph's own filters share: their pins, all on one
// connection, and the name and graph they were added with.
class GraphFilter : public IBaseFilter, public IGraphMember {
 public:
  GraphFilter(std::string defaultName, std::vector<std::pair<PinDirection, std::string>> pins);

  HResult EnumPins(std::shared_ptr<IEnumPins>& enumerator) override;
  HResult QueryFilterInfo(FilterInfo& info) override;
  HResult JoinFilterGraph(const std::weak_ptr<IGraphBuilder>& graph,
                          const std::string& name) override;

 protected:
  const std::shared_ptr<ConnectionFormat> connection_;

 private:
  std::vector<std::shared_ptr<IPin>> pins_;
  GraphMembership membership_;
};

}  // namespace varnholt::platform::graph
