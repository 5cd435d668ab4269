#include "camera/platform/graph/FilterGraph.h"
#include "camera/platform/FaultProbe.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <vector>

#include "camera/platform/graph/GraphErrors.h"
#include "camera/platform/graph/StreamEventQueue.h"
#include "camera/platform/graph/StreamTee.h"
#include "camera/platform/kit/SingleInterface.h"

namespace varnholt::platform::graph {
namespace {

using Clock = std::chrono::steady_clock;

struct FilterEntry {
  std::shared_ptr<IBaseFilter> filter;
  std::string name;
  std::shared_ptr<IStreamSource> source;   // when the filter produces frames
  std::shared_ptr<IGraphMember> member;    // when it wants to know its graph
  std::shared_ptr<IRunListener> listener;  // when it wants to know of runs and stops
};

// A connected route: the branch it takes of its pin's tee.
struct Link {
  StreamRoute route;
  std::shared_ptr<StreamTee> tee;
  std::shared_ptr<IFrameReceiver> branch;  // the route's first filter

  bool Involves(const std::shared_ptr<IBaseFilter>& filter) const {
    return route.sourceFilter == filter || route.intermediateFilter == filter ||
           route.sinkFilter == filter;
  }

  // The inputs the route feeds: a sink with an input per type may take a
  // route for each of them.
  std::vector<const IFrameReceiver*> Inputs() const {
    std::vector<const IFrameReceiver*> inputs{route.sink.get()};
    if (route.intermediate)
      inputs.push_back(static_cast<const IFrameReceiver*>(route.intermediate.get()));
    return inputs;
  }
};

class FilterGraph final : public IGraphBuilder,
                          public IMediaControl,
                          public IMediaEvent,
                          public IStreamGraph,
                          public std::enable_shared_from_this<FilterGraph> {
 public:
  ~FilterGraph() override {
    std::lock_guard lock(mutex_);
    StopSources();
    TellStopped();
    while (!links_.empty())
      Unlink(links_.size() - 1);
    for (const auto& entry : filters_)
      if (entry.member)
        entry.member->JoinFilterGraph({}, {});
  }

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return kit::AnswerFor<IGraphBuilder, IMediaControl, IMediaEvent>(iid, shared_from_this());
  }

  // ---- IGraphBuilder

  HResult AddFilter(const std::shared_ptr<IBaseFilter>& filter, const std::string& name) override {
    if (const auto fault = ProbeFault("IGraphBuilder.AddFilter"))
      return *fault;
    if (!filter)
      return hr::Pointer;
    std::lock_guard lock(mutex_);
    if (Find(filter) != filters_.end())
      return hr::InvalidArg;  // already in this graph
    FilterEntry entry{filter, UniqueName(name.empty() ? "Filter" : name),
                      std::dynamic_pointer_cast<IStreamSource>(filter),
                      std::dynamic_pointer_cast<IGraphMember>(filter),
                      std::dynamic_pointer_cast<IRunListener>(filter)};
    if (entry.member) {
      const std::weak_ptr<IGraphBuilder> self =
          std::static_pointer_cast<IGraphBuilder>(shared_from_this());
      if (const HResult code = entry.member->JoinFilterGraph(self, entry.name); Failed(code))
        return code;
    }
    const bool renamed = !name.empty() && entry.name != name;
    filters_.push_back(std::move(entry));
    return renamed ? vfw::DuplicateName : hr::Ok;
  }

  HResult RemoveFilter(const std::shared_ptr<IBaseFilter>& filter) override {
    if (const auto fault = ProbeFault("IGraphBuilder.RemoveFilter"))
      return *fault;
    std::lock_guard lock(mutex_);
    const auto it = Find(filter);
    if (it == filters_.end())
      return vfw::NotInGraph;
    if (state_ != kStateStopped && !IsSpareBranch(*it))
      return vfw::NotStopped;
    for (std::size_t i = links_.size(); i-- > 0;)
      if (links_[i].Involves(filter))
        Unlink(i);
    if (it->member)
      it->member->JoinFilterGraph({}, {});
    filters_.erase(it);
    return hr::Ok;
  }

  // ---- IMediaControl

