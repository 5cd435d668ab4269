#pragma once

// Runs the built varnholtctl over virtual cameras described by the test, in
// a home and a camera state folder of its own.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace varnholt::test {

struct CliResult {
  int Code = -1;
  QString Out;
  QString Err;
};

class CliCameras {
 public:
  // cameras is the JSON array of the description; @DIR@ in it stands for
  // the test's folder. Without one, the virtual platform's built-in set.
  explicit CliCameras(QByteArray cameras) {
    QDir().mkpath(StateFolder());
    if (cameras.isEmpty())
      return;
    cameras.replace("@DIR@", dir_.path().toUtf8());
    QFile file(dir_.filePath("cameras.json"));
    if (!file.open(QIODevice::WriteOnly) || file.write(R"({"cameras": )" + cameras + "}") < 0)
      ADD_FAILURE() << "cannot write the camera description";
  }

  QString Path(const QString& name) const { return dir_.filePath(name); }
  QString StateFolder() const { return dir_.filePath("state"); }
  QByteArray Description() const {
    QFile file(Path("cameras.json"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QProcessEnvironment Environment(const QString& platform = "virtual") const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir_.path());
    env.insert("XDG_CONFIG_HOME", dir_.filePath(".config"));
    env.insert("XDG_RUNTIME_DIR", dir_.path());
    env.insert("VARNHOLT_PLATFORM", platform);
    if (QFile::exists(Path("cameras.json")))
      env.insert("VARNHOLT_VIRTUAL_CAMERAS", Path("cameras.json"));
    else
      env.remove("VARNHOLT_VIRTUAL_CAMERAS");
    env.insert("VARNHOLT_VIRTUAL_STATE", StateFolder());
    return env;
  }

  CliResult Run(const QStringList& arguments, const QString& platform = "virtual") const {
    QProcess process;
    process.setProcessEnvironment(Environment(platform));
    process.start(VARNHOLT_CLI, arguments);
    CliResult result;
    if (!process.waitForFinished(30000)) {
      process.kill();
      process.waitForFinished();
      ADD_FAILURE() << "varnholtctl did not finish: " << arguments.join(' ').toStdString();
      return result;
    }
    if (process.exitStatus() == QProcess::NormalExit)
      result.Code = process.exitCode();
    result.Out = QString::fromUtf8(process.readAllStandardOutput());
    result.Err = QString::fromUtf8(process.readAllStandardError());
    return result;
  }

 private:
  QTemporaryDir dir_;
};

}  // namespace varnholt::test
