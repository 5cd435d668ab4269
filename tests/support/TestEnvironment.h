#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>

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

// Writes text to a file, creating folders; returns false on failure.
bool WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);

}  // namespace varnholt::test
