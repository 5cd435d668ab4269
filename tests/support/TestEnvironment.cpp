#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cstdlib>

namespace varnholt::test {
namespace {
QTemporaryDir* g_home = nullptr;
}

void IsolateProcessEnvironment() {
  if (g_home)
    return;
  g_home = new QTemporaryDir();  // lives until exit; removed by the OS's tmp cleanup otherwise
  g_home->setAutoRemove(true);
  const QString home = g_home->path();
  QDir().mkpath(home + "/.config");
  QDir().mkpath(home + "/runtime");
  QFile::setPermissions(home + "/runtime",
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  qputenv("HOME", home.toUtf8());
  qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
  qputenv("XDG_RUNTIME_DIR", (home + "/runtime").toUtf8());
  qputenv("VARNHOLT_VIRTUAL_STATE", (home + "/virtual-state").toUtf8());
  qunsetenv("XDG_DOCUMENTS_DIR");
  qunsetenv("VARNHOLT_VIRTUAL_CAMERAS");
  // The machine's own cameras never reach a test: tests of the V4L2 backend
  // build their platform over a model of a camera themselves.
  qputenv("VARNHOLT_PLATFORM", "virtual");
  std::atexit([] {
    delete g_home;
    g_home = nullptr;
  });
}

QString TestHome() {
  return g_home ? g_home->path() : QString();
}

ScopedEnv::ScopedEnv(const char* name, const QByteArray& value) : name_(name) {
  if (qEnvironmentVariableIsSet(name))
    old_ = qgetenv(name);
  qputenv(name, value);
}

ScopedEnv::~ScopedEnv() {
  if (old_)
    qputenv(name_.constData(), *old_);
  else
    qunsetenv(name_.constData());
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return false;
  return f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return {};
  return f.readAll();
}

ModalDriver::ModalDriver(bool rejectUnplanned) : rejectUnplanned_(rejectUnplanned) {
  QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
  poll_.start(5);
}

void ModalDriver::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || !modal->isVisible() || busy_)
    return;
  busy_ = true;  // an answer may open the next dialog inside this call
  bool answered = false;
  if (!planned_.empty()) {
    Answer answer = std::move(planned_.front());
    planned_.pop_front();
    answered = answer(*modal);
    if (!answered)
      planned_.push_front(std::move(answer));
  }
  if (!answered && standing_)
    answered = standing_(*modal);
  if (answered) {
    ++answered_;
  } else if (rejectUnplanned_) {
    unexpected.append(modal->metaObject()->className() + QString(" ") + modal->objectName() + ": " +
                      modal->windowTitle());
    if (auto* dialog = qobject_cast<QDialog*>(modal))
      dialog->reject();
  }
  busy_ = false;
}

bool WaitUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms)
      return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return true;
}

}  // namespace varnholt::test
