#pragma once

#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

namespace varnholt::test {

// Points HOME, XDG_CONFIG_HOME, XDG_RUNTIME_DIR and VARNHOLT_VIRTUAL_STATE at
// a fresh temporary folder for the whole test program, clears the variable
// that chooses virtual cameras and picks the virtual platform. Called once
// from main().
void IsolateProcessEnvironment();

// The temporary home of this test program.
QString TestHome();

// Sets an environment variable for the lifetime of the object, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const QByteArray& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  QByteArray name_;
  std::optional<QByteArray> old_;
};

// Serves events until done() holds or ms milliseconds have passed; whether
// it held. Qt's QTRY_ macros are no use under GoogleTest: on a time-out they
// only return from the test, which then counts as passed.
bool WaitUntil(const std::function<bool()>& done, int ms = 20000);

// Answers the next modal dialog of class T (with that object name, when one
// is given) from inside its modal loop: once it is up, act runs once and the
// dialog is closed if act left it open. Create it before the call that opens
// the dialog, and keep it until that call has returned.
template <class T>
class ModalAnswer {
 public:
  explicit ModalAnswer(std::function<void(T&)> act, QString objectName = {})
      : act_(std::move(act)), objectName_(std::move(objectName)) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
      if (!dialog || (!objectName_.isEmpty() && dialog->objectName() != objectName_))
        return;
      timer_.stop();
      ++answered_;
      act_(*dialog);
      if (dialog->isVisible()) {
        if (auto* modal = qobject_cast<QDialog*>(dialog))
          modal->reject();
        else
          dialog->close();
      }
    });
    timer_.start();
  }
  // How many dialogs it answered: 0 or 1.
  int Answered() const { return answered_; }

 private:
  std::function<void(T&)> act_;
  QString objectName_;
  QTimer timer_;
  int answered_ = 0;
};

// Writes text to a file, creating folders; returns false on failure.
// The object of that type and name under root, as the user meets it
// through the window; throws (failing the test with the name) when there
// is none, so that a renamed or retyped component cannot pass unnoticed.
template <class T>
T* Part(const QObject& root, const QString& name) {
  if (T* part = root.findChild<T*>(name))
    return part;
  throw std::runtime_error("no " + std::string(T::staticMetaObject.className()) + " named " +
                           name.toStdString() + " under " + root.objectName().toStdString());
}

bool WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);

}  // namespace varnholt::test
