#include "camera/platform/v4l2/V4l2ControlList.h"

#include <linux/videodev2.h>

#include <cerrno>
#include <optional>

#include "camera/platform/kit/SingleInterface.h"
#include "camera/platform/v4l2/V4l2Errors.h"

namespace varnholt::platform::v4l2 {
namespace {

std::optional<ControlInfo::Type> KindOf(std::uint32_t type) {
  switch (type) {
    case V4L2_CTRL_TYPE_INTEGER:
    case V4L2_CTRL_TYPE_INTEGER64:
      return ControlInfo::Type::Integer;
    case V4L2_CTRL_TYPE_BOOLEAN:
      return ControlInfo::Type::Boolean;
    case V4L2_CTRL_TYPE_MENU:
    case V4L2_CTRL_TYPE_INTEGER_MENU:
      return ControlInfo::Type::Menu;
    case V4L2_CTRL_TYPE_BUTTON:
      return ControlInfo::Type::Button;
    default:
      return std::nullopt;  // strings, bitmasks, compound controls
  }
}

class ControlList final : public kit::SplitInterface<IControlList> {
 public:
  ControlList(std::shared_ptr<V4l2Device> device, std::weak_ptr<Unknown> owner)
      : SplitInterface(std::move(owner)), device_(std::move(device)) {}

  HResult GetControls(std::vector<ControlInfo>& controls) override {
    std::vector<V4l2ControlInfo> found;
    if (int ret = device_->QueryControls(found); ret < 0)
      return ResultFromErrno(ret);
    std::vector<ControlInfo> out;
    for (const auto& c : found) {
      const auto kind = KindOf(c.type);
      if (!kind || (c.flags & V4L2_CTRL_FLAG_HAS_PAYLOAD))
        continue;
      ControlInfo info;
      info.id = c.id;
      info.name = c.name;
      info.group = c.group;
      info.type = *kind;
      info.minimum = c.minimum;
      info.maximum = c.maximum;
      info.step = static_cast<std::int64_t>(c.step);
      info.defaultValue = c.defaultValue;
      for (const auto& item : c.menu)
        info.menu.emplace_back(item.value, item.name);
      info.readOnly = !c.IsWritable();
      info.inactive = c.IsInactive();
      out.push_back(std::move(info));
    }
    controls = std::move(out);
    return hr::Ok;
  }

  HResult GetValue(std::uint32_t id, std::int64_t& value) override {
    V4l2ControlInfo info;
    if (int ret = device_->QueryControl(id, info); ret < 0)
      return ret == -EINVAL ? hr::PropIdUnsupported : ResultFromErrno(ret);
    V4l2ControlValue v{id, 0, info.Is64Bit()};
    if (int ret = device_->GetControls({&v, 1}); ret < 0)
      return ResultFromErrno(ret);
    value = v.value;
    return hr::Ok;
  }

  HResult SetValue(std::uint32_t id, std::int64_t value) override {
    V4l2ControlInfo info;
    if (int ret = device_->QueryControl(id, info); ret < 0)
      return ret == -EINVAL ? hr::PropIdUnsupported : ResultFromErrno(ret);
    const V4l2ControlValue v{id, value, info.Is64Bit()};
    const int ret = device_->SetControls({&v, 1});
    // Drivers mark a control an automatic mode owns as inactive.
    return ResultFromValueWrite(ret, info.IsInactive());
  }

 private:
  std::shared_ptr<V4l2Device> device_;
};

}  // namespace

std::shared_ptr<IControlList> MakeControlList(std::shared_ptr<V4l2Device> device,
                                              std::weak_ptr<Unknown> owner) {
  return std::make_shared<ControlList>(std::move(device), std::move(owner));
}

}  // namespace varnholt::platform::v4l2
