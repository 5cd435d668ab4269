#pragma once

// A main window over virtual cameras described in the test, with the message
// dialog in place for the window's notices and a state folder of its own,
// which records every value the window writes to a camera.

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "app/Forms.h"
#include "camera/platform/PlatformFactory.h"
#include "camera/platform/virtual/VirtualPlatform.h"
#include "controls/ListBox.h"
#include "controls/TrackBar.h"
#include "tests/app/MainWindowFixture.h"

namespace varnholt::test {

class CameraWindow : public MainWindow {
 protected:
  CameraWindow() {
    dialog_ = std::make_unique<TMessageForm>();
    MessageForm = dialog_.get();
  }
  ~CameraWindow() override {
    form.reset();
    MessageForm = nullptr;
    platform::SetActivePlatform(nullptr);
  }

  // Cameras for the windows started afterwards; cameras is the JSON array.
  void UseCameras(const QByteArray& cameras) {
    platform = platform::virtualcam::VirtualPlatform::FromJson(R"({"cameras": )" + cameras + "}",
                                                               state_.path());
    platform::SetActivePlatform(platform);
  }
  TFormMain& StartWith(const QByteArray& cameras, QStringList arguments = {"varnholt"}) {
    UseCameras(cameras);
    form = Start(arguments);
    return *form;
  }

  // Every entry the window wrote to any camera, as the state files hold them.
  QString Written() const {
    QString text;
    for (const QFileInfo& file : QDir(state_.path()).entryInfoList(QDir::Files))
      if (!file.fileName().endsWith(".lock"))
        text += QString::fromUtf8(ReadFile(file.filePath()));
    return text;
  }

  TPropertyRow Row(const char* key) const { return RowOf(*form, key); }
  QStringList TraceLines() const {
    return Part<QPlainTextEdit>(*form, "Memo1")->toPlainText().split('\n');
  }
  void SelectCamera(int index) { Part<TListBox>(*form, "ComboBoxCamera")->SetItemIndex(index); }

  // Answers every notice with Ok and keeps its text.
  void AnswerNotices() {
    notices_.Always([this](QWidget& w) {
      auto* dialog = qobject_cast<TMessageForm*>(&w);
      if (!dialog)
        return false;
      notices.append(dialog->Label1->text());
      dialog->Button1->click();
      return true;
    });
  }
  // Slider values go to the camera from its writer thread: waits until they
  // are written and their failures have reached the window.
  void AwaitWrites() {
    CameraOf(*form)->WaitForPostedValues();
    QCoreApplication::processEvents();
  }

  // Answers every dialog as a user who goes along: Yes to a question, Ok to
  // a notice (keeping its text), fileName typed into a file dialog, Close
  // to the driver's property frame.
  void AnswerEveryDialog(const QString& fileName) {
    notices_.Always([this, fileName](QWidget& w) {
      if (auto* dialog = qobject_cast<TMessageForm*>(&w)) {
        if (dialog->windowTitle() != "Confirm")
          notices.append(dialog->Label1->text());
        dialog->Button1->click();
      } else if (auto* files = qobject_cast<QFileDialog*>(&w)) {
        files->findChild<QLineEdit*>("fileNameEdit")->setText(fileName);
        files->findChild<QDialogButtonBox*>("buttonBox")
            ->button(files->acceptMode() == QFileDialog::AcceptSave ? QDialogButtonBox::Save
                                                                    : QDialogButtonBox::Open)
            ->click();
      } else if (w.objectName() == "PropertyFrame") {
        ++frames;
        w.findChild<QPushButton*>("CloseButton")->click();
      } else {
        return false;
      }
      return true;
    });
  }
  std::shared_ptr<platform::virtualcam::VirtualPlatform> platform;
  std::unique_ptr<TFormMain> form;
  QStringList notices;
  int frames = 0;  // driver dialogs answered

 private:
  QTemporaryDir state_;
  std::unique_ptr<TMessageForm> dialog_;
  ModalDriver notices_;
};

// A camera description: name, path, properties of either family and formats.
inline QByteArray Camera(const QByteArray& name, const QByteArray& videoProcAmp = "{}",
                         const QByteArray& formats = R"([{"width": 640, "height": 480,
                             "compression": "YUY2"}])",
                         const QByteArray& cameraControl = "{}") {
  return R"({"friendlyName": ")" + name + R"(", "devicePath": ")" + name.toLower() +
         R"(", "videoProcAmp": )" + videoProcAmp + R"(, "cameraControl": )" + cameraControl +
         R"(, "formats": )" + formats + "}";
}

inline QByteArray Formats(const QList<int>& heights) {
  QByteArray text = "[";
  for (int height : heights)
    text += QByteArray(text.size() > 1 ? "," : "") + R"({"width": 640, "height": )" +
            QByteArray::number(height) + R"(, "compression": "YUY2"})";
  return text + "]";
}

}  // namespace varnholt::test
