#pragma once

// TCachedButton is a push button that keeps a picture of its last look and
// draws that while the look stays the same: a button over a moving picture
// is repainted with every frame, and laying out and drawing its text each
// time cost the window's thread about a tenth of a frame's work. The look
// is redrawn whenever anything the style draws from changes: state (hover,
// press, check, focus, enabled), text, icon, size, font, palette, style or
// pixel ratio.

#include <QFont>
#include <QPixmap>
#include <QPushButton>
#include <QSize>
#include <QString>

namespace varnholt {

class TCachedButton : public QPushButton {
  Q_OBJECT

 public:
  explicit TCachedButton(const QString& text, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // What the picture was drawn from.
  struct TLook {
    int State = 0;
    int Features = 0;
    QString Text;
    qint64 Icon = 0;
    QSize Size;
    QFont Font;
    qint64 Palette = 0;
    const QStyle* Style = nullptr;
    qreal Ratio = 0;
    bool operator==(const TLook&) const = default;
  };

  TLook drawn_;
  QPixmap look_;
};

}  // namespace varnholt
