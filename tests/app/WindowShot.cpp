// Takes the documentation's pictures of the real windows, as a user's desktop
// shows them: run under tests/app/run-under-wm.sh (Xvfb with openbox), the
// main window on the virtual cameras at the width asked for, the camera test
// started as a click on the camera icon starts it, and the screen grabbed
// around the windows once the picture has moved for a while.
//
//   window_shot OUTPUT.png [--width N] [--camera-test] [--camera NAME]
//
// docs/take-screenshots.sh takes them all.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <cstdio>

#include "app/Forms.h"
#include "controls/Image.h"
#include "controls/ListBox.h"
#include "platform/ProfileFile.h"
#include "tests/support/TestEnvironment.h"

namespace {

using varnholt::test::Part;

void Wait(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

int Fail(const char* message) {
  std::fprintf(stderr, "window_shot: %s\n", message);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // A home of its own, so that no file of the user's is touched.
  QTemporaryDir home;
  qputenv("HOME", home.path().toUtf8());
  qputenv("VARNHOLT_PLATFORM", "virtual");
  QApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  if (args.isEmpty() || args.first().startsWith("--")) {
    std::fprintf(stderr,
                 "usage: window_shot OUTPUT.png [--width N] [--camera-test] [--camera NAME]\n");
    return 2;
  }
  const QString output = args.takeFirst();
  int width = TFormMain::kDefaultWidth;
  bool cameraTest = false;
  QString camera;
  while (!args.isEmpty()) {
    const QString option = args.takeFirst();
    if (option == "--camera-test")
      cameraTest = true;
    else if (option == "--width" && !args.isEmpty())
      width = args.takeFirst().toInt();
    else if (option == "--camera" && !args.isEmpty())
      camera = args.takeFirst();
    else
      return Fail("unknown option");
  }

  const QString state = home.path() + "/Documents/Varnholt";
  QDir().mkpath(state);
  varnholt::TIniFile(state + "/Varnholt.ini")
      .WriteStrings("Varnholt-Settings",
                    {{"Top", "10"}, {"Left", "10"}, {"width", QString::number(width)}});

  TMessageForm messages;
  MessageForm = &messages;
  TLivecamForm livecam;
  LivecamForm = &livecam;
  TFormMain form(QStringList{"varnholt"});
  form.show();
  Wait(1000);  // framed and placed by the window manager
  if (!camera.isEmpty())
    for (int i = 0; i < Part<varnholt::TListBox>(form, "ComboBoxCamera")->count(); ++i)
      if (Part<varnholt::TListBox>(form, "ComboBoxCamera")->item(i)->text() == camera)
        Part<varnholt::TListBox>(form, "ComboBoxCamera")->SetItemIndex(i);
  QRect area = form.frameGeometry();
  if (cameraTest) {
    emit Part<varnholt::TImage>(form, "ButtonTestCam")->Click();
    if (!livecam.isVisible())
      return Fail("the camera test did not start");
    Wait(2500);  // the first frames and a moving picture
    area |= livecam.frameGeometry();
  } else {
    Wait(500);
  }
  QScreen* screen = form.screen();
  area = area.adjusted(-10, -10, 10, 10) & screen->geometry();
  if (!screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(output))
    return Fail("cannot write the picture");
  form.StopDevice();
  return 0;
}