  HResult Run() override {
    if (const auto fault = ProbeFault("IMediaControl.Run"))
      return *fault;
    std::lock_guard lock(mutex_);
    if (state_ == kStateRunning)
      return hr::Ok;
    const double startTime = state_ == kStatePaused ? pausedAt_ : 0.0;
    // The graph's clock starts before any source's, so the time at a later
    // pause is never earlier than a sample a source has stamped.
    const auto startedAt = Clock::now();
    for (const auto& entry : filters_) {
      if (!entry.listener)
        continue;
      if (const HResult code = entry.listener->Running(events_); Failed(code)) {
        TellStopped();
        return code;
      }
    }
    for (std::size_t i = 0; i < filters_.size(); ++i) {
      const auto& source = filters_[i].source;
      if (!source)
        continue;
      if (const HResult code = source->Start({startTime, startedAt}, events_); Failed(code)) {
        for (std::size_t j = 0; j < i; ++j)
          if (filters_[j].source)
            filters_[j].source->Stop();
        TellStopped();
        return code;
      }
    }
    runStartedAt_ = startedAt;
    runStartTime_ = startTime;
    state_ = kStateRunning;
    return hr::Ok;
  }

  HResult Pause() override {
    if (const auto fault = ProbeFault("IMediaControl.Pause"))
      return *fault;
    std::lock_guard lock(mutex_);
    if (state_ == kStateRunning) {
      // A live source cannot hold a frame, so pausing stops delivery; stream
      // time goes on from here at the next Run.
      StopSources();
      pausedAt_ =
          runStartTime_ + std::chrono::duration<double>(Clock::now() - runStartedAt_).count();
    } else if (state_ == kStateStopped) {
      pausedAt_ = 0.0;
    }
    state_ = kStatePaused;
    return hr::Ok;
  }

  HResult Stop() override {
    if (const auto fault = ProbeFault("IMediaControl.Stop"))
      return *fault;
    std::lock_guard lock(mutex_);
    StopSources();
    const HResult result = TellStopped();
    state_ = kStateStopped;
    events_->Wake();
    return result;
  }

  HResult StopWhenReady() override {
    if (const auto fault = ProbeFault("IMediaControl.StopWhenReady"))
      return *fault;
    // Live sources have no frames to finish.
    return Stop();
  }

  HResult GetState(std::int32_t, std::int32_t& state) override {
    if (const auto fault = ProbeFault("IMediaControl.GetState"))
      return *fault;
    state = state_;  // every transition completes before its call returns
    return hr::Ok;
  }

  // ---- IMediaEvent

  HResult WaitForCompletion(std::int32_t timeoutMs, std::int32_t& eventCode) override {
    if (const auto fault = ProbeFault("IMediaEvent.WaitForCompletion"))
      return *fault;
    if (state_ != kStateRunning)
      return vfw::WrongState;
    return events_->WaitForCompletion(timeoutMs, eventCode);
  }

  // ---- IStreamGraph

  bool Contains(const std::shared_ptr<IBaseFilter>& filter) const override {
    std::lock_guard lock(mutex_);
    return Find(filter) != filters_.end();
  }

  std::shared_ptr<IBaseFilter> SourceOfPin(const std::shared_ptr<IPin>& pin) const override {
    std::lock_guard lock(mutex_);
    for (const auto& entry : filters_) {
      if (!entry.source)
        continue;
      for (const auto& p : entry.source->SourcePins())
        if (p.pin == pin)
          return entry.filter;
    }
    return nullptr;
  }

