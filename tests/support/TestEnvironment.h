#pragma once

#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
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

// Answers the modal dialogs the code under test opens, from inside their
// own loops, as the user would: it looks for the active modal dialog every
// few milliseconds while any event loop runs. Planned answers are tried in
// the order given, each once; a standing answer takes every dialog it
// accepts. An answer returns false for a dialog that is not its own. A
// dialog nothing answers is left alone, or, where unplanned dialogs are
// rejected, noted and rejected, so that it cannot hang the test.
class ModalDriver {
 public:
  using Answer = std::function<bool(QWidget&)>;
  explicit ModalDriver(bool rejectUnplanned = false);
  ModalDriver(const ModalDriver&) = delete;
  ModalDriver& operator=(const ModalDriver&) = delete;

  void Then(Answer answer) { planned_.push_back(std::move(answer)); }
  void Always(Answer answer) { standing_ = std::move(answer); }
  // Every planned answer has been used.
  bool Done() const { return planned_.empty(); }
  int Answered() const { return answered_; }
  int Planned() const { return static_cast<int>(planned_.size()); }
  // "Class name: title" of each dialog rejected for want of an answer.
  QStringList unexpected;

 private:
  void Poll();

  std::deque<Answer> planned_;
  Answer standing_;
  QTimer poll_;
  bool rejectUnplanned_;
  bool busy_ = false;
  int answered_ = 0;
};

// Answers the next modal dialog of class T (with that object name, when one
// is given): once it is up, act runs once and the dialog is closed if act
// left it open. Create it before the call that opens the dialog, and keep
// it until that call has returned.
template <class T>
class ModalAnswer {
 public:
  explicit ModalAnswer(std::function<void(T&)> act, QString objectName = {}) {
    driver_.Then([act = std::move(act), objectName = std::move(objectName)](QWidget& w) {
      auto* dialog = qobject_cast<T*>(&w);
      if (!dialog || (!objectName.isEmpty() && dialog->objectName() != objectName))
        return false;
      act(*dialog);
      if (dialog->isVisible()) {
        if (auto* modal = qobject_cast<QDialog*>(dialog))
          modal->reject();
        else
          dialog->close();
      }
      return true;
    });
  }
  // How many dialogs it answered: 0 or 1.
  int Answered() const { return driver_.Answered(); }

 private:
  ModalDriver driver_;
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
