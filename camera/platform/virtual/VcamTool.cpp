#include "camera/platform/virtual/VcamTool.h"

#include <chrono>
#include <optional>
#include <stdexcept>
#include <thread>
#include <variant>

#include "camera/platform/virtual/DeviceLock.h"
#include "camera/platform/virtual/PropertyNames.h"
#include "camera/platform/virtual/VirtualCameraSet.h"
#include "camera/platform/virtual/VirtualPlatform.h"
#include "platform/TerminalText.h"

namespace varnholt::platform::virtualcam {
namespace {

constexpr const char* kUsage =
    "usage: varnholt-vcam list\n"
    "       varnholt-vcam get CAMERA PROPERTY\n"
    "       varnholt-vcam set CAMERA PROPERTY VALUE [auto|manual]\n"
    "       varnholt-vcam unplug|plug CAMERA\n"
    "       varnholt-vcam hold CAMERA   (keeps it busy, as another program would, until killed)\n"
    "CAMERA is a friendly name or a device path; PROPERTY is a property name such as\n"
    "Brightness or Exposure, or Flash or Stabilization (VALUE is then the mode).\n"
    "The cameras come from VARNHOLT_VIRTUAL_CAMERAS (else the built-in set), their\n"
    "state from VARNHOLT_VIRTUAL_STATE (else the per-user runtime folder).\n";

// A failure with the message to print.
struct ToolError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct PropertyTarget {
  PropertyFamilyKind family;
  std::int32_t id;
};
using Target = std::variant<PropertyTarget, Block>;

QString FlagsText(std::int64_t flags) {
  if (flags == kPropertyFlagsAuto)
    return "auto";
  if (flags == kPropertyFlagsManual)
    return "manual";
  return QString::number(flags);
}

class Tool {
 public:
  explicit Tool(QTextStream& out) : out_(out) {}

  void Run(const QStringList& args) {
    if (args.isEmpty())
      throw ToolError(kUsage);
    const QString command = args[0];
    if (command == "list" && args.size() == 1)
      return List();
    if (command == "get" && args.size() == 3)
      return Get(args[1], args[2]);
    if (command == "set" && (args.size() == 4 || args.size() == 5))
      return Set(args[1], args[2], args[3], args.size() == 5 ? args[4] : "manual");
    if (command == "hold" && args.size() == 2)
      return Hold(args[1]);
    if ((command == "plug" || command == "unplug") && args.size() == 2)
      return Check(
          Cameras().SetConnected(Find(args[1])->Description().devicePath, command == "plug"),
          command);
    throw ToolError(kUsage);
  }

 private:
  VirtualCameraSet& Cameras() {
    if (!platform_)
      platform_ = VirtualPlatform::FromEnvironment();
    return *platform_->Cameras();
  }

  std::shared_ptr<VirtualCamera> Find(const QString& nameOrPath) {
    const auto found = Cameras().Find(nameOrPath.toStdString());
    if (found.empty())
      throw ToolError("no virtual camera is named \"" + nameOrPath.toStdString() + "\"");
    if (found.size() > 1)
      throw ToolError("several virtual cameras are named \"" + nameOrPath.toStdString() +
                      "\"; give the device path");
    return found.front();
  }

  static Target TargetOf(const QString& name) {
    if (const auto block = BlockByName(name.toStdString()))
      return *block;
    if (const auto property = FindPropertyName(name.toStdString()))
      return PropertyTarget{property->family, property->id};
    throw ToolError("unknown property \"" + name.toStdString() + "\"");
  }

  void Check(HResult code, const QString& what) {
    if (code == hr::Ok)
      return;
    throw ToolError(what.toStdString() + " failed: " + ErrorMessage(*platform_, code) + " (0x" +
                    HexCode(code) + ")");
  }

  // Takes the camera's device lock and never returns: the lock goes with
  // the process.
  [[noreturn]] void Hold(const QString& cameraName) {
    const auto camera = Find(cameraName);
    std::unique_ptr<DeviceLock> lock;
    Check(DeviceLock::Acquire(*camera, lock), "hold");
    out_ << "holding " << QString::fromStdString(camera->Description().devicePath) << Qt::endl;
    for (;;)
      std::this_thread::sleep_for(std::chrono::hours(1));
  }

  void List() {
    for (const auto& camera : Cameras().Cameras()) {
      const CameraDescription& d = camera->Description();
      out_ << TerminalField(QString::fromStdString(d.friendlyName)) << '\t'
           << TerminalField(QString::fromStdString(d.devicePath)) << '\t'
           << (camera->IsConnected() ? "plugged" : "unplugged") << '\n';
    }
  }

  void Get(const QString& cameraName, const QString& name) {
    const auto camera = Find(cameraName);
    const Target target = TargetOf(name);
    if (const auto* p = std::get_if<PropertyTarget>(&target)) {
      std::int32_t value = 0;
      std::int32_t flags = 0;
      Check(camera->Get(p->family, p->id, value, flags), "get " + name);
      out_ << value << ' ' << FlagsText(flags) << '\n';
    } else {
      BlockWords words;
      Check(camera->GetBlock(std::get<Block>(target), words), "get " + name);
      out_ << words.mode << ' ' << FlagsText(words.flags) << '\n';
    }
  }

  void Set(const QString& cameraName, const QString& name, const QString& valueText,
           const QString& flagsText) {
    const auto camera = Find(cameraName);
    const Target target = TargetOf(name);
    bool ok = false;
    const std::int32_t value = valueText.toInt(&ok);
    if (!ok)
      throw ToolError("\"" + valueText.toStdString() + "\" is not an integer");
    if (flagsText != "auto" && flagsText != "manual")
      throw ToolError("the mode must be \"auto\" or \"manual\", not \"" + flagsText.toStdString() +
                      "\"");
    const std::int32_t flags = flagsText == "auto" ? kPropertyFlagsAuto : kPropertyFlagsManual;
    if (const auto* p = std::get_if<PropertyTarget>(&target)) {
      Check(camera->Set(p->family, p->id, value, flags), "set " + name);
    } else {
      if (value < 0)
        throw ToolError("a mode is never negative");
      const BlockWords words{static_cast<std::uint32_t>(value), static_cast<std::uint32_t>(flags)};
      Check(camera->SetBlock(std::get<Block>(target), words), "set " + name);
    }
  }

  QTextStream& out_;
  std::shared_ptr<VirtualPlatform> platform_;
};

}  // namespace

int RunVcamTool(const QStringList& arguments, QTextStream& out, QTextStream& err) {
  try {
    Tool(out).Run(arguments);
    out.flush();
    return kVcamOk;
  } catch (const ToolError& e) {
    err << "varnholt-vcam: " << e.what() << '\n';
  } catch (const VirtualCameraError& e) {
    err << "varnholt-vcam: " << e.what() << '\n';
  }
  err.flush();
  return kVcamFailed;
}

}  // namespace varnholt::platform::virtualcam
