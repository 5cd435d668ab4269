#pragma once

// Plain drawn controls: TRectangle (a fill with an optional outline, used
// for backdrops, plates and the colour swatches of the scheme) and
// TPaintBox (a surface whose owner draws on it in Paint).

#include <QColor>
#include <QWidget>

class QPainter;

namespace varnholt {

class TRectangle : public QWidget {
  Q_OBJECT

 public:
  explicit TRectangle(QWidget* parent = nullptr);

  QColor Fill() const { return fill_; }
  void SetFill(const QColor& color);
  QColor Stroke() const { return stroke_; }
  // A transparent stroke, or thickness 0, draws no outline.
  void SetStroke(const QColor& color, qreal thickness = 1);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor fill_ = Qt::white;
  QColor stroke_ = Qt::black;
  qreal thickness_ = 1;
};

class TPaintBox : public QWidget {
  Q_OBJECT

 public:
  explicit TPaintBox(QWidget* parent = nullptr);

 signals:
  void Paint(QObject* Sender, QPainter* Canvas);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace varnholt
