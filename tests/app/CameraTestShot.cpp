// Takes the picture of the camera test window for the documentation: the
// main window on the virtual cameras, the test started as a click on the
// camera icon starts it, and the test window grabbed once frames show.
//
//   xvfb-run camera_test_shot docs/camera-test.png [camera] [format index]

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "app/Forms.h"
#include "camera/platform/PlatformFactory.h"
#include "controls/Image.h"
#include "controls/ListBox.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: camera_test_shot OUTPUT.png [camera] [format index]\n");
    return 2;
  }
  const QString output = QString::fromLocal8Bit(argv[1]);
  const QString camera = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
  const int format = argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 0;

  // A home of its own, so that no window-state file of the user's is touched.
  QTemporaryDir home;
  qputenv("HOME", home.path().toUtf8());
  TMessageForm messages;
  MessageForm = &messages;
  TLivecamForm livecam;
  LivecamForm = &livecam;
  TFormMain form(QStringList{"varnholt"});
  form.show();
  if (!camera.isEmpty())
    for (int i = 0; i < form.ComboBoxCamera->count(); ++i)
      if (form.ComboBoxCamera->item(i)->text() == camera)
        form.ComboBoxCamera->SetItemIndex(i);
  form.ComboBoxFormat->SetItemIndex(format);
  emit form.ButtonTestCam->Click();
  if (!livecam.isVisible()) {
    std::fprintf(stderr, "camera_test_shot: the camera test did not start\n");
    return 1;
  }
  // Long enough for the first frames and a few repaints.
  QElapsedTimer shown;
  shown.start();
  while (shown.elapsed() < 2000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  if (!livecam.grab().save(output)) {
    std::fprintf(stderr, "camera_test_shot: cannot write %s\n", argv[1]);
    return 1;
  }
  form.StopDevice();
  return 0;
}
