#include "controls/ButtonImage.h"

#include <QKeyEvent>
#include <QPainter>

using varnholt::TImage;

namespace {

// A blank picture: kept out of sight, as it only stands in until the window
// sets its own pictures.
TImage* BlankPicture(QWidget* owner) {
  auto* picture = new TImage(owner);
  picture->hide();
  return picture;
}

}  // namespace

TButtonImage::TButtonImage(QWidget* AOwner) : TImage(AOwner) {
  // Without an owner the blanks go with the button, so that nothing leaks.
  QWidget* owner = AOwner ? AOwner : this;
  fUpImage = BlankPicture(owner);
  fDownImage = BlankPicture(owner);
  // From Tab only: a mouse click leaves the focus where the user had it.
  setFocusPolicy(Qt::TabFocus);
}

TButtonImage::~TButtonImage() = default;

void TButtonImage::SetImageUp(TImage* Value) {
  if (fUpImage != Value)
    fUpImage = Value;
}

void TButtonImage::SetImageDown(TImage* Value) {
  if (fDownImage != Value)
    fDownImage = Value;
}

void TButtonImage::ShowCopyOf(const TImage* picture) {
  if (picture)
    SetBitmap(picture->Bitmap());
}

void TButtonImage::MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, QPointF At) {
  TImage::MouseDown(Button, Shift, At);
  ShowCopyOf(fDownImage);
}

void TButtonImage::MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, QPointF At) {
  TImage::MouseUp(Button, Shift, At);
  ShowCopyOf(fUpImage);
}

void TButtonImage::DoMouseLeave() {
  TImage::DoMouseLeave();
  // A press that slides off the button must not leave it looking pressed.
  ShowCopyOf(fUpImage);
}

void TButtonImage::Initialize() {
  ShowCopyOf(fUpImage);
  update();
}

void TButtonImage::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if ((key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) &&
      event->modifiers() == Qt::NoModifier && !event->isAutoRepeat()) {
    emit Click();
    return;
  }
  TImage::keyPressEvent(event);
}

void TButtonImage::focusInEvent(QFocusEvent* event) {
  TImage::focusInEvent(event);
  update();
}

void TButtonImage::focusOutEvent(QFocusEvent* event) {
  TImage::focusOutEvent(event);
  update();
}

void TButtonImage::paintEvent(QPaintEvent* event) {
  TImage::paintEvent(event);
  if (!hasFocus())
    return;
  QPainter painter(this);
  painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