  HResult Connect(const StreamRoute& route) override {
    std::lock_guard lock(mutex_);
    if (state_ != kStateStopped)
      return vfw::NotStopped;
    for (const auto& filter : {route.sourceFilter, route.intermediateFilter, route.sinkFilter})
      if (filter && Find(filter) == filters_.end())
        return vfw::NotInGraph;
    std::shared_ptr<StreamTee> tee;
    const auto inputs = Link{route, nullptr, nullptr}.Inputs();
    for (const auto& other : links_) {
      for (const auto* input : other.Inputs())
        if (std::find(inputs.begin(), inputs.end(), input) != inputs.end())
          return vfw::AlreadyConnected;
      if (other.route.pin == route.pin)
        tee = other.tee;
    }
    if (tee && !route.split)
      return vfw::AlreadyConnected;
    if (route.intermediate) {
      if (const HResult code = route.intermediate->ConnectOutput(route.sink); Failed(code))
        return code;
    }
    const std::shared_ptr<IFrameReceiver> first =
        route.intermediate ? std::static_pointer_cast<IFrameReceiver>(route.intermediate)
                           : route.sink;
    HResult code = hr::Ok;
    if (tee) {
      code = tee->AddBranch(first);
    } else {
      // The source connects once, to the tee; its first branch hears the format.
      tee = std::make_shared<StreamTee>();
      code = tee->AddBranch(first);
      if (Succeeded(code))
        code = route.source->Connect(route.pin, tee, route.request);
    }
    if (Failed(code)) {
      if (route.intermediate)
        route.intermediate->DisconnectOutput();
      return code;
    }
    links_.push_back({route, tee, first});
    return hr::Ok;
  }

 private:
  using Entries = std::vector<FilterEntry>;

  Entries::iterator Find(const std::shared_ptr<IBaseFilter>& filter) {
    return std::find_if(filters_.begin(), filters_.end(),
                        [&](const FilterEntry& e) { return e.filter == filter; });
  }
  Entries::const_iterator Find(const std::shared_ptr<IBaseFilter>& filter) const {
    return std::find_if(filters_.begin(), filters_.end(),
                        [&](const FilterEntry& e) { return e.filter == filter; });
  }

  // "Video capture", then "Video capture 0001", ... as the framework names
  // a second filter of the same name.
  std::string UniqueName(const std::string& name) const {
    const auto taken = [&](const std::string& n) {
      return std::any_of(filters_.begin(), filters_.end(),
                         [&](const FilterEntry& e) { return e.name == n; });
    };
    if (!taken(name))
      return name;
    for (int i = 1;; ++i) {
      char suffix[16];
      std::snprintf(suffix, sizeof suffix, " %04d", i);
      if (!taken(name + suffix))
        return name + suffix;
    }
  }

  void StopSources() {
    for (const auto& entry : filters_)
      if (entry.source)
        entry.source->Stop();
  }

  // Once no source delivers: a file writer finishes its file. The first
  // failure is the answer.
  HResult TellStopped() {
    HResult result = hr::Ok;
    for (const auto& entry : filters_)
      if (entry.listener)
        if (const HResult code = entry.listener->Stopped(); Failed(code) && Succeeded(result))
          result = code;
    return result;
  }

  // Takes the link's branch off its tee; the last branch disconnects the pin.
  void Unlink(std::size_t index) {
    const Link link = links_[index];
    links_.erase(links_.begin() + static_cast<std::ptrdiff_t>(index));
    link.tee->RemoveBranch(link.branch);
    if (link.tee->BranchCount() == 0)
      link.route.source->Disconnect(link.route.pin);
    if (link.route.intermediate)
      link.route.intermediate->DisconnectOutput();
  }

  // Whether the filter only takes branches of pins that keep another one,
  // so it may leave while its source streams on.
  bool IsSpareBranch(const FilterEntry& entry) const {
    if (entry.source)
      return false;
    bool involved = false;
    for (const auto& link : links_) {
      if (!link.Involves(entry.filter))
        continue;
      involved = true;
      const bool othersRemain = std::any_of(links_.begin(), links_.end(), [&](const Link& other) {
        return other.tee == link.tee && !other.Involves(entry.filter);
      });
      if (!othersRemain)
        return false;
    }
    return involved;
  }

  mutable std::mutex mutex_;
  Entries filters_;
  std::vector<Link> links_;
  // Read without the lock: a streaming callback may ask for the state.
  std::atomic<std::int32_t> state_{kStateStopped};
  double pausedAt_ = 0.0;
  double runStartTime_ = 0.0;
  Clock::time_point runStartedAt_;
  const std::shared_ptr<StreamEventQueue> events_ = std::make_shared<StreamEventQueue>();
};

}  // namespace

std::shared_ptr<IGraphBuilder> MakeFilterGraph() {
  return std::make_shared<FilterGraph>();
}

}  // namespace varnholt::platform::graph
