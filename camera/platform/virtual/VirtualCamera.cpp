#include "camera/platform/virtual/VirtualCamera.h"

#include <array>
#include <chrono>
#include <string>
#include <thread>

#include "camera/platform/FaultProbe.h"
#include "camera/platform/virtual/PropertyNames.h"

namespace varnholt::platform::virtualcam {
namespace {

// The fault points of the two families' methods (camera/platform/FaultProbe.h).
using FamilyPoints = std::array<const char*, kPropertyFamilyCount>;
constexpr FamilyPoints kGetRangePoints = {"IAMVideoProcAmp.GetRange", "IAMCameraControl.GetRange"};
constexpr FamilyPoints kGetPoints = {"IAMVideoProcAmp.Get", "IAMCameraControl.Get"};
constexpr FamilyPoints kSetPoints = {"IAMVideoProcAmp.Set", "IAMCameraControl.Set"};
const char* FamilyPoint(PropertyFamilyKind family, const FamilyPoints& points) {
  return points[static_cast<std::size_t>(family)];
}

}  // namespace
namespace {

// State keys: "videoProcAmp.7", "flash", "format", "connected".
std::string PropertyKey(PropertyFamilyKind family, std::int32_t id) {
  return std::string(FamilyKey(family)) + "." + std::to_string(id);
}
std::string BlockKey(Block block) {
  return std::string(InfoOf(block).key);
}
constexpr const char* kFormatKey = "format";
constexpr const char* kConnectedKey = "connected";
constexpr const char* kPlugsKey = "plugs";

bool IsFlags(std::int64_t flags) {
  return flags == kPropertyFlagsAuto || flags == kPropertyFlagsManual;
}

bool Connected(const StateEntries& state) {
  const auto it = state.find(kConnectedKey);
  return it == state.end() || it->second.size() != 1 || it->second[0] != 0;
}

// A stored entry of n numbers, or null when absent or the wrong shape.
const std::vector<std::int64_t>* Entry(const StateEntries& state, const std::string& key,
                                       std::size_t n) {
  const auto it = state.find(key);
  return it != state.end() && it->second.size() == n ? &it->second : nullptr;
}

std::int64_t Plugs(const StateEntries& state) {
  const auto it = state.find(kPlugsKey);
  return it != state.end() && it->second.size() == 1 ? it->second[0] : 0;
}

}  // namespace

VirtualCamera::VirtualCamera(CameraDescription description,
                             std::shared_ptr<const StateSettings> settings)
    : description_(std::move(description)), state_(std::move(settings), description_.devicePath) {}

std::shared_ptr<VirtualCamera> VirtualCamera::Bind() const {
  auto bound = std::make_shared<VirtualCamera>(*this);
  bound->boundPlug_ = Plugs(state_.Read());
  return bound;
}

bool VirtualCamera::Reachable(const StateEntries& state) const {
  return Connected(state) && (!boundPlug_ || Plugs(state) == *boundPlug_);
}

bool VirtualCamera::IsConnected() const {
  return Reachable(state_.Read());
}

std::int64_t VirtualCamera::PlugCount() const {
  return Plugs(state_.Read());
}

HResult VirtualCamera::CheckConnected() const {
  return IsConnected() ? hr::Ok : hr::DeviceNotConnected;
}

HResult VirtualCamera::SetConnected(bool connected) {
  return state_.Update([connected](StateEntries& state) {
    // Every change of plug state counts, so that bindings made before it
    // can tell they are stale.
    if (Connected(state) != connected)
      state[kPlugsKey] = {Plugs(state) + 1};
    state[kConnectedKey] = {connected ? 1 : 0};
  });
}

HResult VirtualCamera::Lookup(PropertyFamilyKind family, std::int32_t id, const StateEntries& state,
                              const PropertyDescription*& property) const {
  if (!Reachable(state))
    return hr::DeviceNotConnected;
  if (!description_.families[static_cast<std::size_t>(family)])
    return hr::PropSetUnsupported;
  property = description_.FindProperty(family, id);
  if (!property || property->unsupported)
    return hr::PropIdUnsupported;
  return hr::Ok;
}

HResult VirtualCamera::GetRange(PropertyFamilyKind family, std::int32_t id,
                                PropertyRange& range) const {
  if (const auto fault = ProbeFault(FamilyPoint(family, kGetRangePoints), description_.devicePath))
    return *fault;
  const PropertyDescription* p = nullptr;
  if (const HResult code = Lookup(family, id, state_.Read(), p); code != hr::Ok)
    return code;
  if (p->failRange)
    return *p->failRange;
  range = PropertyRange{p->min, p->max, p->step, p->defaultValue, p->caps};
  return hr::Ok;
}

HResult VirtualCamera::Get(PropertyFamilyKind family, std::int32_t id, std::int32_t& value,
                           std::int32_t& flags) const {
  if (const auto fault = ProbeFault(FamilyPoint(family, kGetPoints), description_.devicePath))
    return *fault;
  const StateEntries state = state_.Read();
  const PropertyDescription* p = nullptr;
  if (const HResult code = Lookup(family, id, state, p); code != hr::Ok)
    return code;
  if (p->failGet)
    return *p->failGet;
  value = p->value;
  flags = p->flags;
  // A stored pair outside what the device allows is not trusted.
  const auto* stored = Entry(state, PropertyKey(family, id), 2);
  if (stored && (*stored)[0] >= p->min && (*stored)[0] <= p->max && IsFlags((*stored)[1])) {
    value = static_cast<std::int32_t>((*stored)[0]);
    flags = static_cast<std::int32_t>((*stored)[1]);
  }
  return hr::Ok;
}

HResult VirtualCamera::Set(PropertyFamilyKind family, std::int32_t id, std::int32_t value,
                           std::int32_t flags) {
  if (const auto fault = ProbeFault(FamilyPoint(family, kSetPoints), description_.devicePath))
    return *fault;
  const PropertyDescription* p = nullptr;
  if (const HResult code = Lookup(family, id, state_.Read(), p); code != hr::Ok)
    return code;
  if (p->failSet)
    return *p->failSet;
  if (!IsFlags(flags) || (p->caps & flags) == 0)
    return hr::InvalidArg;
  if (value < p->min || value > p->max)
    return hr::InvalidArg;
  if (p->setMs > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(p->setMs));
  return state_.Update([&](StateEntries& state) {
    state[PropertyKey(family, id)] = {value, flags};
  });
}

HResult VirtualCamera::LookupBlock(Block block, const StateEntries& state,
                                   const BlockDescription*& description) const {
  if (!Reachable(state))
    return hr::DeviceNotConnected;
  const auto& described = description_.blocks[static_cast<std::size_t>(block)];
  if (!described)
    return hr::PropSetUnsupported;
  description = &*described;
  return hr::Ok;
}

HResult VirtualCamera::GetBlock(Block block, BlockWords& words) const {
  const StateEntries state = state_.Read();
  const BlockDescription* d = nullptr;
  if (const HResult code = LookupBlock(block, state, d); code != hr::Ok)
    return code;
  if (d->failGet)
    return *d->failGet;
  words = d->words;
  const auto* stored = Entry(state, BlockKey(block), 2);
  if (stored && (*stored)[0] >= 0 && (*stored)[0] < InfoOf(block).modeCount &&
      IsFlags((*stored)[1]))
    words = BlockWords{static_cast<std::uint32_t>((*stored)[0]),
                       static_cast<std::uint32_t>((*stored)[1])};
  return hr::Ok;
}

HResult VirtualCamera::SetBlock(Block block, const BlockWords& words) {
  const BlockDescription* d = nullptr;
  if (const HResult code = LookupBlock(block, state_.Read(), d); code != hr::Ok)
    return code;
  if (d->failSet)
    return *d->failSet;
  if (words.mode >= InfoOf(block).modeCount || !IsFlags(words.flags))
    return hr::InvalidArg;
  return state_.Update([&](StateEntries& state) {
    state[BlockKey(block)] = {static_cast<std::int64_t>(words.mode),
                              static_cast<std::int64_t>(words.flags)};
  });
}

HResult VirtualCamera::GetFormatIndex(std::size_t& index) const {
  const StateEntries state = state_.Read();
  if (!Reachable(state))
    return hr::DeviceNotConnected;
  if (description_.formats.empty())
    return hr::Fail;
  index = 0;
  const auto* stored = Entry(state, kFormatKey, 1);
  if (stored && (*stored)[0] >= 0 &&
      static_cast<std::uint64_t>((*stored)[0]) < description_.formats.size())
    index = static_cast<std::size_t>((*stored)[0]);
  return hr::Ok;
}

HResult VirtualCamera::SetFormatIndex(std::size_t index) {
  if (const HResult code = CheckConnected(); code != hr::Ok)
    return code;
  if (index >= description_.formats.size())
    return hr::InvalidArg;
  return state_.Update(
      [index](StateEntries& state) { state[kFormatKey] = {static_cast<std::int64_t>(index)}; });
}

}  // namespace varnholt::platform::virtualcam
