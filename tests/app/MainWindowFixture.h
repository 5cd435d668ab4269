#pragma once

// A main window of its own for each test: its own home (so its own
// documents folder and window-state file), the general error handler
// recording instead of showing, and a runtime folder of its own for each
// window, so that windows a test holds side by side, or copies of the test
// program running beside, are no copies of each other to the single-copy
// guard.

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "app/FormMain.h"
#include "controls/GeneralErrorHandler.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {

class MainWindow : public ::testing::Test {
 protected:
  MainWindow()
      : homeEnv_("HOME", home_.path().toUtf8()),
        configEnv_("XDG_CONFIG_HOME", (home_.path() + "/.config").toUtf8()) {
    previousHandler_ = SetGeneralErrorHandler([this](const QString& m) { errors.append(m); });
  }
  ~MainWindow() override { SetGeneralErrorHandler(previousHandler_); }

  QString StateFolder() const { return home_.path() + "/Documents/Varnholt"; }
  QString StateFile() const { return StateFolder() + "/Varnholt.ini"; }
  void WriteState(const QByteArray& text) { ASSERT_TRUE(WriteFile(StateFile(), text)); }
  void WriteWidth(int width) {
    WriteState("[Varnholt-Settings]\nwidth=" + QByteArray::number(width) + "\n");
  }

  std::unique_ptr<TFormMain> Start(QStringList arguments = {"varnholt"}) {
    // The guard takes its lock while the window is created.
    const QTemporaryDir& runtime = *runtimes_.emplace_back(std::make_unique<QTemporaryDir>());
    ScopedEnv runtimeEnv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    return std::make_unique<TFormMain>(arguments);
  }
  static QRect Outer(const TFormMain& form) { return form.frameGeometry(); }
  // Resizes as the user does, by the outer size (a shown window has a frame).
  static void ResizeOuter(TFormMain& form, int width, int height) {
    const QSize frame = form.frameGeometry().size() - form.geometry().size();
    form.resize(width - frame.width(), height - frame.height());
  }
  static void Close(TFormMain& form) {
    QCloseEvent event;
    QCoreApplication::sendEvent(&form, &event);
  }

  QStringList errors;

 private:
  QTemporaryDir home_;
  ScopedEnv homeEnv_;
  ScopedEnv configEnv_;
  std::vector<std::unique_ptr<QTemporaryDir>> runtimes_;
  ErrorHandler previousHandler_;
};

}  // namespace varnholt::test
