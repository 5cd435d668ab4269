// The commands that change a camera or write a file.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <atomic>

#include "camera/PropertyKeys.h"
#include "cli/CameraAccess.h"
#include "cli/Commands.h"
#include "platform/TerminalText.h"
#include "settings/FactoryDefaults.h"
#include "settings/RestoreMarks.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsTarget.h"

namespace varnholt::cli {

namespace {

constexpr int kFirstFrameTimeoutMs = 10000;

CliError Refused(const QString& message) {
  return CliError(kExitRefused, message);
}

int SetPowerFrequency(TInvocation& in, TCameraSession& session, const QString& hertz) {
  if (hertz != "50" && hertz != "60")
    throw CliError(kExitUsage, "The power-line frequency is 50 or 60, not " + hertz);
  TFCamera& camera = *session.Camera;
  if (!camera.PowerLineFrequencySupported())
    throw Refused(session.Name + " has no power-line frequency setting");
  camera.SetPowerLineFrequency(hertz == "50" ? pf50Hz : pf60Hz);
  in.Out << TerminalField(session.Name) << ": power-line frequency " << hertz << " Hz\n";
  return kExitOk;
}

// Deactivates the camera however the snapshot ends.
struct TStreamGuard {
  TFCamera& Camera;
  ~TStreamGuard() {
    try {
      if (Camera.Active()) {
        Camera.Stop();
        Camera.SetActive(false);
      }
    } catch (...) {
      // The process ends next; the platform lets go of the device then.
    }
  }
};

}  // namespace

int SetCommand(TInvocation& in) {
  TCameraSession session(in.Arguments[0]);
  const std::optional<std::size_t> found = FindProperty(in.Arguments[1]);
  const QString text = in.Arguments[2];
  if (!found)
    return SetPowerFrequency(in, session, text);
  TFCamera& camera = *session.Camera;
  const TFPropertyKey& property = kPropertyKeys[*found];
  const QString name = QLatin1String(property.Name);
  if (!(camera.*property.Supported)())
    throw Refused(session.Name + " does not support " + name);
  const TFRange range = (camera.*property.Range)();
  if (text.compare("auto", Qt::CaseInsensitive) == 0 ||
      text.compare("manual", Qt::CaseInsensitive) == 0) {
    const bool automatic = text.compare("auto", Qt::CaseInsensitive) == 0;
    if (automatic ? !range.Auto : !range.Manual)
      throw Refused(name + " of " + session.Name + " has no " + text.toLower() + " mode");
    (camera.*property.SetAuto)(automatic);
    in.Out << TerminalField(session.Name) << ": " << name << " " << text.toLower() << "\n";
    return kExitOk;
  }
  bool isNumber = false;
  const qlonglong value = text.toLongLong(&isNumber);
  if (!isNumber)
    throw CliError(kExitUsage, "VALUE is a whole number, auto or manual, not " + text);
  // Refused rather than held at the end: a script should know it did not get its value.
  if (value < range.Min || value > range.Max)
    throw Refused(
        QString("%1 %2 is out of range %3..%4").arg(name).arg(value).arg(range.Min).arg(range.Max));
  (camera.*property.SetValue)(static_cast<std::int32_t>(value));
  in.Out << TerminalField(session.Name) << ": " << name << " " << value << "\n";
  return kExitOk;
}

int PowerCommand(TInvocation& in) {
  TCameraSession session(in.Arguments[0]);
  return SetPowerFrequency(in, session, in.Arguments[1]);
}

int DefaultsCommand(TInvocation& in) {
  TCameraSession session(in.Arguments[0]);
  const std::vector<TDefaultRefusal> refusals = ResetToFactoryDefaults(*session.Camera);
  QStringList refused;
  for (const TDefaultRefusal& r : refusals)
    refused << QLatin1String(kPropertyKeys[r.Key].Name) + ": " + r.Message;
  if (!refused.isEmpty())
    throw Refused(session.Name + " kept these values:\n  " + refused.join("\n  "));
  in.Out << TerminalField(session.Name) << ": factory defaults loaded\n";
  return kExitOk;
}

int LoadCommand(TInvocation& in) {
  TCameraSession session(in.Arguments[0]);
  const QString path = in.Arguments[1];
  if (const QString refusal = LoadSettingsFileOnto(*session.Camera, path); !refusal.isEmpty())
    throw CliError(kExitFile, refusal);
  in.Out << TerminalField(session.Name) << ": loaded " << QFileInfo(path).fileName() << "\n";
  return kExitOk;
}

int SaveCommand(TInvocation& in) {
  TCameraSession session(in.Arguments[0]);
  const QString path = in.Arguments[1];
  WriteSettingsFile(path, session.Name, CurrentCameraSettings(*session.Camera));
  in.Out << TerminalField(session.Name) << ": saved to " << QFileInfo(path).fileName() << "\n";
  return kExitOk;
}

int SnapshotCommand(TInvocation& in) {
  TCameraSession session(in.Arguments[0]);
  const QString path = in.Arguments[1];
  TFCamera& camera = *session.Camera;
  // The sample grabber carries the frames: no preview window.
  camera.SetCaptureType(ctGrabber);
  auto arrived = std::make_shared<std::atomic<bool>>(false);
  // Raised on the streaming thread.
  camera.SetOnImageAvailable([arrived](TFCamera*, double) { arrived->store(true); });
  TStreamGuard guard{camera};
  camera.SetActive(true);
  camera.Run();
  QElapsedTimer waited;
  waited.start();
  while (!arrived->load()) {
    if (waited.elapsed() > kFirstFrameTimeoutMs)
      throw CliError(kExitFailure, QString("No picture from %1 within %2 s")
                                       .arg(session.Name)
                                       .arg(kFirstFrameTimeoutMs / 1000));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(5);
  }
  const TFCameraFormat format = camera.Format();
  TFImageFormat kind = ifBmp;
  try {
    kind = camera.CurrentImageToFile(path);
  } catch (const std::exception& e) {
    throw CliError(kExitFile, "Cannot write " + path + ": " + QString::fromStdString(e.what()));
  }
  in.Out << TerminalField(session.Name) << ": " << format.Width << "x" << format.Height << " "
         << (kind == ifJpeg ? "JPEG" : "BMP") << " still in " << QFileInfo(path).fileName() << "\n";
  return kExitOk;
}

}  // namespace varnholt::cli
