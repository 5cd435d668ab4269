#include "camera/platform/virtual/VirtualPlatform.h"

#ifdef _WIN32
#include "platform/win/WinFiles.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>

#include "camera/platform/DirectoryWatch.h"
#include "camera/platform/FaultProbe.h"
#include "camera/platform/PropertyFrame.h"
#include "camera/platform/graph/GraphErrors.h"
#include "camera/platform/graph/GraphObjects.h"
#include "camera/platform/virtual/VirtualCameraSet.h"
#include "camera/platform/virtual/VirtualDeviceEnumerator.h"
#include "platform/UserLock.h"

// Resources of a static library are only linked when something names them.
static void LoadBuiltinCameraResource() {
  Q_INIT_RESOURCE(virtual_cameras);
}

namespace varnholt::platform::virtualcam {
namespace {

constexpr const char* kBuiltinResource = ":/varnholt/virtual/BuiltinCameras.json";
constexpr const char* kBuiltinSource = "built-in cameras";

QString EnvironmentPath(const char* name) {
  return qEnvironmentVariableIsEmpty(name) ? QString() : qEnvironmentVariable(name);
}

}  // namespace

std::shared_ptr<VirtualPlatform> VirtualPlatform::FromEnvironment() {
  QString stateDir = EnvironmentPath("VARNHOLT_VIRTUAL_STATE");
  if (stateDir.isEmpty())
    stateDir = DefaultStateDir();
  const QString path = EnvironmentPath("VARNHOLT_VIRTUAL_CAMERAS");
  if (path.isEmpty())
    return FromJson(BuiltinCamerasJson(), stateDir, kBuiltinSource);

  const auto cannotRead = [&path](const std::string& why) {
    return VirtualCameraError(path.toStdString() + ": cannot read the camera descriptions: " + why);
  };
  // A description is a few kilobytes; this stops /dev/zero and the like.
  constexpr qint64 kMaxDescriptionBytes = 16 * 1024 * 1024;
  const auto tooLarge = [&path] {
    return VirtualCameraError(path.toStdString() +
                              ": the camera descriptions are larger than 16 MiB");
  };
#ifdef _WIN32
  // LoadFile reads regular disk files only, never a pipe or a device.
  const win::LoadedFile loaded =
      win::LoadFile(QDir::toNativeSeparators(path).toStdWString(), kMaxDescriptionBytes);
  if (loaded.kind == win::FileKind::Regular && loaded.tooLarge)
    throw tooLarge();
  if (loaded.error != 0)
    throw cannotRead(QString::fromStdWString(win::SystemMessage(loaded.error)).toStdString());
  if (loaded.kind != win::FileKind::Regular)
    throw cannotRead(loaded.kind == win::FileKind::Missing ? "no such file" : "not a regular file");
  const QByteArray json = QByteArray::fromStdString(loaded.bytes);
#else
  // Only a regular file: a FIFO would block start-up until someone writes
  // to it, and a device may never end. Without blocking in open, then.
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    throw cannotRead(std::strerror(errno));
  struct stat facts {};
  if (::fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode)) {
    ::close(fd);
    throw cannotRead("not a regular file");
  }
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    throw cannotRead(file.errorString().toStdString());
  }
  const QByteArray json = file.read(kMaxDescriptionBytes + 1);
  if (json.size() > kMaxDescriptionBytes)
    throw tooLarge();
#endif
  return FromJson(json, stateDir, path);
}

std::shared_ptr<VirtualPlatform> VirtualPlatform::FromJson(const QByteArray& json,
                                                           const QString& stateDir,
                                                           const QString& sourceName) {
  return std::make_shared<VirtualPlatform>(VirtualCameraSet::FromJson(json, stateDir, sourceName));
}

QByteArray VirtualPlatform::BuiltinCamerasJson() {
  LoadBuiltinCameraResource();
  QFile file(kBuiltinResource);
  if (!file.open(QIODevice::ReadOnly))
    throw VirtualCameraError(std::string(kBuiltinSource) + ": the resource is missing");
  return file.readAll();
}

QString VirtualPlatform::DefaultStateDir() {
  // The runtime folder is per user and cleared at log-out, as a device's
  // settings are lost when it is unplugged.
  // The state holds the cameras' locks: only in a folder others cannot enter.
  QString base = UserPrivateFolder();
  if (base.isEmpty())
    base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
  return QDir(base).filePath("varnholt-virtual-cameras");
}

VirtualPlatform::VirtualPlatform(std::shared_ptr<VirtualCameraSet> cameras)
    : cameras_(std::move(cameras)) {
  // The shared graph objects and kit pieces probe the process's table; the
  // latest platform made is the one a program or test uses.
  InstallFaultProbe(this, [faults = std::weak_ptr<FaultTable>(cameras_->SharedFaults())](
                              std::string_view point, std::string_view device) {
    const auto table = faults.lock();
    return table ? table->Take(point, device) : std::nullopt;
  });
}

VirtualPlatform::~VirtualPlatform() {
  RemoveFaultProbe(this);
}

HResult VirtualPlatform::CreateInstance(ClassId classId, std::shared_ptr<Unknown>& object) {
  if (const auto fault = ProbeFault("Platform.CreateInstance"))
    return *fault;
  // Graphs, renderers and the sample grabber are the shared ones; only the
  // camera filters that feed them are virtual.
  if (classId != ClassId::SystemDeviceEnum)
    return graph::CreateGraphObject(classId, object);
  object = MakeDeviceEnumerator(cameras_);
  return hr::Ok;
}

std::string VirtualPlatform::ErrorText(HResult code) {
  const std::string text = cameras_->ErrorText(code);
  return text.empty() ? graph::ErrorText(code) : text;
}

HResult VirtualPlatform::ShowPropertyFrame(WindowHandle owner, int x, int y,
                                           const std::string& caption,
                                           const std::vector<std::shared_ptr<Unknown>>& objects,
                                           const std::vector<Guid>& pages, std::uint32_t) {
  if (const auto fault = ProbeFault("Platform.ShowPropertyFrame"))
    return *fault;
  // No driver supplies dialogs here: the generic frame shows the device's
  // own controls and formats, in the program's language whatever the locale.
  return ShowGenericPropertyFrame(*this, owner, x, y, caption, objects, pages);
}

std::unique_ptr<DeviceWatch> VirtualPlatform::WatchDevices(std::function<void()> changed) {
  // Every state write touches the folder; only plugging counts. The plug
  // count tells a camera unplugged and plugged in again within one burst.
  auto plugState = [cameras = cameras_] {
    std::vector<std::pair<bool, std::int64_t>> state;
    for (const auto& camera : cameras->Cameras())
      state.emplace_back(camera->IsConnected(), camera->PlugCount());
    return state;
  };
  if (!QDir().mkpath(cameras_->StateDir()))
    return nullptr;
  return DirectoryWatch::Start(
      cameras_->StateDir().toStdString(), [](const std::string&) { return true; },
      [plugState, last = plugState(), changed = std::move(changed)]() mutable {
        auto now = plugState();
        if (now == last)
          return;
        last = std::move(now);
        changed();
      });
}

HResult VirtualPlatform::SetConnected(const std::string& devicePath, bool connected) {
  return cameras_->SetConnected(devicePath, connected);
}

}  // namespace varnholt::platform::virtualcam
