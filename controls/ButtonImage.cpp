#include "controls/ButtonImage.h"

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
