#include "camera/platform/graph/StreamTee.h"

#include <algorithm>
#include <utility>

namespace varnholt::platform::graph {

HResult StreamTee::AddBranch(const std::shared_ptr<IFrameReceiver>& branch) {
  if (!branch)
    return hr::Pointer;
  std::optional<AmMediaType> format;
  {
    std::lock_guard lock(mutex_);
    format = format_;
  }
  if (format) {
    if (const HResult code = branch->ReceiveConnection(*format); Failed(code))
      return code;
  }
  std::lock_guard lock(mutex_);
  auto branches = std::make_shared<Branches>(*branches_);
  branches->push_back(branch);
  branches_ = std::move(branches);
  return hr::Ok;
}

bool StreamTee::RemoveBranch(const std::shared_ptr<IFrameReceiver>& branch) {
  {
    std::lock_guard lock(mutex_);
    auto branches = std::make_shared<Branches>(*branches_);
    if (std::erase(*branches, branch) == 0)
      return false;
    branches_ = std::move(branches);
  }
  // A delivery that took the old list ends before the branch lets go.
  { std::lock_guard wait(delivering_); }
  branch->BreakConnection();
  return true;
}

std::size_t StreamTee::BranchCount() const {
  return Snapshot()->size();
}

HResult StreamTee::ReceiveConnection(const AmMediaType& mediaType) {
  for (const auto& branch : *Snapshot())
    if (const HResult code = branch->ReceiveConnection(mediaType); Failed(code))
      return code;
  std::lock_guard lock(mutex_);
  format_ = mediaType;
  format_->pUnk.reset();  // a stored type keeps no object alive
  return hr::Ok;
}

void StreamTee::BreakConnection() {
  std::shared_ptr<const Branches> branches;
  {
    std::lock_guard lock(mutex_);
    branches = std::exchange(branches_, std::make_shared<const Branches>());
    format_.reset();
  }
  { std::lock_guard wait(delivering_); }
  for (const auto& branch : *branches)
    branch->BreakConnection();
}

HResult StreamTee::Receive(const std::shared_ptr<IMediaSample>& sample, double sampleTime) {
  std::lock_guard lock(delivering_);
  HResult result = hr::Ok;
  for (const auto& branch : *Snapshot()) {
    // A branch removed by an earlier branch's callback gets no more frames.
    const auto current = Snapshot();
    if (std::find(current->begin(), current->end(), branch) == current->end())
      continue;
    // One branch's failure is its own: the others still get the frame.
    if (const HResult code = branch->Receive(sample, sampleTime); Failed(code) && result == hr::Ok)
      result = code;
  }
  return result;
}

std::shared_ptr<const StreamTee::Branches> StreamTee::Snapshot() const {
  std::lock_guard lock(mutex_);
  return branches_;
}

}  // namespace varnholt::platform::graph
