#pragma once

// What a source pin delivers to when the graph connects it: one receiver
// that hands each sample, with its time, to every branch fed from the pin,
// as the framework's tee splits a capture stream. The source sees a single
// connection; branches come and go behind it.
//
// What callers may rely on:
// - a branch added once the pin is connected takes its format first, and a
//   branch that refuses it is not added; a new format reaches every branch;
// - every branch gets the same immutable sample with the same time, in the
//   order the branches were added;
// - once RemoveBranch returns, the branch gets no further Receive; called
//   from a delivery (a branch's callback), only the Receive running on that
//   thread finishes.

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "camera/platform/graph/StreamInterfaces.h"

namespace varnholt::platform::graph {

class StreamTee final : public IFrameReceiver {
 public:
  HResult AddBranch(const std::shared_ptr<IFrameReceiver>& branch);
  // Breaks the branch's connection; false when it was not a branch here.
  bool RemoveBranch(const std::shared_ptr<IFrameReceiver>& branch);
  std::size_t BranchCount() const;

  HResult ReceiveConnection(const AmMediaType& mediaType) override;
  void BreakConnection() override;
  HResult Receive(const std::shared_ptr<IMediaSample>& sample, double sampleTime) override;

 private:
  using Branches = std::vector<std::shared_ptr<IFrameReceiver>>;

  std::shared_ptr<const Branches> Snapshot() const;

  mutable std::mutex mutex_;
  // Replaced, never changed, so a delivery walks its own copy unlocked.
  std::shared_ptr<const Branches> branches_ = std::make_shared<const Branches>();
  std::optional<AmMediaType> format_;
  // Held while a branch receives, so a removal waits for it; recursive, as a
  // branch's callback may remove that branch itself.
  std::recursive_mutex delivering_;
};

}  // namespace varnholt::platform::graph
