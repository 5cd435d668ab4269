// The image button: down picture while pressed, up picture on release and
// on leave, references never owned.

#include <gtest/gtest.h>

#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>

#include "controls/ButtonImage.h"

namespace varnholt::test {
namespace {

QPixmap Filled(QColor color, QSize size = {37, 33}) {
  QPixmap p(size);
  p.fill(color);
  return p;
}

// What the button shows, by its colour.
QColor Shown(const TImage& image) {
  return image.Bitmap().toImage().pixelColor(0, 0);
}

class ButtonImage : public ::testing::Test {
 protected:
  ButtonImage() {
    window.resize(200, 100);
    up = new TImage(&window);
    up->SetBitmap(Filled(Qt::green));
    down = new TImage(&window);
    down->SetBitmap(Filled(Qt::red));
    button = new TButtonImage(&window);
    button->setGeometry(10, 10, 37, 33);
    button->SetImageUp(up);
    button->SetImageDown(down);
    button->Initialize();
  }
  void Press(Qt::MouseButton b = Qt::LeftButton) { QTest::mousePress(button, b, {}, Inside()); }
  void Release(Qt::MouseButton b = Qt::LeftButton, QPoint at = Inside()) {
    QTest::mouseRelease(button, b, {}, at);
  }
  static QPoint Inside() { return {18, 16}; }
  void MoveOutside() {
    QMouseEvent move(QEvent::MouseMove, QPointF(100, 80), button->mapToGlobal(QPointF(100, 80)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &move);
  }

  QWidget window;
  TImage* up;
  TImage* down;
  TButtonImage* button;
};

TEST_F(ButtonImage, PressShowsTheDownPictureAndReleaseTheUpPictureThenClicks) {
  QSignalSpy clicks(button, &TImage::Click);
  EXPECT_EQ(Shown(*button), Qt::green);
  Press();
  EXPECT_EQ(Shown(*button), Qt::red);
  EXPECT_EQ(clicks.count(), 0);
  Release();
  EXPECT_EQ(Shown(*button), Qt::green);
  EXPECT_EQ(clicks.count(), 1);
}

TEST_F(ButtonImage, AnyMouseButtonSwapsThePicturesButOnlyTheLeftClicks) {
  QSignalSpy clicks(button, &TImage::Click);
  Press(Qt::RightButton);
  EXPECT_EQ(Shown(*button), Qt::red);
  Release(Qt::RightButton);
  EXPECT_EQ(Shown(*button), Qt::green);
  EXPECT_EQ(clicks.count(), 0);
}

TEST_F(ButtonImage, WithoutADownPicturePressingChangesNothingButStillClicks) {
  button->SetImageDown(nullptr);
  QSignalSpy clicks(button, &TImage::Click);
  Press();
  EXPECT_EQ(Shown(*button), Qt::green);
  Release();
  EXPECT_EQ(clicks.count(), 1);
}

TEST_F(ButtonImage, WithoutAnUpPictureTheDownPictureStays) {
  Press();
  button->SetImageUp(nullptr);
  Release();
  EXPECT_EQ(Shown(*button), Qt::red);
  Press();
  MoveOutside();
  EXPECT_EQ(Shown(*button), Qt::red);
  button->Initialize();  // nothing to show either
  EXPECT_EQ(Shown(*button), Qt::red);
}

TEST_F(ButtonImage, LeavingWhilePressedShowsTheUpPictureAtOnceAndReleasingOutsideDoesNotClick) {
  QSignalSpy clicks(button, &TImage::Click);
  QSignalSpy leaves(button, &TImage::MouseLeave);
  Press();
  MoveOutside();
  EXPECT_EQ(Shown(*button), Qt::green);
  EXPECT_EQ(leaves.count(), 1);
  Release(Qt::LeftButton, QPoint(100, 80));
  EXPECT_EQ(Shown(*button), Qt::green);
  EXPECT_EQ(clicks.count(), 0);
  // The leave the window system sends after the release is no second one.
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(button, &leave);
  EXPECT_EQ(leaves.count(), 1);
}

TEST_F(ButtonImage, ANewUpPictureShowsOnlyAtTheNextReleaseLeaveOrInitialize) {
  auto* other = new TImage(&window);
  other->SetBitmap(Filled(Qt::blue));
  button->SetImageUp(other);
  EXPECT_EQ(button->ImageUp(), other);
  EXPECT_EQ(Shown(*button), Qt::green);
  button->Initialize();
  EXPECT_EQ(Shown(*button), Qt::blue);

  // The picture is copied: changing the source later shows at the next copy.
  other->SetBitmap(Filled(Qt::yellow));
  EXPECT_EQ(Shown(*button), Qt::blue);
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QCoreApplication::sendEvent(button, &enter);
  QEvent left(QEvent::Leave);
  QCoreApplication::sendEvent(button, &left);
  EXPECT_EQ(Shown(*button), Qt::yellow);
}

TEST(ButtonImageOwnership, BlankPicturesBelongToTheOwnerAndReferencedOnesAreLeftAlone) {
  QWidget owner;
  auto* button = new TButtonImage(&owner);
  ASSERT_NE(button->ImageUp(), nullptr);
  ASSERT_NE(button->ImageDown(), nullptr);
  EXPECT_EQ(button->ImageUp()->parent(), &owner);
  EXPECT_TRUE(button->ImageUp()->isHidden());
  EXPECT_TRUE(button->ImageUp()->Bitmap().isNull());

  auto* kept = new TImage(&owner);
  button->SetImageUp(kept);
  delete button;
  EXPECT_EQ(owner.findChildren<TImage*>().size(), 3);  // kept and the two blanks
}

}  // namespace
}  // namespace varnholt::test
