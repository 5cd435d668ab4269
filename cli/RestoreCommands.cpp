// restore and watch: settings that come back by themselves. The kernel
// keeps nothing over an unplug, a reboot or a driver reload, so watch loads
// a camera's marked file whenever the camera appears, and once at start.
// It waits on the platform's device watch (inotify), never polls.

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTimer>

#include "cli/CameraAccess.h"
#include "cli/Commands.h"
#include "platform/TerminalText.h"
#include "settings/RestoreMarks.h"
#include "settings/SettingsFile.h"

namespace varnholt::cli {
namespace {

// Which appearance of a camera this is. A camera plugged out and in within
// one burst of device events comes back under the same name and often the
// same node, but as a new node: its inode tells the two apart.
QString Appearance(const TFVideoCaptureDevice& device) {
  QString appearance = CameraIdentity(device);
#ifndef _WIN32
  const QByteArray node = QFileInfo(device.Path).canonicalFilePath().toLocal8Bit();
  struct stat facts {};
  // Not its change time: a mode or access list set while the node stays
  // (udev, a session switch) would count as a new appearance and load the
  // file over what the user set since.
  if (!node.isEmpty() && ::stat(node.constData(), &facts) == 0)
    appearance += '|' + QString::number(facts.st_ino);
#endif
  // On Windows a camera's path is its device interface, the same after a
  // replug: there a camera replugged within one burst of device events is
  // not told apart, and its file is not loaded again.
  return appearance;
}

// A camera just plugged in may refuse requests while it starts up.
constexpr int kAttempts = 5;
constexpr int kRetryMs = 400;
// udev links a node by id just after making it: a camera first seen by its
// node alone is looked at once more, when its link is there.
constexpr int kLinkWaitMs = 1000;

class Watcher {
 public:
  explicit Watcher(TInvocation& in) : in_(in), lister_(nullptr, CapturePlatform()) {}

  void Start() {
    lister_.SetOnDevicesChanged([this](TFCamera*) { Scan(); });
    // Without the watch, cameras that come later would be missed unnoticed.
    if (!lister_.WatchingDevices())
      throw CliError(kExitFailure, "Cannot watch for cameras coming and going");
    Scan();
  }

 private:
  void Scan() {
    const TRestoreMarks marks;
    QHash<QString, QString> now;  // appearance -> name
    for (const TFVideoCaptureDevice& device : lister_.Devices()) {
      const QString appearance = Appearance(device);
      now.insert(appearance, device.Name);
      if (seen_.contains(appearance))
        continue;
      if (KnownOnlyByNode(device))
        QTimer::singleShot(kLinkWaitMs, [this] { Scan(); });
      if (const std::optional<TRestoreMark> mark = marks.Find(device))
        Apply(device.Name, mark->File, 1);
    }
    for (auto it = seen_.cbegin(); it != seen_.cend(); ++it)
      if (!now.contains(it.key()) && marked_.contains(it.value()))
        Say(in_.Out, it.value() + ": gone");
    seen_ = now;
  }

  void Apply(const QString& name, const QString& file, int attempt) {
    marked_.insert(name);
    try {
      TFCamera camera(nullptr, CapturePlatform());
      camera.SetDeviceName(name);
      const QString refusal = LoadSettingsFileOnto(camera, file);
      if (refusal.isEmpty())
        Say(in_.Out, name + ": loaded " + file);
      else
        Say(in_.Err, name + ": " + refusal);
    } catch (const std::exception& e) {
      if (attempt < kAttempts) {
        QTimer::singleShot(kRetryMs,
                           [this, name, file, attempt] { Apply(name, file, attempt + 1); });
        return;
      }
      Say(in_.Err, name + ": not restored: " + QString::fromLocal8Bit(e.what()));
    }
  }

  static void Say(QTextStream& stream, const QString& line) {
    stream << line << "\n";
    stream.flush();  // a journal shows each line as it happens
  }

  TInvocation& in_;
  TFCamera lister_;
  QHash<QString, QString> seen_;
  QSet<QString> marked_;
};

}  // namespace

int RestoreCommand(TInvocation& in) {
  TCameraSession session(in.Arguments[0]);
  const QString argument = in.Arguments[1];
  TRestoreMarks marks;
  if (argument == "off") {
    marks.Unmark(session.Device);
    in.Out << TerminalField(session.Name) << ": nothing restored on plug-in\n";
    return kExitOk;
  }
  // A file that would not load is refused now, not at the next plug-in.
  if (const QString refusal = ReadSettingsFile(argument, session.Name).Refusal; !refusal.isEmpty())
    throw CliError(kExitFile, refusal);
  marks.Mark(session.Device, argument);
  in.Out << TerminalField(session.Name) << ": " << QFileInfo(argument).absoluteFilePath()
         << " loads whenever it appears (while varnholtctl watch runs)\n";
  return kExitOk;
}

int WatchCommand(TInvocation& in) {
  Watcher watcher(in);
  watcher.Start();
  return QCoreApplication::exec();
}

}  // namespace varnholt::cli
