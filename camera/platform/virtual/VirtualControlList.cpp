#include "camera/platform/virtual/VirtualControlList.h"
#include "camera/platform/FaultProbe.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "camera/platform/kit/SingleInterface.h"
#include "camera/platform/virtual/PropertyNames.h"

namespace varnholt::platform::virtualcam {
namespace {

using Menu = std::vector<std::pair<std::int64_t, std::string>>;

constexpr std::int32_t kPowerLineFrequency = 13;  // video processing
constexpr std::int32_t kColorEnable = 6;          // video processing
constexpr std::int32_t kScanMode = 7;             // camera control

const Menu kPowerLineMenu = {{0, "Disabled"}, {1, "50 Hz"}, {2, "60 Hz"}, {3, "Auto"}};
const Menu kScanModeMenu = {{0, "Interlaced"}, {1, "Progressive"}};
const Menu kFlashMenu = {{0, "Off"}, {1, "On"}, {2, "Auto"}};
const Menu kStabilizationMenu = {{0, "Off"}, {1, "High"}, {2, "Medium"}, {3, "Low"}, {4, "Auto"}};

// The published menu of a property, or null for a plain number.
const Menu* MenuOf(PropertyFamilyKind family, std::int32_t id) {
  if (family == PropertyFamilyKind::VideoProcAmp && id == kPowerLineFrequency)
    return &kPowerLineMenu;
  if (family == PropertyFamilyKind::CameraControl && id == kScanMode)
    return &kScanModeMenu;
  return nullptr;
}

const char* GroupOf(PropertyFamilyKind family) {
  return family == PropertyFamilyKind::VideoProcAmp ? kGroupVideoProcAmp : kGroupCameraControl;
}

bool InMenu(const std::vector<std::pair<std::int64_t, std::string>>& menu, std::int64_t value) {
  return std::any_of(menu.begin(), menu.end(), [&](const auto& e) { return e.first == value; });
}

// What one control of the list stands for.
struct ControlEntry {
  enum class Kind { Value, Auto, BlockMode } kind;
  PropertyFamilyKind family = PropertyFamilyKind::VideoProcAmp;
  const PropertyDescription* property = nullptr;  // Value and Auto
  Block block = Block::Flash;                     // BlockMode
};

class ControlList final : public kit::SplitInterface<IControlList> {
 public:
  ControlList(std::shared_ptr<VirtualCamera> camera, std::weak_ptr<Unknown> owner)
      : SplitInterface(std::move(owner)), camera_(std::move(camera)) {
    // Ordered as a driver numbers them: family, then property id, each
    // automatic switch just before the value it governs.
    const CameraDescription& d = camera_->Description();
    for (const PropertyFamilyKind family :
         {PropertyFamilyKind::VideoProcAmp, PropertyFamilyKind::CameraControl}) {
      const auto& list = d.families[static_cast<std::size_t>(family)];
      if (!list)
        continue;
      std::vector<const PropertyDescription*> sorted;
      for (const auto& p : *list)
        if (!p.unsupported)
          sorted.push_back(&p);
      std::sort(sorted.begin(), sorted.end(), [](auto* a, auto* b) { return a->id < b->id; });
      for (const auto* p : sorted) {
        if (p->caps & kPropertyFlagsAuto)
          entries_.push_back({ControlEntry::Kind::Auto, family, p});
        entries_.push_back({ControlEntry::Kind::Value, family, p});
      }
    }
    for (const Block block : {Block::Flash, Block::Stabilization})
      if (d.blocks[static_cast<std::size_t>(block)])
        entries_.push_back(
            {ControlEntry::Kind::BlockMode, PropertyFamilyKind::CameraControl, nullptr, block});
  }

  HResult GetControls(std::vector<ControlInfo>& controls) override {
    if (const auto fault =
            ProbeFault("IControlList.GetControls", camera_->Description().devicePath))
      return *fault;
    if (const HResult code = camera_->CheckConnected(); code != hr::Ok)
      return code;
    controls.clear();
    for (std::size_t i = 0; i < entries_.size(); ++i)
      controls.push_back(Describe(entries_[i], static_cast<std::uint32_t>(i + 1)));
    return hr::Ok;
  }

  HResult GetValue(std::uint32_t id, std::int64_t& value) override {
    if (const auto fault = ProbeFault("IControlList.GetValue", camera_->Description().devicePath))
      return *fault;
    const ControlEntry* entry = nullptr;
    if (const HResult code = Find(id, entry); code != hr::Ok)
      return code;
    if (entry->kind == ControlEntry::Kind::BlockMode) {
      BlockWords words;
      const HResult code = camera_->GetBlock(entry->block, words);
      if (code == hr::Ok)
        value = words.mode;
      return code;
    }
    std::int32_t current = 0, flags = 0;
    const HResult code = camera_->Get(entry->family, entry->property->id, current, flags);
    if (code == hr::Ok)
      value = entry->kind == ControlEntry::Kind::Auto ? ((flags & kPropertyFlagsAuto) ? 1 : 0)
                                                      : current;
    return code;
  }

