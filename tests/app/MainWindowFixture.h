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
#include "app/Forms.h"
#include "controls/Effects.h"
#include "controls/GeneralErrorHandler.h"
#include "controls/Image.h"
#include "controls/Shapes.h"
#include "controls/TrackBar.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {

inline TFCamera* CameraOf(const QObject& form) {
  return Part<TFCamera>(form, "FCamera");
}

// The paint box lives in the camera test's window while a test runs.
inline TPaintBox* PaintBoxOf(const QObject& form) {
  if (auto* box = form.findChild<TPaintBox*>("PaintBox"))
    return box;
  if (LivecamForm)
    return Part<TPaintBox>(*LivecamForm, "PaintBox");
  throw std::runtime_error("no PaintBox in the window or a camera test");
}

// A property row's components, found by the names its key gives them.
inline TPropertyRow RowOf(const QObject& form, const TRowDesign& design) {
  const QString key = QString::fromLatin1(design.Key);
  TPropertyRow row;
  row.Design = &design;
  row.Layout = Part<QWidget>(form, "Layout" + key);
  row.Icon = Part<TImage>(form, QString::fromLatin1(design.Icon));
  row.Label = Part<QLabel>(form, "Label" + key);
  row.TrackBar = Part<TTrackBar>(form, "TrackBar" + key);
  row.ValueColumn = Part<QWidget>(form, QString::fromLatin1(design.ValueColumn));
  row.ValueLabel = Part<QLabel>(form, "Label" + key + "Value");
  row.CheckBox = Part<QCheckBox>(form, "CheckBox" + key);
  row.Monochrome = Part<TMonochromeEffect>(form, "Layout" + key + "Monochrome");
  return row;
}
inline TPropertyRow RowOf(const QObject& form, const char* key) {
  for (const TRowDesign& design : kRowDesigns)
    if (qstrcmp(design.Key, key) == 0)
      return RowOf(form, design);
  throw std::runtime_error(std::string("no property row ") + key);
}
// Top to bottom.
inline std::array<TPropertyRow, kRowCount> RowsOf(const QObject& form) {
  std::array<TPropertyRow, kRowCount> rows;
  for (int i = 0; i < kRowCount; ++i)
    rows[static_cast<std::size_t>(i)] = RowOf(form, kRowDesigns[static_cast<std::size_t>(i)]);
  return rows;
}

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
