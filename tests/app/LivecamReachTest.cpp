// The camera test as the user reaches it: the camera icon of a camera with
// formats, a click on it, the test window beside the main window, and the
// picture there repainted as the frames come in. Real timers throughout:
// the repaint clock must run as it does for the user.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QScreen>
#include <QTest>
#include <memory>

#include "tests/app/CameraWindowFixture.h"
#include "tests/support/PaintCount.h"

namespace varnholt::test {
namespace {

class LivecamReach : public CameraWindow {
 protected:
  LivecamReach() : livecam(std::make_unique<TLivecamForm>()) { LivecamForm = livecam.get(); }
  ~LivecamReach() override {
    form.reset();  // stops the camera before the window that holds the paint box goes
    LivecamForm = nullptr;
  }

  TFormMain& StartShown() {
    StartWith("[" + Camera("Document", kBrightness, "[]") + "," +
              Camera("Lab", kBrightness, R"([{"width": 160, "height": 120,
                  "compression": "YUY2", "frameTime": 333333}])") +
              "]");
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    SelectCamera(1);
    return *form;
  }
  QWidget* Named(const char* name) const { return form->findChild<QWidget*>(name); }
  void ClickIcon() { QTest::mouseClick(Named("ButtonTestCam"), Qt::LeftButton); }

  static constexpr char kBrightness[] = R"({"Brightness": {"min": 0, "max": 255, "value": 140}})";
  std::unique_ptr<TLivecamForm> livecam;
};

TEST_F(LivecamReach, TheIconOfACameraWithFormatsOpensAPictureRepaintedWithTheFrames) {
  TFormMain& form = StartShown();
  ASSERT_TRUE(Named("LayoutButtonTestCam")->isVisible());
  ASSERT_TRUE(Named("ComboBoxFormat")->isVisible());
  EXPECT_TRUE(Named("ButtonTestCam")->isEnabled());

  ClickIcon();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(livecam.get()));
  PaintCount count;
  livecam->findChild<QWidget*>("PaintBox")->installEventFilter(&count);
  // The frames are the distinct pictures the camera hands out meanwhile.
  int frames = 0;
  QImage last;
  QElapsedTimer elapsed;
  elapsed.start();
  while (elapsed.elapsed() < 1000) {
    QTest::qWait(5);
    QImage picture;
    try {
      picture = CameraOf(form)->CurrentImageToBitmap();
    } catch (const std::exception&) {
      continue;  // no frame yet
    }
    if (!picture.isNull() && picture != last) {
      ++frames;
      last = picture;
    }
  }
  EXPECT_GE(frames, 10);
  EXPECT_GE(count.paints, frames / 2) << frames << " frames";
  EXPECT_TRUE(errors.isEmpty());

  // A camera without formats has nothing to test.
  ClickIcon();
  SelectCamera(0);
  EXPECT_TRUE(Named("LayoutButtonTestCam")->isHidden());
  EXPECT_TRUE(Named("ComboBoxFormat")->isHidden());
}

TEST_F(LivecamReach, TheTestWindowOpensBesideTheMainWindowWithThePictureAsItsClientArea) {
  TFormMain& form = StartShown();
  const QRect screen = form.screen()->availableGeometry();
  const auto test = [&](int mainLeft, int mainWidth) {
    ResizeOuter(form, mainWidth, form.frameGeometry().height());
    form.move(mainLeft, screen.top());
    ClickIcon();
    EXPECT_TRUE(livecam->isVisible());
    const QRect placed = livecam->frameGeometry();
    EXPECT_EQ(livecam->geometry().size(), QSize(160, 120));
    ClickIcon();  // hides it again
    return placed;
  };
  ASSERT_GE(screen.width(), 400 + 2 * 160) << "too small a screen for the cases";

  const QRect right = test(screen.left(), 400);
  EXPECT_EQ(right.left(), form.frameGeometry().right() + 1);
  EXPECT_EQ(right.top(), form.frameGeometry().top());
  const QRect left = test(screen.right() + 1 - 400, 400);
  EXPECT_EQ(left.right(), form.frameGeometry().left() - 1);
  // Too little room on either side: whole on the screen all the same.
  const int wide = screen.width() - 100;
  const QRect inside = test(screen.left() + 50, wide);
  EXPECT_TRUE(screen.contains(inside)) << inside.x() << "," << inside.y();
  EXPECT_TRUE(errors.isEmpty());
}

}  // namespace
}  // namespace varnholt::test