  HResult SetValue(std::uint32_t id, std::int64_t value) override {
    if (const auto fault = ProbeFault("IControlList.SetValue", camera_->Description().devicePath))
      return *fault;
    const ControlEntry* entry = nullptr;
    if (const HResult code = Find(id, entry); code != hr::Ok)
      return code;
    const ControlInfo info = Describe(*entry, id);
    if (value < info.minimum || value > info.maximum)
      return hr::InvalidArg;
    if (info.type == ControlInfo::Type::Menu && !InMenu(info.menu, value))
      return hr::InvalidArg;

    if (entry->kind == ControlEntry::Kind::BlockMode) {
      // The mode changes; the control flags stay as the device has them.
      BlockWords words;
      if (const HResult code = camera_->GetBlock(entry->block, words); code != hr::Ok)
        return code;
      words.mode = static_cast<std::uint32_t>(value);
      return camera_->SetBlock(entry->block, words);
    }
    std::int32_t current = 0, flags = 0;
    const std::int32_t property = entry->property->id;
    if (const HResult code = camera_->Get(entry->family, property, current, flags); code != hr::Ok)
      return code;
    if (entry->kind == ControlEntry::Kind::Auto)
      return camera_->Set(entry->family, property, current,
                          value ? kPropertyFlagsAuto : kPropertyFlagsManual);
    // A value write keeps the mode; odd described flags count as manual.
    const std::int32_t mode =
        (flags & kPropertyFlagsAuto) ? kPropertyFlagsAuto : kPropertyFlagsManual;
    return camera_->Set(entry->family, property, static_cast<std::int32_t>(value), mode);
  }

 private:
  HResult Find(std::uint32_t id, const ControlEntry*& entry) const {
    if (const HResult code = camera_->CheckConnected(); code != hr::Ok)
      return code;
    if (id == 0 || id > entries_.size())
      return hr::InvalidArg;
    entry = &entries_[id - 1];
    return hr::Ok;
  }

  ControlInfo Describe(const ControlEntry& entry, std::uint32_t id) const {
    ControlInfo info;
    info.id = id;
    info.group = GroupOf(entry.family);
    if (entry.kind == ControlEntry::Kind::BlockMode) {
      const BlockInfo& block = InfoOf(entry.block);
      info.name = entry.block == Block::Flash ? "Flash Mode" : "Stabilization Mode";
      info.type = ControlInfo::Type::Menu;
      info.maximum = block.modeCount - 1;
      info.menu = entry.block == Block::Flash ? kFlashMenu : kStabilizationMenu;
      info.defaultValue =
          camera_->Description().blocks[static_cast<std::size_t>(entry.block)]->words.mode;
      return info;
    }

    const PropertyDescription& p = *entry.property;
    const bool settable = (p.caps & kPropertyFlagsManual) != 0;
    info.name = ControlName(entry.family, p.id);
    info.readOnly = !settable;
    if (entry.kind == ControlEntry::Kind::Auto) {
      info.name += ", Auto";
      info.type = ControlInfo::Type::Boolean;
      info.maximum = 1;
      info.defaultValue = (p.flags & kPropertyFlagsAuto) ? 1 : 0;
      return info;
    }

    info.minimum = p.min;
    info.maximum = p.max;
    info.step = p.step;
    info.defaultValue = p.defaultValue;
    if (const Menu* menu = MenuOf(entry.family, p.id)) {
      info.type = ControlInfo::Type::Menu;
      for (const auto& item : *menu)
        if (item.first >= p.min && item.first <= p.max)
          info.menu.push_back(item);
    } else if (entry.family == PropertyFamilyKind::VideoProcAmp && p.id == kColorEnable &&
               p.min == 0 && p.max == 1) {
      info.type = ControlInfo::Type::Boolean;
    }
    // Under automatic control the value follows the device, not the user.
    std::int32_t value = 0, flags = 0;
    if (camera_->Get(entry.family, p.id, value, flags) == hr::Ok)
      info.inactive = (flags & kPropertyFlagsAuto) != 0;
    return info;
  }

  std::shared_ptr<VirtualCamera> camera_;
  std::vector<ControlEntry> entries_;
};

}  // namespace

std::shared_ptr<IControlList> MakeControlList(std::shared_ptr<VirtualCamera> camera,
                                              std::weak_ptr<Unknown> owner) {
  return std::make_shared<ControlList>(std::move(camera), std::move(owner));
}

std::string ControlName(PropertyFamilyKind family, std::int32_t id) {
  const std::string_view published = PropertyNameOf(family, id);
  if (published.empty())
    return std::string(GroupOf(family)) + " " + std::to_string(id);
  std::string name;
  for (std::size_t i = 0; i < published.size(); ++i) {
    const auto c = static_cast<unsigned char>(published[i]);
    if (i > 0 && std::isupper(c) && std::islower(static_cast<unsigned char>(published[i - 1])))
      name += ' ';
    name += static_cast<char>(c);
  }
  return name;
}

}  // namespace varnholt::platform::virtualcam
