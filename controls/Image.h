#pragma once

// TImage is the picture control of our windows: it shows one bitmap, fitted
// to its box as its wrap mode says, and reports clicks and the pointer
// entering and leaving. A picture that takes no mouse input (HitTest off)
// lets clicks through to what lies beneath.
//
// The mouse steps are virtual so that controls built on a picture (the
// image button) can add to them: MouseDown on any button going down,
// MouseUp on release, DoMouseLeave when the pointer leaves the control,
// also while a button is held. Click follows MouseUp when the left button
// was pressed and released over the control.

#include <QPixmap>
#include <QPointF>
#include <QWidget>

namespace varnholt {

class TImage : public QWidget {
  Q_OBJECT

 public:
  enum class WrapMode { Original, Fit, Stretch, Center };

  explicit TImage(QWidget* parent = nullptr);

  const QPixmap& Bitmap() const { return bitmap_; }
  // Takes a copy of the picture's content; repaints.
  void SetBitmap(const QPixmap& bitmap);

  WrapMode Wrap() const { return wrap_; }
  void SetWrap(WrapMode mode);

  bool HitTest() const { return hitTest_; }
  void SetHitTest(bool value);

 signals:
  void Click();
  void MouseEnter();
  void MouseLeave();

 protected:
  virtual void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPointF at);
  virtual void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPointF at);
  virtual void DoMouseEnter();
  virtual void DoMouseLeave();

  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QRectF Target() const;
  void Leave();

  QPixmap bitmap_;
  WrapMode wrap_ = WrapMode::Fit;
  bool hitTest_ = true;
  bool inside_ = false;
  bool leftPressed_ = false;
};

}  // namespace varnholt
