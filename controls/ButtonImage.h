#pragma once

// TButtonImage is a picture that behaves as a push button made of two
// pictures: while a mouse button is held down on it, it shows the "down"
// picture; otherwise the "up" picture. Clicks are the picture's own Click.
//
// The up and down pictures are other picture controls, referenced and never
// owned: the window keeps them (hidden) and they outlive the button. Their
// content is copied into the button when the state changes, so a later
// change of a source picture shows only at the next copy.
//
// It takes the focus from Tab; Space or Enter on it clicks it, and while
// it holds the focus it draws a thin frame so the user sees where he is.

#include <QPointer>

#include "controls/Image.h"

class TButtonImage : public varnholt::TImage {
  Q_OBJECT

 public:
  // Creates two blank pictures owned by AOwner, so that both references are
  // valid before the window sets its own.
  explicit TButtonImage(QWidget* AOwner = nullptr);
  ~TButtonImage() override;

  varnholt::TImage* ImageUp() const { return fUpImage; }
  void SetImageUp(varnholt::TImage* Value);
  varnholt::TImage* ImageDown() const { return fDownImage; }
  void SetImageDown(varnholt::TImage* Value);

  // Shows the up picture.
  void Initialize();

 protected:
  void MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, QPointF At) override;
  void MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, QPointF At) override;
  void DoMouseLeave() override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void ShowCopyOf(const varnholt::TImage* picture);

  QPointer<varnholt::TImage> fUpImage;
  QPointer<varnholt::TImage> fDownImage;
};
