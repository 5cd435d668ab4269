// The driver dialogs of a V4L2 camera: the generic frame with the device's
// controls and the capture pin's formats, and choosing a format there.

#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QTabWidget>
#include <QTimer>

#include "tests/camera/v4l2/V4l2TestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {
namespace {

class V4l2DialogTest : public V4l2CameraTest {
 protected:
  // Runs act once the modal frame is up, then closes it; show opens it.
  void WhileShown(const std::function<void()>& show, const std::function<void(QDialog&)>& act) {
    const ModalAnswer<QDialog> answer(
        [&](QDialog& frame) {
          ++shown_;
          act(frame);
        },
        "PropertyFrame");
    show();
  }

  static QStringList Tabs(QDialog& frame) {
    QStringList texts;
    auto* pages = frame.findChild<QTabWidget*>("Pages");
    for (int i = 0; pages && i < pages->count(); ++i)
      texts << pages->tabText(i);
    return texts;
  }

  int shown_ = 0;
};

TEST_F(V4l2DialogTest, TheFiltersDialogHasTheControlsAndAFormatPageThatSelects) {
  WhileShown([&] { camera_->ShowPropertyDialog(); },
             [&](QDialog& frame) {
               const QStringList tabs = Tabs(frame);
               ASSERT_EQ(tabs.size(), 3);  // the driver's two control classes, then formats
               EXPECT_EQ(tabs.last(), "Format");
               auto* list = frame.findChild<QListWidget*>("FormatList");
               ASSERT_NE(list, nullptr);
               ASSERT_EQ(list->count(), 6);
               EXPECT_EQ(list->item(0)->text(), "640x480 30Hz 16bpp YUY2");
               EXPECT_EQ(list->item(1)->text(), "640x480 15Hz 16bpp YUY2");
               EXPECT_EQ(list->item(5)->text(), "640x480 30Hz 24bpp MJPG");
               EXPECT_EQ(list->currentRow(), 0);  // the driver's current format

               list->setCurrentRow(5);
               EXPECT_EQ(fake_->Format().pixelFormat,
                         static_cast<std::uint32_t>(V4L2_PIX_FMT_MJPEG));
               EXPECT_EQ(list->currentRow(), 5);

               // Refused by the driver: said in the frame, the old choice kept.
               fake_->heldElsewhere = true;
               list->setCurrentRow(3);
               EXPECT_EQ(list->currentRow(), 5);
               auto* status = frame.findChild<QLabel*>("StatusLabel");
               ASSERT_NE(status, nullptr);
               EXPECT_TRUE(status->text().contains("in use by another program"))
                   << status->text().toStdString();
             });
  EXPECT_EQ(shown_, 1);
}

TEST_F(V4l2DialogTest, TheStreamDialogHasTheFormatPageAlone) {
  WhileShown([&] { camera_->ShowStreamPropertyDialog(); },
             [&](QDialog& frame) {
               EXPECT_EQ(Tabs(frame), QStringList{"Format"});
               EXPECT_EQ(frame.windowTitle(), "Fake UVC Webcam");
             });
  EXPECT_EQ(shown_, 1);
}

}  // namespace
}  // namespace varnholt::test
